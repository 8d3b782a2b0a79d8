// SPDX-License-Identifier: Apache-2.0
#pragma once
// A compression session on an FFmpeg encoder: each frame is converted in one pass from the
// section into the encoder's pixel format, then encoded; every encoded frame goes to the
// output, in decode order, with its decode duration.
//
// The conversion runs on the caller's thread (on the scaler's own threads where it has
// them) while the previous frame is encoded on a thread of its own, so the slower of the
// two sets the pace, and the caller may reuse the section as soon as encodeFrame returns.
// Encoded frames reach the output on the caller's thread, from inside the next encodeFrame
// or completeFrames; so does the failure of an earlier frame's encoding.

#include "backgroundWorker.h"
#include "movieWriter.h"
#include "movieWriterQuality.h"
#include "movieWriterYuvRows.h"

#include <array>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/buffer.h>
#include <libswscale/swscale.h>
}

namespace bridge::media {

class CompressionSession {
public:
    CompressionSession() = default;
    ~CompressionSession();
    CompressionSession(const CompressionSession&) = delete;
    CompressionSession& operator=(const CompressionSession&) = delete;

    int open(int width, int height, std::int32_t timeScale, const std::string& encoderName,
             const CompressionOptions& options, EncodedFrameOutput output);
    int encodeFrame(const SectionFrame& frame, std::int64_t displayTime, std::int64_t displayDuration);
    // Flushes the encoder; the remaining frames reach the output before this returns.
    int completeFrames();
    // What the muxer needs to describe the track; valid after open.
    const AVCodecParameters& parameters() const { return *_parameters; }

private:
    // The steps of open, in order; each answers 0 or an FFmpeg error code.
    int allocate(const AVCodec& encoder);
    void configureContext(int width, int height, std::int32_t timeScale, const EncoderSettings& settings,
                          const CompressionOptions& options);
    int openEncoder(const AVCodec& encoder, const EncoderSettings& settings);
    // The pool of pictures in the encoder's format, and the scaler that fills them.
    int setUpPictures(AVPixelFormat encoded);
    int setUpScaler(AVPixelFormat encoderFormat);
    // On the caller's thread: the section's frame into the picture the caller fills next,
    // directly or through libswscale.
    int convert(const SectionFrame& frame);
    int scale(const SectionFrame& frame, AVFrame& picture);

    // On the encoding thread.
    int encode(int picture, std::int64_t displayTime, std::int64_t displayDuration);
    int flush();
    int drain();
    // On the caller's thread, while the encoding thread is idle.
    void deliver();

    struct ContextFree {
        void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
    };
    struct FrameFree {
        void operator()(AVFrame* f) const { av_frame_free(&f); }
    };
    struct PacketFree {
        void operator()(AVPacket* p) const { av_packet_free(&p); }
    };
    struct ScaleFree {
        void operator()(SwsContext* s) const { sws_freeContext(s); }
    };
    struct ParametersFree {
        void operator()(AVCodecParameters* p) const { avcodec_parameters_free(&p); }
    };
    struct PoolFree {
        void operator()(AVBufferPool* p) const { av_buffer_pool_uninit(&p); }
    };

    std::unique_ptr<AVCodecContext, ContextFree> _context;
    // The encoder's format is converted to directly when it is plain 8-bit planar Y'CbCr;
    // any other through the scaler.
    std::optional<YuvRowsLayout> _directYuv;
    std::unique_ptr<SwsContext, ScaleFree> _scale;
    int _bytesPerPixel = 4;
    // The scaler's source: the section itself, read bottom row first, or (see setUpScaler)
    // a top-first copy of it in _staged.
    std::unique_ptr<AVFrame, FrameFree> _source;
    std::unique_ptr<AVFrame, FrameFree> _staged;
    // Pictures in the encoder's format, used in turn: the caller converts into one while
    // the encoding thread encodes the other.
    std::array<std::unique_ptr<AVFrame, FrameFree>, 2> _pictures;
    int _filling = 0;
    // Their pixels come from a pool: the encoder may still hold earlier ones (frame
    // threads), and a fresh allocation per frame costs page faults.
    std::unique_ptr<AVBufferPool, PoolFree> _framePool;
    std::unique_ptr<AVPacket, PacketFree> _packet;
    std::unique_ptr<AVCodecParameters, ParametersFree> _parameters;
    // Display durations of the frames sent, in order; the n-th encoded frame in decode
    // order takes the n-th as its decode duration, so the decode times add up exactly.
    std::deque<std::int64_t> _durations;
    // The session's time scale, and the encoder's time base (one tick per frame, as
    // encoders that code the frame rate need).
    AVRational _timeBase{};
    struct EncodedPacket {
        std::unique_ptr<AVPacket, PacketFree> packet;
        std::int64_t decodeDuration;
    };
    // Encoded by the encoding thread, not yet handed to the output.
    std::vector<EncodedPacket> _encoded;
    EncodedFrameOutput _output;
    bool _flushed = false;
    // Last member: its destructor waits for a running job before the rest goes.
    std::unique_ptr<BackgroundWorker> _worker;
};

} // namespace bridge::media
