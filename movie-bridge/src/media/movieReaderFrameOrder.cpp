// SPDX-License-Identifier: Apache-2.0
#include "movieReaderFrameOrder.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <unordered_set>

namespace bridge::media {

bool presentationTimesTellFramesApart(const std::vector<ScannedPacket>& packets, bool decoderReorders) {
    std::unordered_set<std::int64_t> seen;
    bool reordered = false;
    std::int64_t previous = unknownTime;
    for (const ScannedPacket& packet : packets) {
        if (packet.discard) {
            continue;
        }
        if (packet.pts == unknownTime || !seen.insert(packet.pts).second) {
            return false;
        }
        reordered = reordered || (previous != unknownTime && packet.pts < previous);
        previous = packet.pts;
    }
    return reordered || !decoderReorders || seen.size() < 2;
}

std::optional<OutputOrder> outputOrder(const std::vector<std::ptrdiff_t>& packetOfPicture,
                                       const std::vector<ScannedPacket>& packets) {
    OutputOrder order;
    order.frameOfPacket.assign(packets.size(), -1);
    order.frameCount = packetOfPicture.size();
    for (std::size_t frame = 0; frame < packetOfPicture.size(); ++frame) {
        const std::ptrdiff_t packet = packetOfPicture[frame];
        if (packet < 0 || static_cast<std::size_t>(packet) >= packets.size() || order.frameOfPacket[packet] >= 0) {
            return std::nullopt;
        }
        order.frameOfPacket[packet] = static_cast<std::ptrdiff_t>(frame);
    }
    // A key packet is a seek point when every packet before it gives an earlier frame than its
    // own: decoding from it then gives its frame and every later one (leading pictures that
    // show before it come from the seek point before). The start of the stream always is one.
    order.seekPoints.push_back({0, 0});
    std::ptrdiff_t latest = -1; // the latest frame of the packets before this one
    for (std::size_t packet = 0; packet < packets.size(); ++packet) {
        const std::ptrdiff_t frame = order.frameOfPacket[packet];
        if (packets[packet].key && frame > latest) {
            if (order.seekPoints.back().frame == static_cast<std::size_t>(frame)) {
                // A later start for the same frame lies nearer to it.
                order.seekPoints.back().packet = packet;
            } else {
                order.seekPoints.push_back({static_cast<std::size_t>(frame), packet});
            }
        }
        latest = std::max(latest, frame);
    }
    return order;
}

std::uint64_t packetDigest(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    return std::hash<std::string_view>{}(bytes) ^ (std::uint64_t{size} << 40);
}

namespace {

// A key met twice is no key: -1 marks it.
template <typename Key> void note(std::unordered_map<Key, std::ptrdiff_t>& map, Key key, std::size_t i) {
    const auto [at, inserted] = map.emplace(key, static_cast<std::ptrdiff_t>(i));
    if (!inserted) {
        at->second = -1;
    }
}

template <typename Key> std::ptrdiff_t lookUp(const std::unordered_map<Key, std::ptrdiff_t>& map, Key key) {
    const auto found = map.find(key);
    return found == map.end() ? -1 : found->second;
}

} // namespace

PacketLocator::PacketLocator(const std::vector<ScannedPacket>& packets) : _packets(packets) {
    for (std::size_t i = 0; i < packets.size(); ++i) {
        note(_byDigest, packets[i].digest, i);
        if (packets[i].position >= 0) {
            note(_byPosition, packets[i].position, i);
        }
        if (packets[i].dts != unknownTime) {
            note(_byDts, packets[i].dts, i);
        }
    }
}

std::optional<std::size_t> PacketLocator::find(const ScannedPacket& met) const {
    if (const std::ptrdiff_t i = lookUp(_byDigest, met.digest); i >= 0) {
        return static_cast<std::size_t>(i);
    }
    for (const std::ptrdiff_t i : {met.position >= 0 ? lookUp(_byPosition, met.position) : -1,
                                   met.dts != unknownTime ? lookUp(_byDts, met.dts) : -1}) {
        if (i >= 0 && _packets[static_cast<std::size_t>(i)].digest == met.digest) {
            return static_cast<std::size_t>(i);
        }
    }
    return std::nullopt;
}

} // namespace bridge::media
