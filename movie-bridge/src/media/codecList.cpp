// SPDX-License-Identifier: Apache-2.0
#include "codecList.h"

#include "encoderTrialCache.h"
#include "movieWriterTrial.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <string_view>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
}

namespace bridge {

namespace {

// Encoders that drive a device rather than the processor. Some do not set
// AV_CODEC_CAP_HARDWARE, so their name families are listed as well.
bool isHardwareEncoder(const AVCodec* codec) {
    if ((codec->capabilities & AV_CODEC_CAP_HARDWARE) != 0 || avcodec_get_hw_config(codec, 0) != nullptr) {
        return true;
    }
    constexpr std::array<std::string_view, 10> deviceSuffixes{
        "_nvenc", "_vaapi", "_qsv", "_v4l2m2m", "_omx", "_amf", "_videotoolbox", "_mf", "_vulkan", "_mediacodec"};
    const std::string_view name = codec->name;
    for (const auto suffix : deviceSuffixes) {
        if (name.ends_with(suffix)) {
            return true;
        }
    }
    return false;
}

bool anyFileStartsWith(const std::filesystem::path& directory, std::string_view prefix) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
        if (entry.path().filename().string().starts_with(prefix)) {
            return true;
        }
    }
    return false;
}

bool intelRenderNodePresent() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/drm", error)) {
        if (!entry.path().filename().string().starts_with("renderD")) {
            continue;
        }
        std::ifstream vendor(entry.path() / "device" / "vendor");
        std::string id;
        if (vendor >> id && id == "0x8086") {
            return true;
        }
    }
    return false;
}

// A look at the device nodes first spares loading a vendor library that cannot work here.
// (It also keeps clear of FFmpeg 5.1's QSV encoders, which leak their frame queue when
// their initialisation fails.)
bool deviceMayBePresent(std::string_view name) {
    if (name.ends_with("_nvenc")) {
        return std::filesystem::exists("/proc/driver/nvidia/version") || std::filesystem::exists("/dev/nvidia0");
    }
    if (name.ends_with("_qsv")) {
        return intelRenderNodePresent();
    }
    if (name.ends_with("_v4l2m2m")) {
        return anyFileStartsWith("/dev", "video");
    }
    return true;
}

// The writer hands encoders frames in memory, so an encoder that takes only device frames
// is of no use even where its device exists. Encoders that list no formats (V4L2 m2m)
// negotiate with their device; planar 4:2:0 is what they all take.
AVPixelFormat softwarePixelFormat(const AVCodec* codec) {
    if (codec->pix_fmts == nullptr) {
        return AV_PIX_FMT_YUV420P;
    }
    for (const AVPixelFormat* format = codec->pix_fmts; format != nullptr && *format != AV_PIX_FMT_NONE; ++format) {
        const AVPixFmtDescriptor* descriptor = av_pix_fmt_desc_get(*format);
        if (descriptor != nullptr && (descriptor->flags & AV_PIX_FMT_FLAG_HWACCEL) == 0) {
            return *format;
        }
    }
    return AV_PIX_FMT_NONE;
}

// Opening the encoder is what fails without its device (no GPU, no driver, no /dev node),
// and it fails fast; a small frame size keeps a successful open cheap.
bool hardwareEncoderOpens(const AVCodec* codec) {
    const AVPixelFormat format = softwarePixelFormat(codec);
    if (format == AV_PIX_FMT_NONE || !deviceMayBePresent(codec->name)) {
        return false;
    }
    AVCodecContext* context = avcodec_alloc_context3(codec);
    if (context == nullptr) {
        return false;
    }
    context->width = 256;
    context->height = 256;
    context->pix_fmt = format;
    context->time_base = AVRational{1, 25};
    context->framerate = AVRational{25, 1};

    const bool opened = avcodec_open2(context, codec, nullptr) == 0;
    avcodec_free_context(&context);
    return opened;
}

// FFmpeg 5.1's rpza encoder overruns its packet on frames of about 1500 pixels or fewer
// (48 x 32 aborts with a corrupted heap); a trial at another size cannot show that.
bool corruptsMemory(std::string_view name) {
    return name == "rpza";
}

// Hardware encoders are tried every time: their device may come and go.
bool completesMovie(const AVCodec& codec, bool hardware, media::EncoderTrialCache& trials) {
    if (hardware) {
        return media::completesOneFrameMovie(codec);
    }
    if (trials.completed(codec.name)) {
        return true;
    }
    const bool completes = media::completesOneFrameMovie(codec);
    if (completes) {
        trials.rememberCompleted(codec.name);
    }
    return completes;
}

} // namespace

std::optional<std::vector<std::string>> listMovieEncoderNames() {
    const AVOutputFormat* movMuxer = av_guess_format("mov", nullptr, nullptr);
    if (movMuxer == nullptr) {
        return std::nullopt;
    }
    // The trials fail loudly by design; what matters is only whether they complete.
    const int logLevel = av_log_get_level();
    av_log_set_level(AV_LOG_QUIET);
    media::EncoderTrialCache trials = media::EncoderTrialCache::load();
    std::vector<std::string> names;
    void* iteration = nullptr;
    while (const AVCodec* codec = av_codec_iterate(&iteration)) {
        if (codec->type != AVMEDIA_TYPE_VIDEO || !av_codec_is_encoder(codec)) {
            continue;
        }
        // Experimental encoders refuse to open without an explicit opt-in the writer never gives.
        if ((codec->capabilities & AV_CODEC_CAP_EXPERIMENTAL) != 0) {
            continue;
        }
        if (avformat_query_codec(movMuxer, codec->id, FF_COMPLIANCE_NORMAL) != 1) {
            continue;
        }
        if (isHardwareEncoder(codec) && !hardwareEncoderOpens(codec)) {
            continue;
        }
        if (corruptsMemory(codec->name) || !media::movMuxerTakes(*codec) ||
            !completesMovie(*codec, isHardwareEncoder(codec), trials)) {
            continue;
        }
        names.emplace_back(codec->name);
    }
    av_log_set_level(logLevel);
    trials.save();
    return names;
}

} // namespace bridge
