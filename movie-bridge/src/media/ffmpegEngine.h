// SPDX-License-Identifier: Apache-2.0
#pragma once
// The media engine on FFmpeg's libraries.

#include "mediaEngine.h"

namespace bridge {

class FfmpegEngine final : public MediaEngine {
public:
    // Fails (AVERROR(ELIBBAD)) when the loaded libraries are of another major version than
    // the bridge was built against, or (AVERROR_MUXER_NOT_FOUND) when they lack the MOV
    // muxer: in both cases no job could be done.
    int initialize() override;
    // Keeps FFmpeg's own log to real errors, so standard error carries the bridge's texts.
    int enterMovies() override;
    // FFmpeg keeps no process-wide state that needs releasing.
    void exitMovies() override {}
    void terminate() override {}

    std::optional<std::vector<std::string>> codecTypeNames() override;
    std::unique_ptr<media::ReadableMovie> openMovie(const std::string& path) override;
    std::string frameSizeRefusal(const std::string& codecType, int width, int height) override;
    std::unique_ptr<media::MovieWriter> createMovieFile(const std::string& path, int& result) override;
};

} // namespace bridge
