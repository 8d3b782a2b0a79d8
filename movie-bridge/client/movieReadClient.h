// SPDX-License-Identifier: Apache-2.0
#pragma once
// Mode r from the host: open a movie through moviehost, read any frame by index (pixels
// and timecode), and end the job.
//
//   MovieReadClient movie("take1.mov");
//   const ReadFrameView frame = movie.readFrame(12);      // valid until the next read
//   movie.forEachFrame([](std::uint32_t i, const ReadFrameView& frame) { ... });
//   movie.close();                                        // -1, then the exit code

#include "bridgeJob.h"
#include "records.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace bridge::client {

// One frame in the section: rows bottom first, each width × 4 bytes of blue, green, red
// and a fourth byte; and the header with the timecode.
struct ReadFrameView {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    const std::uint8_t* pixels = nullptr;
    FrameHeader header;

    bool hasTimecode() const { return header.timecodeFlags != -1; }
};

// "HH:MM:SS:FF" (";" before the frames for drop-frame, a leading "-" for negative
// times), the count for counter timecode, or "none" for a movie without timecode.
std::string timecodeText(const FrameHeader& header);

class MovieReadClient {
public:
    // Starts moviehost r and waits for its ReadReply. Throws BridgeError naming the movie,
    // moviehost's exit code and its message when the movie cannot be read.
    explicit MovieReadClient(const std::string& moviePath, const BridgeJobOptions& options = {});
    // Ends the job if close() was not called.
    ~MovieReadClient();
    MovieReadClient(const MovieReadClient&) = delete;
    MovieReadClient& operator=(const MovieReadClient&) = delete;

    const ReadReply& reply() const { return _reply; }
    // The two lines moviehost printed on opening ("timecode: ...", "w ..., h ...").
    std::string diagnostics() { return _job.process().standardOutput(); }
    // What moviehost wrote to standard error so far (its failure text, after a failure).
    std::string standardError() { return _job.standardError(); }
    // The moviehost process serving this job (for measurements such as its memory).
    pid_t moviehostPid() { return _job.process().pid(); }
    // The mapped section the frames are drawn into. A holder keeps the mapping (and the last
    // frame in it) after the job has ended and this client has gone.
    std::shared_ptr<const MappedSection> section() const { return _section; }

    // Asks for one frame. The request is sent as given, so a host may also address frames
    // by the bridge's own rule (past the end or negative: the last frame).
    ReadFrameView readFrame(std::int32_t request);

    // Reads every frame in order, handing each to the visitor with its index.
    void forEachFrame(const std::function<void(std::uint32_t index, const ReadFrameView& frame)>& visit);

    // Sends the end marker and returns moviehost's exit code.
    int close();

private:
    [[noreturn]] void fail(const std::string& what);

    std::string _moviePath;
    BridgeJob _job;
    ReadReply _reply;
    std::shared_ptr<MappedSection> _section;
    bool _closed = false;
};

} // namespace bridge::client
