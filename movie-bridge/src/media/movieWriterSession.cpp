// SPDX-License-Identifier: Apache-2.0
#include "movieWriterSession.h"

#include "encoderFrameSizes.h"
#include "movieWriterQuality.h"
#include "pixelFormatRange.h"

#include <algorithm>
#include <cmath>

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
    // The pixel buffer's fourth byte is padding at depth 24, so it must not become alpha.
    const AVPixelFormat source = options.depth == 32 ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR0;
    int result = allocate(*encoder);
    if (result == 0) {
        configureContext(width, height, timeScale, settings, options);
        result = openEncoder(*encoder, settings);
    }
    if (result == 0) {
        result = setUpPictures(source, settings.pixelFormat);
    }
    if (result == 0) {
        result = setUpScaler(source, settings.pixelFormat);
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
    for (auto& buffer : _pixelBuffers) {
        buffer.reset(av_frame_alloc());
        if (!buffer) {
            return AVERROR(ENOMEM);
        }
    }
    _encoderFrame.reset(av_frame_alloc());
    _parameters.reset(avcodec_parameters_alloc());
    if (!_context || !_packet || !_encoderFrame || !_parameters) {
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

int CompressionSession::setUpPictures(AVPixelFormat source, AVPixelFormat encoded) {
    const int width = _context->width;
    const int height = _context->height;
    const int pictureSize = av_image_get_buffer_size(withoutJpegRange(encoded), width, height, frameAlignment);
    if (pictureSize < 0) {
        return pictureSize;
    }
    _framePool.reset(av_buffer_pool_init(static_cast<std::size_t>(pictureSize) + framePadding, nullptr));
    if (!_framePool) {
        return AVERROR(ENOMEM);
    }
    for (auto& buffer : _pixelBuffers) {
        buffer->format = source;
        buffer->width = width;
        buffer->height = height;
        if (const int result = av_frame_get_buffer(buffer.get(), 0); result < 0) {
            return result;
        }
    }
    return 0;
}

int CompressionSession::setUpScaler(AVPixelFormat source, AVPixelFormat encoded) {
    _scale.reset(sws_alloc_context());
    if (!_scale) {
        return AVERROR(ENOMEM);
    }
    const int width = _context->width;
    const int height = _context->height;
    av_opt_set_int(_scale.get(), "srcw", width, 0);
    av_opt_set_int(_scale.get(), "srch", height, 0);
    av_opt_set_int(_scale.get(), "src_format", source, 0);
    av_opt_set_int(_scale.get(), "dstw", width, 0);
    av_opt_set_int(_scale.get(), "dsth", height, 0);
    av_opt_set_int(_scale.get(), "dst_format", withoutJpegRange(encoded), 0);
    av_opt_set_int(_scale.get(), "dst_range", isJpegRangeFormat(encoded) ? 1 : 0, 0);
    av_opt_set_int(_scale.get(), "sws_flags", SWS_BICUBIC, 0);
    av_opt_set_int(_scale.get(), "threads", 0, 0);
    return std::min(0, sws_init_context(_scale.get(), nullptr, nullptr));
}

PixelBuffer CompressionSession::pixelBuffer() {
    const AVFrame& buffer = *_pixelBuffers[_filling];
    return PixelBuffer{buffer.data[0], buffer.linesize[0], buffer.width, buffer.height};
}

int CompressionSession::encodeFrame(std::int64_t displayTime, std::int64_t displayDuration) {
    if (_flushed) {
        return AVERROR_EOF;
    }
    const int failure = _worker->wait();
    deliver();
    if (failure < 0) {
        return failure;
    }
    const int buffer = _filling;
    _filling ^= 1;
    return _worker->post(
        [this, buffer, displayTime, displayDuration] { return encode(buffer, displayTime, displayDuration); });
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

int CompressionSession::encode(int buffer, std::int64_t displayTime, std::int64_t displayDuration) {
    AVFrame& frame = *_encoderFrame;
    av_frame_unref(&frame);
    const AVPixelFormat format = withoutJpegRange(_context->pix_fmt);
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
    if ((result = sws_scale_frame(_scale.get(), &frame, _pixelBuffers[buffer].get())) < 0) {
        return result;
    }
    frame.format = _context->pix_fmt;
    frame.pts = av_rescale_q(displayTime, _timeBase, _context->time_base);
    frame.quality = _context->global_quality;
    frame.color_range = _context->color_range;
    if ((result = avcodec_send_frame(_context.get(), &frame)) < 0) {
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
