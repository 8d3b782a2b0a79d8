// SPDX-License-Identifier: Apache-2.0
#pragma once
// Which decoded picture is which frame. Where the container's presentation times tell every
// picture apart and say in which order they show, the frames are those times in order.
// Where they do not (no times at all, decode times only, or times that several pictures
// share), the frames are the pictures in the order a decode from the start gives them out,
// and each picture is known by the packet it was decoded from.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <unordered_map>
#include <vector>

namespace bridge::media {

// A time or byte position the demuxer did not give (FFmpeg's AV_NOPTS_VALUE).
constexpr std::int64_t unknownTime = std::numeric_limits<std::int64_t>::min();

// A video packet as one pass over the file meets it, in decode order.
struct ScannedPacket {
    std::int64_t pts = unknownTime;
    std::int64_t dts = unknownTime;
    std::int64_t position = -1;
    // A digest of the packet's bytes: what identifies it when the demuxer meets it again
    // after a seek (a stream demuxer's parser may hand out other bytes under the same times).
    std::uint64_t digest = 0;
    bool key = false;
    // Marked by the demuxer as not to be shown (cut by an edit list).
    bool discard = false;
};

// True when every packet to be shown has a presentation time of its own and, for a decoder that holds
// pictures back to reorder them, the times do reorder (times that only rise in decode order
// are decode times in disguise).
bool presentationTimesTellFramesApart(const std::vector<ScannedPacket>& packets, bool decoderReorders);

// A place decoding can start from: a key packet, and the first frame it gives.
struct SeekPoint {
    std::size_t frame;
    std::size_t packet;
};

// Frames by decode output order.
struct OutputOrder {
    // The frame each packet's picture is, or -1 for a packet that gives no picture.
    std::vector<std::ptrdiff_t> frameOfPacket;
    // Where decoding can start, in increasing order of frame: the start of the stream, and
    // the key packets whose frame comes after the frames of every packet before them.
    std::vector<SeekPoint> seekPoints;
    std::size_t frameCount = 0;
};

// The order from a full decode: the packet each picture came from, in output order. Empty
// when a picture names no packet, or two pictures the same one, so that pictures could not be
// told apart after a seek.
std::optional<OutputOrder> outputOrder(const std::vector<std::ptrdiff_t>& packetOfPicture,
                                       const std::vector<ScannedPacket>& packets);

std::uint64_t packetDigest(const std::uint8_t* data, std::size_t size);

// Finds a packet the demuxer delivers after a seek among the packets of the first pass, by
// its digest when no other packet has the same bytes, else by its byte position or decode
// time where the bytes agree.
class PacketLocator {
public:
    explicit PacketLocator(const std::vector<ScannedPacket>& packets);
    std::optional<std::size_t> find(const ScannedPacket& met) const;

private:
    const std::vector<ScannedPacket>& _packets;
    std::unordered_map<std::uint64_t, std::ptrdiff_t> _byDigest;
    std::unordered_map<std::int64_t, std::ptrdiff_t> _byPosition;
    std::unordered_map<std::int64_t, std::ptrdiff_t> _byDts;
};

} // namespace bridge::media
