// SPDX-License-Identifier: Apache-2.0
#include "movieWriterStaging.h"

#include "movieWriterOutput.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

extern "C" {
#include <libavutil/error.h>
}

namespace bridge::media {

namespace {

// Record header: stream, flags, size (32-bit each), then pts, dts, duration (64-bit), in
// this machine's byte order; the file never outlives the process that wrote it.
struct RecordHeader {
    std::uint32_t stream;
    std::uint32_t flags;
    std::uint32_t size;
    std::uint32_t unused;
    std::int64_t pts;
    std::int64_t dts;
    std::int64_t duration;
};

constexpr std::uint32_t keyFrameFlag = 1;
constexpr std::size_t stagingBufferSize = 1 << 20;

int lastError() {
    return AVERROR(errno ? errno : EIO);
}

} // namespace

StagingFile::~StagingFile() {
    if (_file) {
        std::fclose(_file);
    }
}

int StagingFile::create(const std::string& outputPath) {
    const int fd = openNamelessFile(directoryOf(outputPath));
    if (fd < 0) {
        return lastError();
    }
    _file = fdopen(fd, "w+b");
    if (!_file) {
        const int result = lastError();
        close(fd);
        return result;
    }
    std::setvbuf(_file, nullptr, _IOFBF, stagingBufferSize);
    return 0;
}

int StagingFile::append(std::uint32_t stream, bool keyFrame, std::int64_t pts, std::int64_t dts, std::int64_t duration,
                        const std::uint8_t* data, std::uint32_t size) {
    const RecordHeader header{stream, keyFrame ? keyFrameFlag : 0, size, 0, pts, dts, duration};
    errno = 0;
    if (std::fwrite(&header, sizeof header, 1, _file) != 1 || (size && std::fwrite(data, size, 1, _file) != 1)) {
        return lastError();
    }
    return 0;
}

int StagingFile::rewind() {
    errno = 0;
    if (std::fflush(_file) != 0 || std::fseek(_file, 0, SEEK_SET) != 0) {
        return lastError();
    }
    return 0;
}

int StagingFile::next(StagedRecord& record) {
    RecordHeader header;
    errno = 0;
    const std::size_t got = std::fread(&header, 1, sizeof header, _file);
    if (got == 0 && std::feof(_file)) {
        return 0;
    }
    if (got != sizeof header) {
        return std::ferror(_file) ? lastError() : AVERROR_INVALIDDATA;
    }
    record.stream = header.stream;
    record.keyFrame = header.flags & keyFrameFlag;
    record.pts = header.pts;
    record.dts = header.dts;
    record.duration = header.duration;
    record.data.resize(header.size);
    if (header.size && std::fread(record.data.data(), header.size, 1, _file) != 1) {
        return std::ferror(_file) ? lastError() : AVERROR_INVALIDDATA;
    }
    return 1;
}

} // namespace bridge::media
