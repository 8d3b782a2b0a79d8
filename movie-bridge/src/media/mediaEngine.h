// SPDX-License-Identifier: Apache-2.0
#pragma once
// The media engine as the bridge sees it: start-up and shut-down, the codec type names,
// a movie opened for reading and a movie file created for writing. The entry point and
// the three modes know no engine but this one; the program's main chooses which.
//
// Start-up and shut-down take two steps each way, as the entry point runs them:
// initialize then enterMovies before the channel is opened, exitMovies then terminate on
// every way out (also when start-up failed part way).
//
// Error policy, followed by every file of the engine. A step that can fail answers an
// engine result, an int: 0, or a negative FFmpeg error code (AVERROR). A step that makes
// something (createMovieFile) answers null and leaves the result in its result argument.
// The engine names no exit code and writes no message: the mode that took the step stores
// the step's exit code and raises its text with the result appended, so the step, not the
// engine, decides what the host reads. Two failures are raised instead, because no result
// can carry them: a movie that cannot be opened for reading raises media::MovieOpenError
// (its text names the file and the reason; the mode catches it by that type), and running
// out of memory raises std::bad_alloc wherever the engine learns of it (its own allocations
// and FFmpeg's AVERROR(ENOMEM), in the reader and the writer alike; but not FFmpeg's ENOMEM
// while a movie is opened, which a damaged size field gives as often: that movie is one that
// cannot be opened), which the entry point
// reports with exitCodes::failureWithoutCode. What a caller's callback raises passes through
// untouched. Answers that may be absent are std::optional (a timecode, a movie header, the
// codec list of an engine that has none), and a frame that cannot be decoded is drawn as
// false, leaving the host's pixels as they were.

#include "movieWriter.h"
#include "readableMovie.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace bridge {

class MediaEngine {
public:
    virtual ~MediaEngine() = default;
    // Each returns 0, or the engine's non-zero result code for the failure message.
    virtual int initialize() = 0;
    virtual int enterMovies() = 0;
    virtual void exitMovies() = 0;
    virtual void terminate() = 0;

    // The names of the codecs a movie can be written with, in the engine's order; the
    // codec query lists them and mode w matches the host's codec name against them.
    // nullopt when the engine has no list.
    virtual std::optional<std::vector<std::string>> codecTypeNames() = 0;

    // Opens the movie at path for reading; throws media::MovieOpenError with the reason
    // when it is no movie with frames to read.
    virtual std::unique_ptr<media::ReadableMovie> openMovie(const std::string& path) = 0;

    // Why the codec cannot encode frames of width × height, naming the sizes it takes, for
    // the failure text when its compression session cannot be made; empty when the engine
    // knows no such limit.
    virtual std::string frameSizeRefusal(const std::string& codecType, int width, int height) {
        (void)codecType, (void)width, (void)height;
        return {};
    }

    // Creates (or empties) the movie file at path. On failure returns null and leaves the
    // engine's result code in result.
    virtual std::unique_ptr<media::MovieWriter> createMovieFile(const std::string& path, int& result) = 0;
};

} // namespace bridge
