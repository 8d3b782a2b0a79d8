// SPDX-License-Identifier: Apache-2.0
#pragma once
// The media engine as the bridge sees it: start-up and shut-down, the codec type names,
// a movie opened for reading and a movie file created for writing. The entry point and
// the three modes know no engine but this one; the program's main chooses which.
//
// Start-up and shut-down take two steps each way, as the entry point runs them:
// initialize then enterMovies before the channel is opened, exitMovies then terminate on
// every way out (also when start-up failed part way).

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
    virtual long initialize() = 0;
    virtual long enterMovies() = 0;
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
