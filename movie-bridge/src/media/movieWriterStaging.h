// SPDX-License-Identifier: Apache-2.0
#pragma once
// The staging file of a movie being written: every encoded frame and sound chunk, in the
// order they arrive, each as a record (stream, flags, times, size, data). It lives in the
// output's folder so that it fills the same disk, and it has no name there: whatever ends
// the process, a crash included, no staging file stays behind.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace bridge::media {

struct StagedRecord {
    std::uint32_t stream = 0;
    bool keyFrame = false;
    std::int64_t pts = 0;
    std::int64_t dts = 0;
    std::int64_t duration = 0;
    std::vector<std::uint8_t> data;
};

class StagingFile {
public:
    StagingFile() = default;
    StagingFile(const StagingFile&) = delete;
    StagingFile& operator=(const StagingFile&) = delete;
    ~StagingFile();

    // Creates the file in the folder of outputPath. Returns 0 or a negative error code.
    int create(const std::string& outputPath);

    int append(std::uint32_t stream, bool keyFrame, std::int64_t pts, std::int64_t dts, std::int64_t duration,
               const std::uint8_t* data, std::uint32_t size);

    // Switches from appending to reading from the first record.
    int rewind();
    // Reads the next record into record: 1 when one was read, 0 at the end, negative on failure.
    int next(StagedRecord& record);

private:
    std::FILE* _file = nullptr;
};

} // namespace bridge::media
