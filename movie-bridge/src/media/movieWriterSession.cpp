// SPDX-License-Identifier: Apache-2.0
#include "movieWriterSession.h"

#include "encoderFrameSizes.h"
#include "movieWriterQuality.h"
#include "pixelFormatRange.h"

#include <algorithm>
#include <bit>
#include <cmath>

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

namespace bridge::media {

namespace {

// Row alignment and tail padding of the encoder's pictures, enough for the widest vector
// loads of libswscale and the encoders.
constexpr int frameAlignment = 64;
constexpr std::size_t framePadding = 64;

struct DictionaryFree {
    void operator()(AVDictionary* d) const { av_dict_free(&d); }
};

// The frame rate the encoder is told: the session's time scale counts 100 units per
// frame, so the rate is T / 100, except that the rates written as 23.976, 29.97 and 59.94
// are the television rates 24000/1001, 30000/1001 and 60000/1001 that encoders which code
// the frame rate (MPEG-1 and MPEG-2 video) take.
AVRational encoderFrameRate(std::int32_t timeScale) {
    for (const int rate : {24, 30, 60}) {
        if (std::abs(timeScale - rate * 100000.0 / 1001) < 1) {
            return AVRational{rate * 1000, 1001};
        }
    }
    return av_make_q(timeScale, 100);
}

// The video encoder of that name; null when there is none.
const AVCodec* videoEncoderNamed(const std::string& encoderName) {
    const AVCodec* encoder = avcodec_find_encoder_by_name(encoderName.c_str());
    if (!encoder || encoder->type != AVMEDIA_TYPE_VIDEO) {
        return nullptr;
    }
    return encoder;
}

// The layout convertBottomUpRgbToYuv writes for that format: Y'CbCr in three planes of
// one sample per pixel, 8-bit or deeper in the machine's byte order, chroma halved at most
// once each way; none for any other format.
std::optional<YuvRowsLayout> directYuvLayout(AVPixelFormat format, bool fullRange) {
    const AVPixFmtDescriptor* layout = av_pix_fmt_desc_get(format);
    constexpr std::uint64_t notYuv = AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_ALPHA | AV_PIX_FMT_FLAG_PAL |
                                     AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_FLOAT;
    if (!layout || layout->nb_components != 3 || (layout->flags & notYuv) || layout->log2_chroma_w > 1 ||
        layout->log2_chroma_h > 1) {
        return std::nullopt;
    }
    const int depth = layout->comp[0].depth;
    const bool bigEndian = (layout->flags & AV_PIX_FMT_FLAG_BE) != 0;
    if (depth < 8 || depth > 16 ||
        (depth > 8 && (fullRange || bigEndian != (std::endian::native == std::endian::big)))) {
        return std::nullopt;
    }
    for (int c = 0; c < 3; ++c) {
        const AVComponentDescriptor& component = layout->comp[c];
        if (component.plane != c || component.step != (depth > 8 ? 2 : 1) || component.offset != 0 ||
            component.shift != 0 || component.depth != depth) {
            return std::nullopt;
        }
    }
    return YuvRowsLayout{layout->log2_chroma_w, layout->log2_chroma_h, fullRange, depth};
}

} // namespace

CompressionSession::~CompressionSession() {
    // The encoding thread may still be using everything below; stop it first.
    _worker.reset();
}

int CompressionSession::open(int width, int height, std::int32_t timeScale, const std::string& encoderName,
                             const CompressionOptions& options, EncodedFrameOutput output) {
    const AVCodec* encoder = videoEncoderNamed(encoderName);
    if (!encoder) {
        return AVERROR_ENCODER_NOT_FOUND;
    }
    if (width <= 0 || height <= 0 || timeScale <= 0 || !frameSizeRefusal(encoderName, width, height).empty()) {
        return AVERROR(EINVAL);
    }
    const EncoderSettings settings = encoderSettings(*encoder, options.codecQuality, options.depth, width, height);
    // Some encoders take only formats libswscale cannot write (smc's palette). Asked anyway,
    // libswscale 6 fails in a slice context that sws_freeContext never frees.
    if (!sws_isSupportedOutput(withoutJpegRange(settings.pixelFormat))) {
        return AVERROR(ENOSYS);
    }
    _bytesPerPixel = options.depth == 32 ? 4 : 3;
    int result = allocate(*encoder);
    if (result == 0) {
        configureContext(width, height, timeScale, settings, options);
        result = openEncoder(*encoder, settings);
    }
    if (result == 0) {
        result = setUpPictures(settings.pixelFormat);
    }
    if (result == 0) {
        result = setUpScaler(settings.pixelFormat);
    }
    if (result < 0) {
        return result;
    }
    _output = std::move(output);
    _worker = std::make_unique<BackgroundWorker>();
    return 0;
}

int CompressionSession::allocate(const AVCodec& encoder) {
    _context.reset(avcodec_alloc_context3(&encoder));
    _packet.reset(av_packet_alloc());
    for (auto& picture : _pictures) {
        picture.reset(av_frame_alloc());
        if (!picture) {
            return AVERROR(ENOMEM);
        }
    }
    _source.reset(av_frame_alloc());
    _parameters.reset(avcodec_parameters_alloc());
    if (!_context || !_packet || !_source || !_parameters) {
        return AVERROR(ENOMEM);
    }
    return 0;
}

void CompressionSession::configureContext(int width, int height, std::int32_t timeScale,
                                          const EncoderSettings& settings, const CompressionOptions& options) {
    AVCodecContext& c = *_context;
    c.width = width;
    c.height = height;
    c.pix_fmt = settings.pixelFormat;
    c.framerate = encoderFrameRate(timeScale);
    c.time_base = av_inv_q(c.framerate);
    _timeBase = AVRational{1, timeScale};
    c.sample_aspect_ratio = AVRational{1, 1};
    c.gop_size = options.allowTemporalCompression ? options.maxKeyFrameInterval : 0;
    if (!options.allowFrameReordering) {
        c.max_b_frames = 0;
    }
    if (isJpegRangeFormat(settings.pixelFormat)) {
        c.color_range = AVCOL_RANGE_JPEG;
    }
    // A movie keeps codec headers in the track's sample description, not in the frames.
    c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (settings.qscale) {
        c.flags |= AV_CODEC_FLAG_QSCALE;
        c.global_quality = FF_QP2LAMBDA * settings.qscale;
    }
    c.thread_count = options.threadCount;
}

int CompressionSession::openEncoder(const AVCodec& encoder, const EncoderSettings& settings) {
    AVDictionary* rawOptions = nullptr;
    for (const auto& [name, value] : settings.options) {
        av_dict_set(&rawOptions, name.c_str(), value.c_str(), 0);
    }
    const int result = avcodec_open2(_context.get(), &encoder, &rawOptions);
    std::unique_ptr<AVDictionary, DictionaryFree> unusedOptions(rawOptions);
    if (result < 0) {
        return result;
    }
    return std::min(0, avcodec_parameters_from_context(_parameters.get(), _context.get()));
}

int CompressionSession::setUpPictures(AVPixelFormat encoded) {
    const int width = _context->width;
    const int height = _context->height;
    const int pictureSize = av_image_get_buffer_size(withoutJpegRange(encoded), width, height, frameAlignment);
    if (pictureSize < 0) {
        return pictureSize;
    }
    _framePool.reset(av_buffer_pool_init(static_cast<std::size_t>(pictureSize) + framePadding, nullptr));
    return _framePool ? 0 : AVERROR(ENOMEM);
}

int CompressionSession::setUpScaler(AVPixelFormat encoderFormat) {
    const int width = _context->width;
    const int height = _context->height;
    const AVPixelFormat target = withoutJpegRange(encoderFormat);
    if (const auto layout = directYuvLayout(target, isJpegRangeFormat(encoderFormat))) {
        _directYuv = *layout;
        return 0;
    }
    // The converters read the pixel after a row's last one when they halve the chroma
    // across, and the section's rows have none of their own; at odd widths the frame goes
    // through a copy whose rows end in a zero pixel. So does a frame without alpha bound for
    // a format with a fourth byte or an alpha plane, which then stays zero as before.
    const AVPixFmtDescriptor* targetLayout = av_pix_fmt_desc_get(target);
    const bool fourthByte =
        targetLayout && ((targetLayout->flags & AV_PIX_FMT_FLAG_ALPHA) ||
                         (!(targetLayout->flags & AV_PIX_FMT_FLAG_PLANAR) &&
                          av_get_padded_bits_per_pixel(targetLayout) != av_get_bits_per_pixel(targetLayout)));
    AVPixelFormat source = _bytesPerPixel == 4 ? AV_PIX_FMT_RGBA : AV_PIX_FMT_RGB24;
    if (width % 2 != 0 || (_bytesPerPixel == 3 && fourthByte)) {
        source = _bytesPerPixel == 4 ? AV_PIX_FMT_RGBA : AV_PIX_FMT_RGB0;
        _staged.reset(av_frame_alloc());
        if (!_staged) {
            return AVERROR(ENOMEM);
        }
        _staged->format = source;
        _staged->width = width;
        _staged->height = height;
        int result = av_frame_get_buffer(_staged.get(), 0);
        if (result < 0) {
            return result;
        }
        // Zero once: the padding after each row is never written again.
        for (int y = 0; y < height; ++y) {
            std::fill_n(_staged->data[0] + std::ptrdiff_t(y) * _staged->linesize[0], _staged->linesize[0], 0);
        }
    }
    _scale.reset(sws_alloc_context());
    if (!_scale) {
        return AVERROR(ENOMEM);
    }
    av_opt_set_int(_scale.get(), "srcw", width, 0);
    av_opt_set_int(_scale.get(), "srch", height, 0);
    av_opt_set_int(_scale.get(), "src_format", source, 0);
    av_opt_set_int(_scale.get(), "dstw", width, 0);
    av_opt_set_int(_scale.get(), "dsth", height, 0);
    av_opt_set_int(_scale.get(), "dst_format", target, 0);
    av_opt_set_int(_scale.get(), "dst_range", isJpegRangeFormat(encoderFormat) ? 1 : 0, 0);
    av_opt_set_int(_scale.get(), "sws_flags", SWS_BICUBIC, 0);
    av_opt_set_int(_scale.get(), "threads", 0, 0);
    return std::min(0, sws_init_context(_scale.get(), nullptr, nullptr));
}

int CompressionSession::encodeFrame(const SectionFrame& frame, std::int64_t displayTime, std::int64_t displayDuration) {
    if (_flushed) {
        return AVERROR_EOF;
    }
    if (!frame.pixels || frame.width != _context->width || frame.height != _context->height ||
        frame.bytesPerPixel != _bytesPerPixel) {
        return AVERROR(EINVAL);
    }
    // The encoding thread may still be encoding the other picture meanwhile.
    const int converted = convert(frame);
    const int failure = _worker->wait();
    deliver();
    if (failure < 0 || converted < 0) {
        return failure < 0 ? failure : converted;
    }
    const int picture = _filling;
    _filling ^= 1;
    return _worker->post(
        [this, picture, displayTime, displayDuration] { return encode(picture, displayTime, displayDuration); });
}

int CompressionSession::convert(const SectionFrame& frame) {
    AVFrame& picture = *_pictures[_filling];
    av_frame_unref(&picture);
    const AVPixelFormat format = withoutJpegRange(_context->pix_fmt);
    picture.format = format;
    picture.width = _context->width;
    picture.height = _context->height;
    picture.buf[0] = av_buffer_pool_get(_framePool.get());
    if (!picture.buf[0]) {
        return AVERROR(ENOMEM);
    }
    int result = av_image_fill_arrays(picture.data, picture.linesize, picture.buf[0]->data, format, picture.width,
                                      picture.height, frameAlignment);
    if (result < 0) {
        return result;
    }

    if (_directYuv) {
        convertBottomUpRgbToYuv(frame.pixels, frame.width, frame.height, frame.bytesPerPixel, *_directYuv,
                                YuvPlanes{{picture.data[0], picture.data[1], picture.data[2]},
                                          {picture.linesize[0], picture.linesize[1], picture.linesize[2]}});
    } else if ((result = scale(frame, picture)) < 0) {
        return result;
    }
    picture.format = _context->pix_fmt;
    picture.quality = _context->global_quality;
    picture.color_range = _context->color_range;
    return 0;
}

int CompressionSession::scale(const SectionFrame& frame, AVFrame& picture) {
    int result = 0;
    const std::size_t rowBytes = std::size_t(frame.width) * frame.bytesPerPixel;
    const std::uint8_t* topRow = frame.pixels + (frame.height - 1) * rowBytes;
    AVFrame& source = *_source;
    if (_staged) {
        const bool alpha = frame.bytesPerPixel == 4;
        for (int y = 0; y < frame.height; ++y) {
            const std::uint8_t* from = topRow - y * rowBytes;
            std::uint8_t* to = _staged->data[0] + std::ptrdiff_t(y) * _staged->linesize[0];
            for (int x = 0; x < frame.width; ++x, from += frame.bytesPerPixel, to += 4) {
                to[0] = from[0];
                to[1] = from[1];
                to[2] = from[2];
                to[3] = alpha ? from[3] : 0;
            }
        }
        result = av_frame_ref(&source, _staged.get());
    } else {
        // The section read in place, bottom row first: a negative source stride converts
        // exactly at every width (a negative destination stride would not).
        source.format = frame.bytesPerPixel == 4 ? AV_PIX_FMT_RGBA : AV_PIX_FMT_RGB24;
        source.width = frame.width;
        source.height = frame.height;
        source.data[0] = const_cast<std::uint8_t*>(topRow);
        source.linesize[0] = -static_cast<int>(rowBytes);
        // A frame without a buffer reference would be copied whole by the scaler first.
        source.buf[0] = av_buffer_create(
            const_cast<std::uint8_t*>(frame.pixels), rowBytes * frame.height, [](void*, std::uint8_t*) {}, nullptr,
            AV_BUFFER_FLAG_READONLY);
        result = source.buf[0] ? 0 : AVERROR(ENOMEM);
    }
    if (result == 0) {
        result = sws_scale_frame(_scale.get(), &picture, &source);
    }
    av_frame_unref(&source);
    return std::min(0, result);
}

int CompressionSession::completeFrames() {
    int result = _worker->wait();
    deliver();
    if (result < 0 || _flushed) {
        return result;
    }
    _flushed = true;
    if ((result = _worker->post([this] { return flush(); })) == 0) {
        result = _worker->wait();
    }
    deliver();
    return result;
}

int CompressionSession::encode(int picture, std::int64_t displayTime, std::int64_t displayDuration) {
    AVFrame& frame = *_pictures[picture];
    frame.pts = av_rescale_q(displayTime, _timeBase, _context->time_base);
    const int result = avcodec_send_frame(_context.get(), &frame);
    if (result < 0) {
        return result;
    }
    _durations.push_back(displayDuration);
    return drain();
}

int CompressionSession::flush() {
    const int result = avcodec_send_frame(_context.get(), nullptr);
    return result < 0 ? result : drain();
}

int CompressionSession::drain() {
    for (;;) {
        const int result = avcodec_receive_packet(_context.get(), _packet.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
            return 0;
        }
        if (result < 0) {
            return result;
        }
        std::int64_t decodeDuration = 0;
        if (!_durations.empty()) {
            decodeDuration = _durations.front();
            _durations.pop_front();
        }
        std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
        if (!packet) {
            return AVERROR(ENOMEM);
        }
        av_packet_move_ref(packet.get(), _packet.get());
        av_packet_rescale_ts(packet.get(), _context->time_base, _timeBase);
        _encoded.push_back(EncodedPacket{std::move(packet), decodeDuration});
    }
}

void CompressionSession::deliver() {
    std::vector<EncodedPacket> encoded;
    encoded.swap(_encoded);
    for (const EncodedPacket& item : encoded) {
        const AVPacket& packet = *item.packet;
        const EncodedFrame frame{packet.data,         static_cast<std::size_t>(packet.size),
                                 packet.pts,          packet.dts == AV_NOPTS_VALUE ? packet.pts : packet.dts,
                                 item.decodeDuration, (packet.flags & AV_PKT_FLAG_KEY) != 0};
        _output(frame);
    }
}

} // namespace bridge::media
