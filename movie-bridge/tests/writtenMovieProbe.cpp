// SPDX-License-Identifier: Apache-2.0
#include "writtenMovieProbe.h"

#include "media/movBoxes.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace bridge::testing {

namespace {

struct Input {
    AVFormatContext* context = nullptr;
    explicit Input(const std::string& path) {
        if (avformat_open_input(&context, path.c_str(), nullptr, nullptr) < 0 ||
            avformat_find_stream_info(context, nullptr) < 0) {
            throw std::runtime_error("cannot open '" + path + "' as a movie");
        }
    }
    ~Input() { avformat_close_input(&context); }
};

std::string tagText(std::uint32_t tag) {
    std::string text;
    for (int i = 0; i < 4; ++i) {
        text += static_cast<char>((tag >> (8 * i)) & 0xFF);
    }
    return text;
}

} // namespace

WrittenMovie probeMovie(const std::string& path) {
    // An empty track has nothing to probe; that is what some tests expect, not news.
    av_log_set_level(AV_LOG_FATAL);
    Input input(path);
    WrittenMovie movie;
    for (unsigned i = 0; i < input.context->nb_streams; ++i) {
        const AVStream& stream = *input.context->streams[i];
        const AVCodecParameters& p = *stream.codecpar;
        WrittenTrack track;
        track.kind = p.codec_type == AVMEDIA_TYPE_VIDEO   ? "video"
                     : p.codec_type == AVMEDIA_TYPE_AUDIO ? "audio"
                                                          : "other";
        track.codec = avcodec_get_name(p.codec_id);
        track.tag = tagText(p.codec_tag);
        track.timeBaseNum = stream.time_base.num;
        track.timeBaseDen = stream.time_base.den;
        track.width = p.width;
        track.height = p.height;
        track.sampleRate = p.sample_rate;
        track.channels = p.ch_layout.nb_channels;
        movie.tracks.push_back(track);
    }
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(input.context, packet) >= 0) {
        WrittenTrack& track = movie.tracks[static_cast<std::size_t>(packet->stream_index)];
        track.pts.push_back(packet->pts);
        track.durations.push_back(packet->duration);
        if (track.kind == "audio") {
            const AVCodecParameters& p = *input.context->streams[packet->stream_index]->codecpar;
            track.sampleCount += packet->size / (p.ch_layout.nb_channels * av_get_bits_per_sample(p.codec_id) / 8);
            track.samples.insert(track.samples.end(), packet->data, packet->data + packet->size);
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    return movie;
}

std::optional<double> gamaAtom(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const auto at = bytes.rfind("gama");
    if (at == std::string::npos || at + 8 > bytes.size()) {
        return std::nullopt;
    }
    return media::readBig32(reinterpret_cast<const std::uint8_t*>(bytes.data()) + at + 4) / 65536.0;
}

namespace {

// Every frame of the first video track, each handed to take in the decoder's format.
std::vector<std::vector<std::uint8_t>>
decodeEach(const std::string& path, const std::function<std::vector<std::uint8_t>(const AVFrame&)>& take) {
    Input input(path);
    const int index = av_find_best_stream(input.context, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0) {
        return {};
    }
    const AVCodecParameters& p = *input.context->streams[index]->codecpar;
    AVCodecContext* decoder = avcodec_alloc_context3(avcodec_find_decoder(p.codec_id));
    avcodec_parameters_to_context(decoder, &p);
    avcodec_open2(decoder, decoder->codec, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::vector<std::vector<std::uint8_t>> frames;
    const auto receiveAll = [&] {
        while (avcodec_receive_frame(decoder, frame) >= 0) {
            frames.push_back(take(*frame));
        }
    };
    while (av_read_frame(input.context, packet) >= 0) {
        if (packet->stream_index == index) {
            avcodec_send_packet(decoder, packet);
            receiveAll();
        }
        av_packet_unref(packet);
    }
    avcodec_send_packet(decoder, nullptr);
    receiveAll();
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&decoder);
    return frames;
}

} // namespace

std::vector<std::vector<std::uint8_t>> decodeRgba(const std::string& path) {
    return decodeEach(path, [](const AVFrame& frame) {
        std::vector<std::uint8_t> rgba(std::size_t(frame.width) * frame.height * 4);
        SwsContext* scale = sws_getContext(frame.width, frame.height, AVPixelFormat(frame.format), frame.width,
                                           frame.height, AV_PIX_FMT_RGBA, SWS_POINT, nullptr, nullptr, nullptr);
        std::uint8_t* planes[] = {rgba.data()};
        const int strides[] = {frame.width * 4};
        sws_scale(scale, frame.data, frame.linesize, 0, frame.height, planes, strides);
        sws_freeContext(scale);
        return rgba;
    });
}

std::vector<std::vector<std::uint8_t>> decodeNative(const std::string& path) {
    return decodeEach(path, [](const AVFrame& frame) {
        const auto format = AVPixelFormat(frame.format);
        std::vector<std::uint8_t> bytes(
            static_cast<std::size_t>(av_image_get_buffer_size(format, frame.width, frame.height, 1)));
        av_image_copy_to_buffer(bytes.data(), static_cast<int>(bytes.size()), frame.data, frame.linesize, format,
                                frame.width, frame.height, 1);
        return bytes;
    });
}

std::vector<std::string> filesContaining(const std::string& directory, const std::string& text) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        const std::string name = entry.path().filename().string();
        if (name.find(text) != std::string::npos) {
            names.push_back(name);
        }
    }
    return names;
}

} // namespace bridge::testing
