// SPDX-License-Identifier: Apache-2.0
#include "movieReader.h"

#include "backgroundWorker.h"
#include "movieReaderFrameCache.h"
#include "movieReaderFrameOrder.h"
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
// Key frames back from the one before a frame, meaning the start of the movie.
constexpr std::size_t fromTheStart = std::numeric_limits<std::size_t>::max();

// A frame: what tells its picture apart (the presentation time on the stream's time base, or
// the frame's number where the frames are known by decode output order), the time it shows
// on the stream's time base, and its movie time.
struct Sample {
    std::int64_t pts;
    std::int64_t shown;
    TimeValue time;
};

// A frame decoding can start from, and the packet of the first pass that starts it (-1 where
// the frame table came from the demuxer's index).
struct KeyFrame {
    std::int64_t pts;
    std::ptrdiff_t packet;
};

ScannedPacket scanned(const AVPacket& packet) {
    return {packet.pts,
            packet.dts,
            packet.pos,
            packetDigest(packet.data, static_cast<std::size_t>(packet.size)),
            (packet.flags & AV_PKT_FLAG_KEY) != 0,
            (packet.flags & AV_PKT_FLAG_DISCARD) != 0};
}

std::int64_t presentationTime(const AVFrame& frame) {
    return frame.pts != AV_NOPTS_VALUE ? frame.pts : frame.best_effort_timestamp;
}

} // namespace

struct MovieReader::DecodeState {
    std::string path;
    FormatPtr format;
    CodecPtr decoder;
    int videoIndex = -1;
    AVStream* video = nullptr;
    AVStream* timecodeStream = nullptr;
    std::optional<TimecodeDefinition> timecodeDefinition;
    std::int64_t timecodeStart = 0;

    MovieBox box;
    TimeValue timeScale = 0;
    TimeValue duration = 0;
    std::vector<Sample> samples;
    std::vector<TimeValue> sampleTimes;
    // The key frames, in increasing order.
    std::vector<KeyFrame> keyFrames;
    // The video packets of one pass over the file, where the demuxer's index was not a whole
    // table of the samples; empty otherwise.
    std::vector<ScannedPacket> packets;
    std::optional<PacketLocator> locator;
    // Set where the frames are the pictures in decode output order.
    std::optional<OutputOrder> order;
    // While the output order is learnt, each packet carries its own number to the decoder.
    bool numberingPackets = false;
    // The number of the next video packet the demuxer gives, where it is known, and the first
    // one the decoder is to see.
    std::optional<std::size_t> nextPacket;
    std::size_t firstPacketToDecode = 0;
    // The demuxer gave a packet other than the one counted on: what follows cannot be told.
    bool lostCount = false;
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
    // The movie cannot be read for an FFmpeg error, whose text ends the reason. ENOMEM too:
    // while a movie is opened FFmpeg answers it for absurd sizes in a damaged file as often as
    // for memory running out, and either way the movie cannot be loaded.
    [[noreturn]] void failWith(const std::string& why, int error) const { fail(why + errorText(error)); }

    void open();
    void openFile();
    bool reopen();
    void refuseAnythingButAFile() const;
    void openDecoder();
    void takePalette();
    void notePalette(const AVPacket& videoPacket);
    void takeOrientation();
    void findTimecodeTrack();
    void buildFrameTable();
    void scanPackets();
    void learnOutputOrder();
    bool firstPictureShowsFirst();
    void readMovieTimes();

    std::size_t sampleAt(TimeValue time) const;
    std::size_t keyFrameFor(std::size_t index) const;
    std::size_t sampleOfKeyFrame(std::size_t key) const;
    std::size_t keyFrameSampleFor(std::size_t index) const { return sampleOfKeyFrame(keyFrameFor(index)); }
    const AVFrame* frameFor(std::size_t index);
    const AVFrame* takeDecodedAhead(std::size_t index);
    void startDecodingAhead(std::size_t index);
    bool seekTo(std::size_t index, std::size_t keysBack);
    bool seekByTime(std::size_t keySample);
    bool seekToPacket(std::size_t packet, bool fromStart);
    bool admitPacket();
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
    openFile();
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
    buildFrameTable();
    takePalette();
    readMovieTimes();
    converter = std::make_unique<BottomUpBgraConverter>(uprightWidth, uprightHeight, orientation);
}

void MovieReader::DecodeState::openFile() {
    AVFormatContext* raw = nullptr;
    if (const int error = avformat_open_input(&raw, path.c_str(), nullptr, nullptr); error < 0) {
        failWith("", error);
    }
    format.reset(raw);
    if (const int error = avformat_find_stream_info(format.get(), nullptr); error < 0) {
        failWith("cannot read its stream information: ", error);
    }
    if (videoIndex < 0) {
        videoIndex = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    }
    if (videoIndex < 0 || static_cast<unsigned>(videoIndex) >= format->nb_streams) {
        fail("it holds no video track");
    }
    video = format->streams[videoIndex];
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        if (format->streams[i] != video) {
            format->streams[i]->discard = AVDISCARD_ALL;
        }
    }
}

bool MovieReader::DecodeState::reopen() {
    // Reading from the start, exactly as the first pass met the packets: a seek to the start
    // does not always land there (the first packets of a transport stream), opening again does.
    // A file that no longer opens leaves the movie as it was.
    const int timecodeIndex = timecodeStream != nullptr ? timecodeStream->index : -1;
    FormatPtr previous = std::move(format);
    AVStream* previousVideo = video;
    try {
        openFile();
    } catch (const MovieOpenError&) {
        format = std::move(previous);
        video = previousVideo;
        return false;
    }
    timecodeStream = timecodeIndex >= 0 ? format->streams[timecodeIndex] : nullptr;
    nextPacket = 0;
    return true;
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
    // A demuxer's index is a whole sample table when it holds as many entries as the track
    // header counts samples (MOV and MP4); Matroska's holds only cue points, a fragmented
    // file's only what it has met so far, and a stream's nothing.
    const bool wholeTable = indexed > 0 && video->nb_frames == indexed;
    if (!reorders && wholeTable) {
        // Without reordering, decode order is presentation order and the index is enough.
        for (int i = 0; i < indexed; ++i) {
            const AVIndexEntry* entry = avformat_index_get_entry(video, i);
            if ((entry->flags & AVINDEX_DISCARD_FRAME) != 0) {
                continue;
            }
            presentationTimes.push_back(entry->timestamp);
            if ((entry->flags & AVINDEX_KEYFRAME) != 0) {
                keyFrames.push_back({entry->timestamp, -1});
            }
        }
    } else {
        scanPackets();
        // A decoder that holds pictures back may reorder them; the times must show how. And
        // a stream that starts with pictures the decoder drops (ahead of its first key frame,
        // or leading ones that lack their references) has fewer frames than packets.
        if (!presentationTimesTellFramesApart(packets, video->codecpar->video_delay > 0) || !firstPictureShowsFirst()) {
            learnOutputOrder();
            return;
        }
        for (std::size_t i = 0; i < packets.size(); ++i) {
            if (packets[i].discard) {
                continue;
            }
            presentationTimes.push_back(packets[i].pts);
            if (packets[i].key) {
                keyFrames.push_back({packets[i].pts, static_cast<std::ptrdiff_t>(i)});
            }
        }
    }
    if (presentationTimes.empty()) {
        fail("its video track holds no samples");
    }
    // Samples that share a presentation time (a damaged or odd file) keep an entry each.
    std::sort(presentationTimes.begin(), presentationTimes.end());
    std::sort(keyFrames.begin(), keyFrames.end(), [](const KeyFrame& a, const KeyFrame& b) { return a.pts < b.pts; });
    if (keyFrames.empty() || keyFrames.front().pts > presentationTimes.front()) {
        // A stream that marks no key frame at its start still decodes from its beginning.
        keyFrames.insert(keyFrames.begin(), {presentationTimes.front(), packets.empty() ? -1 : 0});
    }
    samples.reserve(presentationTimes.size());
    for (const std::int64_t pts : presentationTimes) {
        samples.push_back({pts, pts, 0});
    }
}

void MovieReader::DecodeState::scanPackets() {
    // One pass over the packets, demuxing only; nothing is decoded.
    while (raisingOutOfMemory(av_read_frame(format.get(), packet.get())) >= 0) {
        if (packet->stream_index == video->index) {
            notePalette(*packet);
            packets.push_back(scanned(*packet));
        }
        av_packet_unref(packet.get());
    }
    if (packets.empty()) {
        fail("its video track holds no samples");
    }
    locator.emplace(packets);
}

bool MovieReader::DecodeState::firstPictureShowsFirst() {
    std::int64_t first = std::numeric_limits<std::int64_t>::max();
    for (const ScannedPacket& scannedPacket : packets) {
        first = scannedPacket.discard ? first : std::min(first, scannedPacket.pts);
    }
    if (!reopen()) {
        fail("it cannot be opened a second time");
    }
    std::optional<std::int64_t> shown;
    while (!shown) {
        const int result = raisingOutOfMemory(avcodec_receive_frame(decoder.get(), received.get()));
        if (result == AVERROR_EOF || (result < 0 && !feedDecoder())) {
            break;
        }
        if (result >= 0) {
            shown = presentationTime(*received);
            av_frame_unref(received.get());
        }
    }
    avcodec_flush_buffers(decoder.get());
    av_packet_unref(packet.get());
    packetPending = false;
    draining = false;
    lostCount = false;
    return shown == first;
}

void MovieReader::DecodeState::learnOutputOrder() {
    // The container's times cannot tell the pictures apart: one decode from the start tells
    // which packet each picture comes from, in the order the pictures come out.
    if (!reopen()) {
        fail("it cannot be opened a second time");
    }
    numberingPackets = true;
    std::vector<std::ptrdiff_t> packetOfPicture;
    for (;;) {
        const int result = raisingOutOfMemory(avcodec_receive_frame(decoder.get(), received.get()));
        if (result == AVERROR_EOF) {
            break;
        }
        if (result < 0) {
            if (!feedDecoder()) {
                break;
            }
            continue;
        }
        const std::int64_t number = received->pts;
        packetOfPicture.push_back(number >= 0 && static_cast<std::uint64_t>(number) < packets.size()
                                      ? static_cast<std::ptrdiff_t>(number)
                                      : -1);
        av_frame_unref(received.get());
    }
    numberingPackets = false;
    if (lostCount) {
        fail("its demuxer gives other packets on a second reading");
    }
    order = outputOrder(packetOfPicture, packets);
    if (!order) {
        fail("its decoder gives out pictures that cannot be told apart by the packets they come from");
    }
    if (order->frameCount == 0) {
        fail("its video track holds no pictures that decode");
    }
    // The times the frames show: the times the container gives for the pictures' packets, in
    // increasing order (decode times where it gives no presentation times).
    std::vector<std::int64_t> shown;
    for (std::size_t i = 0; i < packets.size(); ++i) {
        if (order->frameOfPacket[i] >= 0) {
            shown.push_back(packets[i].pts != unknownTime ? packets[i].pts : packets[i].dts);
        }
    }
    std::sort(shown.begin(), shown.end());
    for (std::size_t frame = 0; frame < order->frameCount; ++frame) {
        // A picture with no time at all takes the one after the last.
        const std::int64_t time =
            shown[frame] != unknownTime ? shown[frame] : (frame > 0 ? samples.back().shown + 1 : 0);
        samples.push_back({static_cast<std::int64_t>(frame), time, 0});
    }
    for (const SeekPoint& point : order->seekPoints) {
        keyFrames.push_back({static_cast<std::int64_t>(point.frame), static_cast<std::ptrdiff_t>(point.packet)});
    }
    draining = false;
    position.reset();
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

    // Movie times of the samples. Every sample keeps a time of its own, so that each one
    // is a frame the host can ask for: one that would share a tick of the movie's time
    // scale with the sample before it (a shared presentation time, or samples closer than
    // a tick) comes one tick later.
    // A sample past the last time a movie can name is no frame the host could ask for, and
    // neither is any after it.
    for (std::size_t i = 0; i < samples.size(); ++i) {
        std::int64_t time = av_rescale_q(samples[i].shown, video->time_base, AVRational{1, timeScale});
        if (i > 0) {
            time = std::max<std::int64_t>(time, std::int64_t{samples[i - 1].time} + 1);
        }
        if (i > 0 && time > std::numeric_limits<TimeValue>::max()) {
            samples.resize(i);
            break;
        }
        samples[i].time = static_cast<TimeValue>(std::clamp<std::int64_t>(time, std::numeric_limits<TimeValue>::min(),
                                                                          std::numeric_limits<TimeValue>::max()));
    }
    sampleTimes.reserve(samples.size());
    for (const Sample& sample : samples) {
        sampleTimes.push_back(sample.time);
    }
    if (movieDuration == 0 && samples.size() > 1) {
        // No duration in the header (a fragmented file's is 0): the frame table's own, its span
        // and one frame of the average length after the last.
        const auto span = static_cast<std::uint64_t>(std::int64_t{sampleTimes.back()} - sampleTimes.front());
        movieDuration = span * samples.size() / (samples.size() - 1);
    }
    duration = static_cast<TimeValue>(std::min<std::uint64_t>(movieDuration, std::numeric_limits<TimeValue>::max()));
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

std::size_t MovieReader::DecodeState::keyFrameFor(std::size_t index) const {
    const std::int64_t pts = samples[index].pts;
    const auto after = std::upper_bound(keyFrames.begin(), keyFrames.end(), pts,
                                        [](std::int64_t value, const KeyFrame& key) { return value < key.pts; });
    return after == keyFrames.begin() ? 0 : static_cast<std::size_t>(after - keyFrames.begin() - 1);
}

std::size_t MovieReader::DecodeState::sampleOfKeyFrame(std::size_t key) const {
    const auto at = std::lower_bound(samples.begin(), samples.end(), keyFrames[key].pts,
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
    // Last, a decode from the very start, as the first pass met the packets.
    for (const std::size_t keysBack : {std::size_t{0}, std::size_t{1}, fromTheStart}) {
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
    std::size_t key = keyFrameFor(index);
    key = key > keysBack ? key - keysBack : 0;
    const std::size_t keySample = sampleOfKeyFrame(key);
    position.reset();
    av_packet_unref(packet.get());
    packetPending = false;
    lostCount = false;
    const bool landed = keyFrames[key].packet >= 0
                            ? seekToPacket(static_cast<std::size_t>(keyFrames[key].packet), keysBack == fromTheStart)
                            : seekByTime(keySample);
    if (!landed) {
        return false;
    }
    avcodec_flush_buffers(decoder.get());
    draining = false;
    position = static_cast<std::ptrdiff_t>(keySample) - 1;
    decodedFrom = keySample;
    return true;
}

bool MovieReader::DecodeState::seekByTime(std::size_t keySample) {
    const std::int64_t pts = samples[keySample].pts;
    // The demuxer finds the key frame by its presentation time; seeking to an earlier time
    // (its decode time, with B-frames) would land a whole group of pictures early. A key
    // frame that shares its time with another sample is found from just before that time,
    // going forwards, at the first of them.
    const bool shared = (keySample + 1 < samples.size() && samples[keySample + 1].pts == pts);
    const int seeked = shared ? av_seek_frame(format.get(), video->index, pts - 1, 0)
                              : av_seek_frame(format.get(), video->index, pts, AVSEEK_FLAG_BACKWARD);
    return seeked >= 0;
}

bool MovieReader::DecodeState::seekToPacket(std::size_t target, bool fromStart) {
    // Demuxers seek by time with differing precision (a transport stream by the decode times
    // it finds near a guessed byte, Matroska by cue points): seek to the key packet's decode
    // time or before, see which packet comes, and skip to the key packet. One that lands
    // after it, or cannot be told, seeks from an earlier key; the last resort is the start.
    firstPacketToDecode = target;
    std::size_t tries = fromStart ? 3 : 0;
    for (auto key = keyFrames.rbegin(); key != keyFrames.rend() && tries < 3; ++key) {
        if (key->packet < 0 || static_cast<std::size_t>(key->packet) > target) {
            continue;
        }
        ++tries;
        const ScannedPacket& from = packets[static_cast<std::size_t>(key->packet)];
        const std::int64_t time = from.dts != unknownTime ? from.dts : from.pts;
        if (time == unknownTime || av_seek_frame(format.get(), video->index, time, AVSEEK_FLAG_BACKWARD) < 0) {
            continue;
        }
        // The first packets after a seek may be the tail of a picture the parser met halfway.
        for (int met = 0; met < 4 && raisingOutOfMemory(av_read_frame(format.get(), packet.get())) >= 0; ++met) {
            const auto landed = locator->find(scanned(*packet));
            if (landed && *landed <= target) {
                nextPacket = *landed;
                packetPending = admitPacket();
                return true;
            }
            av_packet_unref(packet.get());
            if (landed) {
                break;
            }
        }
    }
    return reopen();
}

bool MovieReader::DecodeState::admitPacket() {
    // Numbers the packet where the packets are counted, skips those before the key packet a
    // seek was for, and gives the decoder what tells its picture apart.
    if (nextPacket) {
        const std::size_t number = (*nextPacket)++;
        if (number >= packets.size() ||
            packets[number].digest != packetDigest(packet->data, static_cast<std::size_t>(packet->size))) {
            lostCount = true;
            av_packet_unref(packet.get());
            return false;
        }
        if (number < firstPacketToDecode) {
            av_packet_unref(packet.get());
            return false;
        }
        if (numberingPackets) {
            packet->pts = static_cast<std::int64_t>(number);
        } else if (order) {
            // A packet whose picture a decode from the start never gives out is given a number
            // no frame has, and its picture, if one comes after a seek, is not taken.
            packet->pts = number < order->frameOfPacket.size() && order->frameOfPacket[number] >= 0
                              ? order->frameOfPacket[number]
                              : -1;
        }
    }
    if (palette && av_packet_get_side_data(packet.get(), AV_PKT_DATA_PALETTE, nullptr) == nullptr) {
        std::uint8_t* data = av_packet_new_side_data(packet.get(), AV_PKT_DATA_PALETTE, AVPALETTE_SIZE);
        if (data == nullptr) {
            throw std::bad_alloc();
        }
        std::memcpy(data, palette->data(), AVPALETTE_SIZE);
    }
    return true;
}

bool MovieReader::DecodeState::feedDecoder() {
    if (draining) {
        return false;
    }
    while (!packetPending) {
        if (lostCount || av_read_frame(format.get(), packet.get()) < 0) {
            // End of file, a damaged one, or a packet other than the one counted on: let the
            // decoder give out what it holds.
            draining = true;
            avcodec_send_packet(decoder.get(), nullptr);
            return true;
        }
        if (packet->stream_index != video->index) {
            av_packet_unref(packet.get());
            continue;
        }
        packetPending = admitPacket();
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
        // Where the frames go by output order, the decoder hands back the frame number each
        // packet was given; a picture without one is no frame.
        const std::int64_t key = order ? into->pts : presentationTime(*into);
        if (const auto sample = sampleOfPts(key); sample && *sample >= decodedFrom) {
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
    const __int128 numerator = static_cast<__int128>(2 * sample.shown + 1) * base.num * e.timecodeDefinition->timeScale;
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
