#include "movieWriterSession.h"

#include "movieWriterQuality.h"

extern "C" {
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
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

bool isFullRange(AVPixelFormat format) {
    return format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVJ422P || format == AV_PIX_FMT_YUVJ444P;
}

// libswscale takes the full-range ("J") formats as their plain twins with a full
// destination range; the planes are laid out alike.
AVPixelFormat scaleFormat(AVPixelFormat format) {
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        return AV_PIX_FMT_YUV444P;
    default:
        return format;
    }
}

} // namespace

int CompressionSession::open(int width, int height, std::int32_t timeScale, const std::string& encoderName,
                             const CompressionOptions& options, EncodedFrameOutput output) {
    const AVCodec* encoder = avcodec_find_encoder_by_name(encoderName.c_str());
    if (!encoder || encoder->type != AVMEDIA_TYPE_VIDEO) {
        return AVERROR_ENCODER_NOT_FOUND;
    }
    if (width <= 0 || height <= 0 || timeScale <= 0) {
        return AVERROR(EINVAL);
    }
    const EncoderSettings settings = encoderSettings(*encoder, options.codecQuality, options.depth);

    _context.reset(avcodec_alloc_context3(encoder));
    _packet.reset(av_packet_alloc());
    _pixelBuffer.reset(av_frame_alloc());
    _encoderFrame.reset(av_frame_alloc());
    _parameters.reset(avcodec_parameters_alloc());
    if (!_context || !_packet || !_pixelBuffer || !_encoderFrame || !_parameters) {
        return AVERROR(ENOMEM);
    }
    AVCodecContext& c = *_context;
    c.width = width;
    c.height = height;
    c.pix_fmt = settings.pixelFormat;
    c.time_base = AVRational{1, timeScale};
    c.framerate = av_make_q(timeScale, 100);
    c.sample_aspect_ratio = AVRational{1, 1};
    c.gop_size = options.allowTemporalCompression ? options.maxKeyFrameInterval : 0;
    if (!options.allowFrameReordering) {
        c.max_b_frames = 0;
    }
    if (isFullRange(settings.pixelFormat)) {
        c.color_range = AVCOL_RANGE_JPEG;
    }
    // A movie keeps codec headers in the track's sample description, not in the frames.
    c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (settings.qscale) {
        c.flags |= AV_CODEC_FLAG_QSCALE;
        c.global_quality = FF_QP2LAMBDA * settings.qscale;
    }
    c.thread_count = 0;

    AVDictionary* rawOptions = nullptr;
    for (const auto& [name, value] : settings.options) {
        av_dict_set(&rawOptions, name.c_str(), value.c_str(), 0);
    }
    int result = avcodec_open2(&c, encoder, &rawOptions);
    std::unique_ptr<AVDictionary, DictionaryFree> unusedOptions(rawOptions);
    if (result < 0) {
        return result;
    }
    if ((result = avcodec_parameters_from_context(_parameters.get(), &c)) < 0) {
        return result;
    }

    const int pictureSize = av_image_get_buffer_size(scaleFormat(settings.pixelFormat), width, height, frameAlignment);
    if (pictureSize < 0) {
        return pictureSize;
    }
    _framePool.reset(av_buffer_pool_init(static_cast<std::size_t>(pictureSize) + framePadding, nullptr));
    if (!_framePool) {
        return AVERROR(ENOMEM);
    }

    _pixelBuffer->format = AV_PIX_FMT_BGRA;
    _pixelBuffer->width = width;
    _pixelBuffer->height = height;
    if ((result = av_frame_get_buffer(_pixelBuffer.get(), 0)) < 0) {
        return result;
    }

    // The pixel buffer's fourth byte is padding at depth 24, so it must not become alpha.
    const AVPixelFormat source = options.depth == 32 ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR0;
    _scale.reset(sws_alloc_context());
    if (!_scale) {
        return AVERROR(ENOMEM);
    }
    av_opt_set_int(_scale.get(), "srcw", width, 0);
    av_opt_set_int(_scale.get(), "srch", height, 0);
    av_opt_set_int(_scale.get(), "src_format", source, 0);
    av_opt_set_int(_scale.get(), "dstw", width, 0);
    av_opt_set_int(_scale.get(), "dsth", height, 0);
    av_opt_set_int(_scale.get(), "dst_format", scaleFormat(settings.pixelFormat), 0);
    av_opt_set_int(_scale.get(), "dst_range", isFullRange(settings.pixelFormat) ? 1 : 0, 0);
    av_opt_set_int(_scale.get(), "sws_flags", SWS_BICUBIC, 0);
    av_opt_set_int(_scale.get(), "threads", 0, 0);
    if ((result = sws_init_context(_scale.get(), nullptr, nullptr)) < 0) {
        return result;
    }
    _pixelBuffer->format = source;
    _output = std::move(output);
    return 0;
}

PixelBuffer CompressionSession::pixelBuffer() {
    return PixelBuffer{_pixelBuffer->data[0], _pixelBuffer->linesize[0], _pixelBuffer->width, _pixelBuffer->height};
}

int CompressionSession::encodeFrame(std::int64_t displayTime, std::int64_t displayDuration) {
    if (_flushed) {
        return AVERROR_EOF;
    }
    AVFrame& frame = *_encoderFrame;
    av_frame_unref(&frame);
    const AVPixelFormat format = scaleFormat(_context->pix_fmt);
    frame.format = format;
    frame.width = _context->width;
    frame.height = _context->height;
    frame.buf[0] = av_buffer_pool_get(_framePool.get());
    if (!frame.buf[0]) {
        return AVERROR(ENOMEM);
    }
    int result = av_image_fill_arrays(frame.data, frame.linesize, frame.buf[0]->data, format, frame.width, frame.height,
                                      frameAlignment);
    if (result < 0) {
        return result;
    }
    if ((result = sws_scale_frame(_scale.get(), &frame, _pixelBuffer.get())) < 0) {
        return result;
    }
    frame.format = _context->pix_fmt;
    frame.pts = displayTime;
    frame.quality = _context->global_quality;
    frame.color_range = _context->color_range;
    if ((result = avcodec_send_frame(_context.get(), &frame)) < 0) {
        return result;
    }
    _durations.push_back(displayDuration);
    return drain();
}

int CompressionSession::completeFrames() {
    if (!_flushed) {
        _flushed = true;
        const int result = avcodec_send_frame(_context.get(), nullptr);
        if (result < 0) {
            return result;
        }
    }
    return drain();
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
        const AVPacket& packet = *_packet;
        const EncodedFrame encoded{packet.data,    static_cast<std::size_t>(packet.size),
                                   packet.pts,     packet.dts == AV_NOPTS_VALUE ? packet.pts : packet.dts,
                                   decodeDuration, (packet.flags & AV_PKT_FLAG_KEY) != 0};
        _output(encoded);
        av_packet_unref(_packet.get());
    }
}

} // namespace bridge::media
