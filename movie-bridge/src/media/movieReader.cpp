// SPDX-License-Identifier: Apache-2.0
#include "movieReader.h"

#include "backgroundWorker.h"
#include "engineResult.h"
#include "movieReaderFrameCache.h"
#include "movieReaderMovieHeader.h"
#include "movieReaderPixels.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <limits>
#include <string_view>
#include <sys/stat.h>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
}

namespace bridge::media {

namespace {

std::string errorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

struct FormatCloser {
    void operator()(AVFormatContext* format) const { avformat_close_input(&format); }
};
struct CodecCloser {
    void operator()(AVCodecContext* codec) const { avcodec_free_context(&codec); }
};
struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};

using FormatPtr = std::unique_ptr<AVFormatContext, FormatCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecCloser>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;

constexpr std::uint32_t tmcdTag = MKTAG('t', 'm', 'c', 'd');

// A video sample: its presentation time on the stream's time base and its movie time.
struct Sample {
    std::int64_t pts;
    TimeValue time;
};

std::int64_t presentationTime(const AVFrame& frame) {
    return frame.pts != AV_NOPTS_VALUE ? frame.pts : frame.best_effort_timestamp;
}

} // namespace

struct MovieReader::DecodeState {
    std::string path;
    FormatPtr format;
    CodecPtr decoder;
    AVStream* video = nullptr;
    AVStream* timecodeStream = nullptr;
    std::optional<TimecodeDefinition> timecodeDefinition;
    std::int64_t timecodeStart = 0;

    MovieBox box;
    TimeValue timeScale = 0;
    TimeValue duration = 0;
    std::vector<Sample> samples;
    std::vector<TimeValue> sampleTimes;
    // Presentation times of the key frames, in increasing order.
    std::vector<std::int64_t> keyFrames;
    // The palette of a palettized track. The demuxer sends it with the first packet only,
    // which the stream probe has taken; every packet carries it to the decoder instead.
    std::optional<std::array<std::uint8_t, AVPALETTE_SIZE>> palette;
    Orientation orientation;

    PacketPtr packet{av_packet_alloc()};
    FramePtr received{av_frame_alloc()};
    // The last picture taken from the decoder outside the cache, and its sample index.
    FramePtr current{av_frame_alloc()};
    std::optional<std::size_t> currentIndex;
    // The picture after the current one, decoded on a second thread (decodeAhead, below)
    // while the current one is converted, when the frames are read in order. At most this
    // one picture ahead.
    FramePtr ahead{av_frame_alloc()};
    std::optional<std::size_t> aheadIndex;
    std::optional<std::size_t> lastRequest;
    FrameCache cache;
    std::unique_ptr<BottomUpBgraConverter> converter;

    // Where decoding stands: the samples after `position` come next without a seek, as long
    // as no key frame lies between. Empty when the decoder must seek first.
    std::optional<std::ptrdiff_t> position;
    // The key frame decoding started from. Pictures of samples before it that come out after
    // it (the leading pictures of an open group of pictures) lack their references, and are
    // not taken for those samples.
    std::size_t decodedFrom = 0;
    bool draining = false;
    // A packet read but not yet taken by the decoder.
    bool packetPending = false;

    // Last, so that it is destroyed first: a decode under way ends before what it uses goes.
    BackgroundWorker decodeAhead;

    DecodeState(const std::string& moviePath, std::size_t cacheBytes) : path(moviePath), cache(cacheBytes) {}

    [[noreturn]] void fail(const std::string& why) const {
        throw MovieOpenError("cannot read movie \"" + path + "\": " + why);
    }
    // The movie cannot be read for an FFmpeg error, whose text ends the reason.
    [[noreturn]] void failWith(const std::string& why, int error) const {
        fail(why + errorText(raisingOutOfMemory(error)));
    }

    void open();
    void refuseAnythingButAFile() const;
    void openDecoder();
    void takePalette();
    void notePalette(const AVPacket& videoPacket);
    void takeOrientation();
    void findTimecodeTrack();
    void buildFrameTable();
    void readMovieTimes();

    std::size_t sampleAt(TimeValue time) const;
    std::size_t keyFrameSampleFor(std::size_t index) const;
    const AVFrame* frameFor(std::size_t index);
    const AVFrame* takeDecodedAhead(std::size_t index);
    void startDecodingAhead(std::size_t index);
    bool seekTo(std::size_t index, std::size_t keysBack);
    const AVFrame* decodeUntil(std::size_t index, bool keepInCache);
    std::optional<std::size_t> receivePicture(AVFrame* into);
    bool feedDecoder();
    std::optional<std::size_t> sampleOfPts(std::int64_t pts) const;
};

void MovieReader::DecodeState::open() {
    if (!packet || !received || !current || !ahead) {
        throw std::bad_alloc();
    }
    refuseAnythingButAFile();
    AVFormatContext* raw = nullptr;
    if (const int error = avformat_open_input(&raw, path.c_str(), nullptr, nullptr); error < 0) {
        failWith("", error);
    }
    format.reset(raw);
    if (const int error = avformat_find_stream_info(format.get(), nullptr); error < 0) {
        failWith("cannot read its stream information: ", error);
    }
    const int videoIndex = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (videoIndex < 0) {
        fail("it holds no video track");
    }
    video = format->streams[videoIndex];
    const int width = video->codecpar->width;
    const int height = video->codecpar->height;
    if (width <= 0 || height <= 0 || width > std::numeric_limits<std::int16_t>::max() ||
        height > std::numeric_limits<std::int16_t>::max()) {
        fail("its video track has an unusable size " + std::to_string(width) + " x " + std::to_string(height));
    }
    takeOrientation();
    const int uprightWidth = orientation.swapsSides() ? height : width;
    const int uprightHeight = orientation.swapsSides() ? width : height;
    box = MovieBox{0, 0, static_cast<std::int16_t>(uprightHeight), static_cast<std::int16_t>(uprightWidth)};

    openDecoder();
    findTimecodeTrack();
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        if (format->streams[i] != video) {
            format->streams[i]->discard = AVDISCARD_ALL;
        }
    }
    buildFrameTable();
    takePalette();
    readMovieTimes();
    converter = std::make_unique<BottomUpBgraConverter>(uprightWidth, uprightHeight, orientation);
}

void MovieReader::DecodeState::refuseAnythingButAFile() const {
    // Opening a pipe or a device for reading can block for ever (a FIFO waits for a writer),
    // so only a regular file, or a link to one, is opened.
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) {
        fail(std::strerror(errno));
    }
    if (!S_ISREG(status.st_mode)) {
        fail("it is not a regular file");
    }
}

void MovieReader::DecodeState::takeOrientation() {
    const auto* matrix =
        reinterpret_cast<const std::int32_t*>(av_stream_get_side_data(video, AV_PKT_DATA_DISPLAYMATRIX, nullptr));
    orientation = orientationOf(matrix, video->codecpar->width, video->codecpar->height);
}

void MovieReader::DecodeState::takePalette() {
    if (palette) {
        return;
    }
    // Unless the frame table was read from the packets, the packets the stream probe read
    // are still queued, the first one with the palette.
    while (av_read_frame(format.get(), packet.get()) >= 0) {
        const bool isVideo = packet->stream_index == video->index;
        if (isVideo) {
            notePalette(*packet);
        }
        av_packet_unref(packet.get());
        if (isVideo) {
            return;
        }
    }
}

void MovieReader::DecodeState::notePalette(const AVPacket& videoPacket) {
    std::size_t size = 0;
    const std::uint8_t* data = av_packet_get_side_data(&videoPacket, AV_PKT_DATA_PALETTE, &size);
    if (data != nullptr && size == AVPALETTE_SIZE && !palette) {
        palette.emplace();
        std::memcpy(palette->data(), data, AVPALETTE_SIZE);
    }
}

void MovieReader::DecodeState::openDecoder() {
    const AVCodec* codec = avcodec_find_decoder(video->codecpar->codec_id);
    if (codec == nullptr) {
        fail(std::string("no decoder for its video codec ") + avcodec_get_name(video->codecpar->codec_id));
    }
    decoder.reset(avcodec_alloc_context3(codec));
    if (!decoder) {
        throw std::bad_alloc();
    }
    if (const int error = avcodec_parameters_to_context(decoder.get(), video->codecpar); error < 0) {
        failWith("cannot set up its video decoder: ", error);
    }
    decoder->pkt_timebase = video->time_base;
    // As many threads as the ffmpeg command would use for the same file. Frame threads hold
    // back one picture per thread, so a seek to an intra-only frame would decode that many
    // pictures to deliver one; such codecs share out the slices of each picture instead.
    decoder->thread_count = 0;
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(codec->id);
    if (descriptor != nullptr && (descriptor->props & AV_CODEC_PROP_INTRA_ONLY) != 0) {
        decoder->thread_type = FF_THREAD_SLICE;
    }
    if (const int error = avcodec_open2(decoder.get(), codec, nullptr); error < 0) {
        failWith(std::string("cannot open the ") + codec->name + " decoder: ", error);
    }
}

void MovieReader::DecodeState::findTimecodeTrack() {
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        AVStream* stream = format->streams[i];
        if (stream->codecpar->codec_tag != tmcdTag) {
            continue;
        }
        timecodeStream = stream;
        timecodeDefinition = parseTimecodeDescription(
            stream->codecpar->extradata, static_cast<std::size_t>(std::max(0, stream->codecpar->extradata_size)));
        // FFmpeg reads the track's first sample, the start frame, into the "timecode" text.
        const AVDictionaryEntry* start = av_dict_get(stream->metadata, "timecode", nullptr, 0);
        if (timecodeDefinition && start != nullptr) {
            timecodeStart = frameNumberOfTimecodeText(start->value, *timecodeDefinition).value_or(0);
        }
        return;
    }
}

void MovieReader::DecodeState::buildFrameTable() {
    std::vector<std::int64_t> presentationTimes;
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(video->codecpar->codec_id);
    const bool reorders = descriptor == nullptr || (descriptor->props & AV_CODEC_PROP_REORDER) != 0;
    const int indexed = avformat_index_get_entries_count(video);
    if (!reorders && indexed > 0) {
        // Without reordering, decode order is presentation order and the index is enough.
        for (int i = 0; i < indexed; ++i) {
            const AVIndexEntry* entry = avformat_index_get_entry(video, i);
            if ((entry->flags & AVINDEX_DISCARD_FRAME) != 0) {
                continue;
            }
            presentationTimes.push_back(entry->timestamp);
            if ((entry->flags & AVINDEX_KEYFRAME) != 0) {
                keyFrames.push_back(entry->timestamp);
            }
        }
    } else {
        // The index holds decode times; presentation times need one pass over the packets
        // (demuxing only, nothing is decoded).
        while (av_read_frame(format.get(), packet.get()) >= 0) {
            if (packet->stream_index == video->index) {
                notePalette(*packet);
            }
            if (packet->stream_index == video->index && (packet->flags & AV_PKT_FLAG_DISCARD) == 0) {
                const std::int64_t pts = packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts;
                if (pts != AV_NOPTS_VALUE) {
                    presentationTimes.push_back(pts);
                    if ((packet->flags & AV_PKT_FLAG_KEY) != 0) {
                        keyFrames.push_back(pts);
                    }
                }
            }
            av_packet_unref(packet.get());
        }
    }
    if (presentationTimes.empty()) {
        fail("its video track holds no samples");
    }
    // Samples that share a presentation time (a damaged or odd file) keep an entry each.
    std::sort(presentationTimes.begin(), presentationTimes.end());
    std::sort(keyFrames.begin(), keyFrames.end());
    if (keyFrames.empty() || keyFrames.front() > presentationTimes.front()) {
        // A stream that marks no key frame at its start still decodes from its beginning.
        keyFrames.insert(keyFrames.begin(), presentationTimes.front());
    }
    samples.reserve(presentationTimes.size());
    for (const std::int64_t pts : presentationTimes) {
        samples.push_back({pts, 0});
    }
}

void MovieReader::DecodeState::readMovieTimes() {
    // The movie's own time scale where the file has a movie header, else the track's.
    std::uint64_t movieDuration = 0;
    const bool quickTimeFamily = std::string_view(format->iformat->name).find("mov") != std::string_view::npos;
    const auto header = quickTimeFamily ? readMovieHeader(path) : std::nullopt;
    if (header && header->timeScale <= static_cast<std::uint32_t>(std::numeric_limits<TimeValue>::max())) {
        timeScale = static_cast<TimeValue>(header->timeScale);
        movieDuration = header->duration;
    } else {
        const AVRational base = video->time_base;
        timeScale = base.num == 1 && base.den > 0 ? base.den : 600;
        if (format->duration > 0) {
            movieDuration = static_cast<std::uint64_t>(av_rescale(format->duration, timeScale, AV_TIME_BASE));
        } else if (video->duration > 0) {
            movieDuration = static_cast<std::uint64_t>(av_rescale_q(video->duration, base, AVRational{1, timeScale}));
        }
    }
    duration = static_cast<TimeValue>(std::min<std::uint64_t>(movieDuration, std::numeric_limits<TimeValue>::max()));

    // Movie times of the samples. Every sample keeps a time of its own, so that each one
    // is a frame the host can ask for: one that would share a tick of the movie's time
    // scale with the sample before it (a shared presentation time, or samples closer than
    // a tick) comes one tick later.
    for (std::size_t i = 0; i < samples.size(); ++i) {
        std::int64_t time = av_rescale_q(samples[i].pts, video->time_base, AVRational{1, timeScale});
        if (i > 0) {
            time = std::max<std::int64_t>(time, std::int64_t{samples[i - 1].time} + 1);
        }
        samples[i].time = static_cast<TimeValue>(std::clamp<std::int64_t>(time, std::numeric_limits<TimeValue>::min(),
                                                                          std::numeric_limits<TimeValue>::max()));
    }
    sampleTimes.reserve(samples.size());
    for (const Sample& sample : samples) {
        sampleTimes.push_back(sample.time);
    }
}

std::size_t MovieReader::DecodeState::sampleAt(TimeValue time) const {
    const auto after = std::upper_bound(sampleTimes.begin(), sampleTimes.end(), time);
    return after == sampleTimes.begin() ? 0 : static_cast<std::size_t>(after - sampleTimes.begin() - 1);
}

std::optional<std::size_t> MovieReader::DecodeState::sampleOfPts(std::int64_t pts) const {
    auto at = std::lower_bound(samples.begin(), samples.end(), pts,
                               [](const Sample& sample, std::int64_t value) { return sample.pts < value; });
    if (at == samples.end() || at->pts != pts) {
        return std::nullopt;
    }
    // Samples sharing a presentation time come out of the decoder one after the other,
    // always in the same order from the key frame: each takes the next of them.
    auto index = static_cast<std::size_t>(at - samples.begin());
    while (position && static_cast<std::ptrdiff_t>(index) <= *position && index + 1 < samples.size() &&
           samples[index + 1].pts == pts) {
        ++index;
    }
    return index;
}

std::size_t MovieReader::DecodeState::keyFrameSampleFor(std::size_t index) const {
    const std::int64_t pts = samples[index].pts;
    const auto after = std::upper_bound(keyFrames.begin(), keyFrames.end(), pts);
    const std::int64_t key = after == keyFrames.begin() ? keyFrames.front() : *(after - 1);
    const auto at = std::lower_bound(samples.begin(), samples.end(), key,
                                     [](const Sample& sample, std::int64_t value) { return sample.pts < value; });
    return static_cast<std::size_t>(at - samples.begin());
}

const AVFrame* MovieReader::DecodeState::frameFor(std::size_t index) {
    if (const AVFrame* decoded = takeDecodedAhead(index)) {
        return decoded;
    }
    if (currentIndex == index) {
        return current.get();
    }
    if (const AVFrame* cached = cache.find(index)) {
        return cached;
    }
    const auto wanted = static_cast<std::ptrdiff_t>(index);
    // Decoding on reaches the same picture as a seek when no key frame lies between, and
    // costs nothing for the next frame.
    if (position && wanted > *position && static_cast<std::ptrdiff_t>(keyFrameSampleFor(index)) <= *position + 1) {
        if (const AVFrame* frame = decodeUntil(index, false)) {
            return frame;
        }
    }
    // Keep the pictures decoded on the way, so that reading backwards finds them. A decoder
    // may drop pictures that follow a key frame of an open group of pictures when it starts
    // there (their memory operations name pictures of the group before); the group before
    // gives them.
    for (std::size_t keysBack = 0; keysBack < 2; ++keysBack) {
        if (!seekTo(index, keysBack)) {
            return nullptr;
        }
        if (const AVFrame* frame = decodeUntil(index, true)) {
            return frame;
        }
    }
    return nullptr;
}

const AVFrame* MovieReader::DecodeState::takeDecodedAhead(std::size_t index) {
    if (decodeAhead.wait() != 0) {
        throw std::bad_alloc();
    }
    if (!aheadIndex) {
        return nullptr;
    }
    const std::size_t decoded = *std::exchange(aheadIndex, std::nullopt);
    if (decoded != index) {
        // Not the frame asked for (the same one again, or a jump): the picture joins the
        // others decoded around the last seek, where the frame after this one is found.
        cache.insert(decoded, ahead.get());
        return nullptr;
    }
    av_frame_unref(current.get());
    av_frame_move_ref(current.get(), ahead.get());
    currentIndex = index;
    return current.get();
}

void MovieReader::DecodeState::startDecodingAhead(std::size_t index) {
    // Only while the frames are asked in order, and the decoder stands at this one; the
    // first frame of a run is delivered without waiting for its successor.
    const bool inOrder = lastRequest && *lastRequest + 1 == index;
    lastRequest = index;
    if (!inOrder || currentIndex != index || !position || *position != static_cast<std::ptrdiff_t>(index) ||
        index + 1 >= samples.size() || draining) {
        return;
    }
    // The only failure a decode reports by exception is an exhausted allocation.
    const int failed = decodeAhead.post([this] {
        try {
            aheadIndex = receivePicture(ahead.get());
            return 0;
        } catch (const std::bad_alloc&) {
            return AVERROR(ENOMEM);
        }
    });
    if (failed != 0) {
        throw std::bad_alloc();
    }
}

bool MovieReader::DecodeState::seekTo(std::size_t index, std::size_t keysBack) {
    std::size_t keySample = keyFrameSampleFor(index);
    for (std::size_t back = 0; back < keysBack && keySample > 0; ++back) {
        keySample = keyFrameSampleFor(keySample - 1);
    }
    const std::int64_t pts = samples[keySample].pts;
    position.reset();
    // The demuxer finds the key frame by its presentation time; seeking to an earlier time
    // (its decode time, with B-frames) would land a whole group of pictures early. A key
    // frame that shares its time with another sample is found from just before that time,
    // going forwards, at the first of them.
    const bool shared = (keySample + 1 < samples.size() && samples[keySample + 1].pts == pts);
    const int seeked = shared ? av_seek_frame(format.get(), video->index, pts - 1, 0)
                              : av_seek_frame(format.get(), video->index, pts, AVSEEK_FLAG_BACKWARD);
    if (seeked < 0) {
        return false;
    }
    avcodec_flush_buffers(decoder.get());
    av_packet_unref(packet.get());
    packetPending = false;
    draining = false;
    position = static_cast<std::ptrdiff_t>(keySample) - 1;
    decodedFrom = keySample;
    return true;
}

bool MovieReader::DecodeState::feedDecoder() {
    if (draining) {
        return false;
    }
    while (!packetPending) {
        if (av_read_frame(format.get(), packet.get()) < 0) {
            // End of file, or a damaged one: let the decoder give out what it holds.
            draining = true;
            avcodec_send_packet(decoder.get(), nullptr);
            return true;
        }
        packetPending = packet->stream_index == video->index;
        if (!packetPending) {
            av_packet_unref(packet.get());
        } else if (palette && av_packet_get_side_data(packet.get(), AV_PKT_DATA_PALETTE, nullptr) == nullptr) {
            std::uint8_t* data = av_packet_new_side_data(packet.get(), AV_PKT_DATA_PALETTE, AVPALETTE_SIZE);
            if (data == nullptr) {
                throw std::bad_alloc();
            }
            std::memcpy(data, palette->data(), AVPALETTE_SIZE);
        }
    }
    // A decoder that is full keeps the packet for the next call; one that refuses it
    // (damaged data) skips it, and the next packet may decode.
    if (avcodec_send_packet(decoder.get(), packet.get()) != AVERROR(EAGAIN)) {
        av_packet_unref(packet.get());
        packetPending = false;
    }
    return true;
}

std::optional<std::size_t> MovieReader::DecodeState::receivePicture(AVFrame* into) {
    for (;;) {
        const int result = avcodec_receive_frame(decoder.get(), into);
        if (result == AVERROR_EOF) {
            // Drained: the decoder must be flushed by a seek before it decodes again.
            position.reset();
            return std::nullopt;
        }
        if (result < 0) {
            // Wants input, or reported a damaged picture: go on with the next packet.
            if (!feedDecoder()) {
                position.reset();
                return std::nullopt;
            }
            continue;
        }
        if (const auto sample = sampleOfPts(presentationTime(*into)); sample && *sample >= decodedFrom) {
            position = static_cast<std::ptrdiff_t>(*sample);
            return sample;
        }
        av_frame_unref(into);
    }
}

const AVFrame* MovieReader::DecodeState::decodeUntil(std::size_t index, bool keepInCache) {
    for (;;) {
        const auto sample = receivePicture(received.get());
        if (!sample) {
            return nullptr;
        }
        if (*sample > index) {
            // The wanted picture never came out; keep this one for the request that follows.
            cache.insert(*sample, received.get());
            return nullptr;
        }
        if (*sample < index && keepInCache) {
            cache.insert(*sample, received.get());
            continue;
        }
        if (*sample == index) {
            av_frame_unref(current.get());
            av_frame_move_ref(current.get(), received.get());
            currentIndex = index;
            return current.get();
        }
        av_frame_unref(received.get());
    }
}

MovieReader::MovieReader(const std::string& path, std::size_t frameCacheBytes)
    : _state(std::make_unique<DecodeState>(path, frameCacheBytes)) {
    _state->open();
}

MovieReader::~MovieReader() = default;

MovieBox MovieReader::box() const {
    return _state->box;
}

TimeValue MovieReader::timeScale() const {
    return _state->timeScale;
}

TimeValue MovieReader::duration() const {
    return _state->duration;
}

const std::vector<TimeValue>& MovieReader::sampleTimes() const {
    return _state->sampleTimes;
}

const void* MovieReader::timecodeTrack() const {
    return _state->timecodeStream;
}

std::optional<Timecode> MovieReader::timecodeAt(TimeValue time) const {
    const DecodeState& e = *_state;
    if (!e.timecodeDefinition || e.timecodeDefinition->timeScale <= 0 || e.timecodeDefinition->frameDuration <= 0) {
        return std::nullopt;
    }
    // Frames elapsed since the movie's start, counted from the sample's exact presentation
    // time; half a tick of the stream's time base absorbs its rounding.
    const Sample& sample = e.samples[e.sampleAt(time)];
    const AVRational base = e.video->time_base;
    const __int128 numerator = static_cast<__int128>(2 * sample.pts + 1) * base.num * e.timecodeDefinition->timeScale;
    const __int128 denominator = static_cast<__int128>(2) * base.den * e.timecodeDefinition->frameDuration;
    __int128 elapsed = numerator / denominator;
    if (numerator % denominator != 0 && (numerator < 0) != (denominator < 0)) {
        --elapsed;
    }
    Timecode timecode;
    timecode.definition = *e.timecodeDefinition;
    timecode.record = timecodeRecord(e.timecodeStart + static_cast<std::int64_t>(elapsed), timecode.definition);
    return timecode;
}

bool MovieReader::drawFrame(TimeValue time, std::uint8_t* pixels, std::size_t rowStride) {
    DecodeState& e = *_state;
    const std::size_t index = e.sampleAt(time);
    const AVFrame* frame = e.frameFor(index);
    if (frame == nullptr) {
        e.lastRequest.reset();
        return false;
    }
    // The next picture decodes while this one converts; the two share nothing but the
    // samples table, which neither changes.
    e.startDecodingAhead(index);
    return e.converter->convert(*frame, pixels, rowStride);
}

} // namespace bridge::media
