// SPDX-License-Identifier: Apache-2.0
#include "ffmpegEngine.h"

#include "codecList.h"
#include "encoderFrameSizes.h"
#include "movieReader.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/error.h>
#include <libswscale/swscale.h>
}

namespace bridge {

int FfmpegEngine::initialize() {
    const bool sameMajorVersions = AV_VERSION_MAJOR(avformat_version()) == LIBAVFORMAT_VERSION_MAJOR &&
                                   AV_VERSION_MAJOR(avcodec_version()) == LIBAVCODEC_VERSION_MAJOR &&
                                   AV_VERSION_MAJOR(avutil_version()) == LIBAVUTIL_VERSION_MAJOR &&
                                   AV_VERSION_MAJOR(swscale_version()) == LIBSWSCALE_VERSION_MAJOR;
    if (!sameMajorVersions) {
        return AVERROR(ELIBBAD);
    }
    if (av_guess_format("mov", nullptr, nullptr) == nullptr) {
        return AVERROR_MUXER_NOT_FOUND;
    }
    return 0;
}

int FfmpegEngine::enterMovies() {
    av_log_set_level(AV_LOG_ERROR);
    return 0;
}

std::optional<std::vector<std::string>> FfmpegEngine::codecTypeNames() {
    return listMovieEncoderNames();
}

std::unique_ptr<media::ReadableMovie> FfmpegEngine::openMovie(const std::string& path) {
    return std::make_unique<media::MovieReader>(path);
}

std::string FfmpegEngine::frameSizeRefusal(const std::string& codecType, int width, int height) {
    return media::frameSizeRefusal(codecType, width, height);
}

std::unique_ptr<media::MovieWriter> FfmpegEngine::createMovieFile(const std::string& path, int& result) {
    return media::createMovieFile(path, result);
}

} // namespace bridge
