// SPDX-License-Identifier: Apache-2.0
#include "movieWriterQuality.h"

#include <array>
#include <string_view>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace bridge::media {

namespace {

constexpr std::array<int, 5> mjpegQscale{31, 12, 6, 3, 2};
constexpr std::array<const char*, 5> proresProfile{"0", "1", "2", "3", "4"};
constexpr std::array<const char*, 5> pngCompression{"1", "3", "6", "8", "9"};
constexpr std::array<const char*, 5> x264Crf{"40", "28", "23", "18", "12"};
constexpr std::array<const char*, 5> dnxhrProfile{"dnxhr_lb", "dnxhr_sq", "dnxhr_hq", "dnxhr_hqx", "dnxhr_444"};
constexpr int proresProfile4444 = 4;
constexpr int dnxhrProfileHqx = 3;
constexpr int dnxhrProfile444 = 4;

AVPixelFormat leastLossyFormat(const AVCodec& encoder, int depth) {
    const AVPixelFormat source = depth == 32 ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR0;
    if (!encoder.pix_fmts) {
        return source;
    }
    return avcodec_find_best_pix_fmt_of_list(encoder.pix_fmts, source, depth == 32, nullptr);
}

} // namespace

int codecQualityLevel(std::uint32_t codecQuality) {
    if (codecQuality >= 0x3FF) {
        return 4;
    }
    return static_cast<int>(codecQuality >> 8);
}

EncoderSettings encoderSettings(const AVCodec& encoder, std::uint32_t codecQuality, int depth, int width, int height) {
    const int level = codecQualityLevel(codecQuality);
    const bool alpha = depth == 32;
    const std::string_view name = encoder.name;
    EncoderSettings settings;
    if (name == "mjpeg") {
        settings.pixelFormat = AV_PIX_FMT_YUVJ420P;
        settings.qscale = mjpegQscale[level];
    } else if (name == "prores_ks") {
        settings.options.emplace_back("profile", proresProfile[level]);
        if (level == proresProfile4444) {
            settings.pixelFormat = alpha ? AV_PIX_FMT_YUVA444P10 : AV_PIX_FMT_YUV444P10;
        } else {
            settings.pixelFormat = AV_PIX_FMT_YUV422P10;
        }
    } else if (name == "png") {
        settings.pixelFormat = alpha ? AV_PIX_FMT_RGBA : AV_PIX_FMT_RGB24;
        settings.options.emplace_back("compression_level", pngCompression[level]);
    } else if (name == "qtrle") {
        settings.pixelFormat = alpha ? AV_PIX_FMT_ARGB : AV_PIX_FMT_RGB24;
    } else if (name == "libx264") {
        // 4:2:0 needs even sizes; 4:4:4 takes any.
        settings.pixelFormat = width % 2 == 0 && height % 2 == 0 ? AV_PIX_FMT_YUV420P : AV_PIX_FMT_YUV444P;
        settings.options.emplace_back("crf", x264Crf[level]);
    } else if (name == "rawvideo") {
        // A 'raw ' track holds RGB at depth 24; the padded BGR the pixel buffer has at that
        // depth would be stored under the same type, four bytes a pixel, and decode to nothing.
        settings.pixelFormat = alpha ? AV_PIX_FMT_BGRA : AV_PIX_FMT_RGB24;
    } else if (name == "dvvideo") {
        // The DV rasters this writer offers are the 4:2:2 ones.
        settings.pixelFormat = AV_PIX_FMT_YUV422P;
    } else if (name == "libx265") {
        settings.pixelFormat = leastLossyFormat(encoder, depth);
        // x265 logs to the standard error on its own unless told otherwise.
        settings.options.emplace_back("x265-params", "log-level=error");
    } else if (name == "dnxhd") {
        // The DNxHR profiles take any frame size from 256 x 120; the DNxHD ones only a few
        // rasters, each at fixed bit rates.
        settings.options.emplace_back("profile", dnxhrProfile[level]);
        settings.pixelFormat = level == dnxhrProfile444   ? AV_PIX_FMT_YUV444P10
                               : level == dnxhrProfileHqx ? AV_PIX_FMT_YUV422P10
                                                          : AV_PIX_FMT_YUV422P;
    } else {
        settings.pixelFormat = leastLossyFormat(encoder, depth);
    }
    return settings;
}

} // namespace bridge::media
