// SPDX-License-Identifier: Apache-2.0
#include "movieWriterMux.h"

#include "movieWriterEmptyTracks.h"

#include <algorithm>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
}

namespace bridge::media {

namespace {

struct OutputContext {
    AVFormatContext* context = nullptr;
    ~OutputContext() {
        if (!context) {
            return;
        }
        if (context->pb) {
            avio_closep(&context->pb);
        }
        avformat_free_context(context);
    }
};

struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

struct DictionaryFree {
    void operator()(AVDictionary* d) const { av_dict_free(&d); }
};

int describeSound(AVCodecParameters& parameters, const SoundDescription& sound) {
    parameters.codec_type = AVMEDIA_TYPE_AUDIO;
    switch (sound.format) {
    case SampleFormat::signedLittleEndian16:
        parameters.codec_id = AV_CODEC_ID_PCM_S16LE;
        break;
    case SampleFormat::unsigned8:
        parameters.codec_id = AV_CODEC_ID_PCM_U8;
        break;
    case SampleFormat::signedLittleEndian24:
        parameters.codec_id = AV_CODEC_ID_PCM_S24LE;
        break;
    case SampleFormat::signedLittleEndian32:
        parameters.codec_id = AV_CODEC_ID_PCM_S32LE;
        break;
    }
    parameters.sample_rate = sound.sampleRate;
    parameters.bits_per_coded_sample = sound.bitsPerSample;
    parameters.block_align = sound.channelCount * sound.bitsPerSample / 8;
    av_channel_layout_default(&parameters.ch_layout, sound.channelCount);
    return 0;
}

int addStreams(AVFormatContext& output, const MuxPlan& plan) {
    for (const MuxTrack& track : plan.tracks) {
        AVStream* stream = avformat_new_stream(&output, nullptr);
        if (!stream) {
            return AVERROR(ENOMEM);
        }
        if (track.parameters) {
            const int result = avcodec_parameters_copy(stream->codecpar, track.parameters);
            if (result < 0) {
                return result;
            }
            stream->codecpar->codec_tag = sampleDescriptionType(output, *track.parameters);
            stream->time_base = AVRational{1, track.timeScale};
        } else {
            describeSound(*stream->codecpar, track.sound);
            stream->time_base = AVRational{1, track.sound.sampleRate};
        }
    }
    return 0;
}

std::unique_ptr<AVDictionary, DictionaryFree> muxerOptions(const MuxPlan& plan, const char* extraFlags = "") {
    AVDictionary* options = nullptr;
    std::string flags = extraFlags;
    av_dict_set_int(&options, "movie_timescale", plan.movieTimeScale, 0);
    for (const MuxTrack& track : plan.tracks) {
        if (track.parameters) {
            av_dict_set_int(&options, "video_track_timescale", track.timeScale, 0);
            flags += "+write_gama";
            av_dict_set(&options, "mov_gamma", std::to_string(plan.gamma).c_str(), 0);
        }
    }
    if (!flags.empty()) {
        av_dict_set(&options, "movflags", flags.c_str(), 0);
    }
    return std::unique_ptr<AVDictionary, DictionaryFree>(options);
}

// Copies the records and notes which tracks received at least one.
int copyRecords(AVFormatContext& output, const MuxPlan& plan, StagingFile& staging, std::vector<bool>& filled) {
    std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
    if (!packet) {
        return AVERROR(ENOMEM);
    }
    int result = staging.rewind();
    StagedRecord record;
    while (result >= 0 && (result = staging.next(record)) > 0) {
        if (record.stream >= plan.tracks.size()) {
            return AVERROR_BUG;
        }
        const MuxTrack& track = plan.tracks[record.stream];
        const AVRational timeBase{1, track.parameters ? track.timeScale : track.sound.sampleRate};
        if ((result = av_new_packet(packet.get(), static_cast<int>(record.data.size()))) < 0) {
            return result;
        }
        std::copy(record.data.begin(), record.data.end(), packet->data);
        packet->stream_index = static_cast<int>(record.stream);
        packet->pts = record.pts;
        packet->dts = record.dts;
        packet->duration = record.duration;
        packet->flags = record.keyFrame ? AV_PKT_FLAG_KEY : 0;
        av_packet_rescale_ts(packet.get(), timeBase, output.streams[record.stream]->time_base);
        result = av_write_frame(&output, packet.get());
        av_packet_unref(packet.get());
        filled[record.stream] = true;
    }
    return result;
}

int writeHeader(AVFormatContext& output, const MuxPlan& plan, const char* extraFlags) {
    auto options = muxerOptions(plan, extraFlags);
    AVDictionary* rawOptions = options.release();
    const int result = avformat_write_header(&output, &rawOptions);
    options.reset(rawOptions);
    return result;
}

// The movie resource as the muxer writes it ahead of fragments: every track described,
// the empty ones included.
int describeAllTracks(const MuxPlan& plan, std::vector<std::uint8_t>& bytes) {
    OutputContext output;
    int result = avformat_alloc_output_context2(&output.context, nullptr, "mov", nullptr);
    if (result < 0) {
        return result;
    }
    if ((result = addStreams(*output.context, plan)) < 0) {
        return result;
    }
    if ((result = avio_open_dyn_buf(&output.context->pb)) < 0) {
        return result;
    }
    result = writeHeader(*output.context, plan, "+empty_moov");
    avio_flush(output.context->pb);
    std::uint8_t* buffer = nullptr;
    const int size = avio_close_dyn_buf(output.context->pb, &buffer);
    output.context->pb = nullptr;
    if (result >= 0) {
        bytes.assign(buffer, buffer + size);
    }
    av_free(buffer);
    return result;
}

} // namespace

unsigned sampleDescriptionType(const AVFormatContext& output, const AVCodecParameters& parameters) {
    if (parameters.codec_tag != 0 &&
        av_codec_get_id(output.oformat->codec_tag, parameters.codec_tag) == parameters.codec_id) {
        return parameters.codec_tag;
    }
    if (parameters.codec_id == AV_CODEC_ID_HEVC) {
        return MKTAG('h', 'v', 'c', '1');
    }
    return 0;
}

int muxMovie(const std::string& path, const MuxPlan& plan, StagingFile& staging) {
    OutputContext output;
    int result = avformat_alloc_output_context2(&output.context, nullptr, "mov", path.c_str());
    if (result < 0) {
        return result;
    }
    if ((result = addStreams(*output.context, plan)) < 0) {
        return result;
    }
    if ((result = avio_open(&output.context->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0) {
        return result;
    }
    if ((result = writeHeader(*output.context, plan, "")) < 0) {
        return result;
    }
    std::vector<bool> filled(plan.tracks.size());
    if ((result = copyRecords(*output.context, plan, staging, filled)) < 0) {
        return result;
    }
    if ((result = av_write_trailer(output.context)) < 0) {
        return result;
    }
    if ((result = avio_closep(&output.context->pb)) < 0) {
        return result;
    }
    if (std::find(filled.begin(), filled.end(), false) == filled.end()) {
        return 0;
    }
    std::vector<std::uint8_t> described;
    if ((result = describeAllTracks(plan, described)) < 0) {
        return result;
    }
    return insertMissingTracks(path, described, static_cast<std::uint32_t>(plan.tracks.size()));
}

} // namespace bridge::media
