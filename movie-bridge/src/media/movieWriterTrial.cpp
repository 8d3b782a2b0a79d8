// SPDX-License-Identifier: Apache-2.0
#include "movieWriterTrial.h"

#include "encoderFrameSizes.h"
#include "movieWriterMux.h"
#include "movieWriterSession.h"

#include <memory>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

namespace bridge::media {

namespace {

constexpr FrameSize trialFrameSize{64, 64};
constexpr std::int32_t trialTimeScale = 2400;

struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

// A MOV muxer writing into memory, thrown away with this object.
class MemoryMovie {
public:
    MemoryMovie() {
        if (avformat_alloc_output_context2(&_context, nullptr, "mov", nullptr) >= 0 &&
            avio_open_dyn_buf(&_context->pb) < 0) {
            _context->pb = nullptr;
        }
    }
    ~MemoryMovie() {
        if (!_context) {
            return;
        }
        if (_context->pb) {
            std::uint8_t* buffer = nullptr;
            avio_close_dyn_buf(_context->pb, &buffer);
            av_free(buffer);
        }
        avformat_free_context(_context);
    }
    MemoryMovie(const MemoryMovie&) = delete;
    MemoryMovie& operator=(const MemoryMovie&) = delete;

    AVStream* addVideo() { return _context && _context->pb ? avformat_new_stream(_context, nullptr) : nullptr; }
    AVFormatContext& context() { return *_context; }

private:
    AVFormatContext* _context = nullptr;
};

} // namespace

bool movMuxerTakes(const AVCodec& encoder) {
    MemoryMovie movie;
    AVStream* stream = movie.addVideo();
    if (!stream) {
        return false;
    }
    stream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
    stream->codecpar->codec_id = encoder.id;
    // Some sample description types depend on the frame size (DV's on its raster).
    const FrameSize size = smallestFrameSize(encoder.name, trialFrameSize);
    stream->codecpar->width = size.width;
    stream->codecpar->height = size.height;
    stream->time_base = AVRational{1, trialTimeScale};
    return avformat_write_header(&movie.context(), nullptr) >= 0;
}

bool completesOneFrameMovie(const AVCodec& encoder) {
    std::vector<std::unique_ptr<AVPacket, PacketFree>> packets;
    bool refused = false;
    CompressionSession session;
    const FrameSize size = smallestFrameSize(encoder.name, trialFrameSize);
    CompressionOptions options;
    // Thread pools cost more to start than one tiny frame costs to encode.
    options.threadCount = 1;
    const int opened =
        session.open(size.width, size.height, trialTimeScale, encoder.name, options, [&](const EncodedFrame& frame) {
            std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
            if (!packet || av_new_packet(packet.get(), static_cast<int>(frame.size)) < 0) {
                refused = true;
                return;
            }
            std::copy(frame.data, frame.data + frame.size, packet->data);
            packet->pts = frame.displayTime;
            packet->dts = frame.decodeTime;
            packet->duration = frame.decodeDuration;
            packet->flags = frame.keyFrame ? AV_PKT_FLAG_KEY : 0;
            packets.push_back(std::move(packet));
        });
    if (opened < 0) {
        return false;
    }
    const std::vector<std::uint8_t> grey(std::size_t(size.width) * size.height * 4 + sectionFrameReadSlack, 128);
    if (session.encodeFrame(SectionFrame{grey.data(), size.width, size.height, 4}, 0, 100) < 0 ||
        session.completeFrames() < 0 || refused || packets.empty()) {
        return false;
    }

    MemoryMovie movie;
    AVStream* stream = movie.addVideo();
    if (!stream || avcodec_parameters_copy(stream->codecpar, &session.parameters()) < 0) {
        return false;
    }
    stream->codecpar->codec_tag = sampleDescriptionType(movie.context(), session.parameters());
    stream->time_base = AVRational{1, trialTimeScale};
    if (avformat_write_header(&movie.context(), nullptr) < 0) {
        return false;
    }
    for (auto& packet : packets) {
        av_packet_rescale_ts(packet.get(), AVRational{1, trialTimeScale}, stream->time_base);
        if (av_write_frame(&movie.context(), packet.get()) < 0) {
            return false;
        }
    }
    return av_write_trailer(&movie.context()) >= 0;
}

} // namespace bridge::media
