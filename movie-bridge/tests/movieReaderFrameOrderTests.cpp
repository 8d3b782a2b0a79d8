// SPDX-License-Identifier: Apache-2.0
// Which decoded picture is which frame: when the container's times can be trusted, and where
// decoding by output order can start, for the packet patterns of real streams.

#include "media/movieReaderFrameOrder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace bridge::media;

namespace {

constexpr std::int64_t none = unknownTime;

// Packets in decode order from their presentation times; keys marked by 'k' in the pattern.
std::vector<ScannedPacket> packetsOf(const std::vector<std::int64_t>& pts, const std::string& keys = "k") {
    std::vector<ScannedPacket> packets;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        packets.push_back({pts[i], static_cast<std::int64_t>(i), static_cast<std::int64_t>(i) * 100,
                           static_cast<std::uint64_t>(i + 1), i < keys.size() && keys[i] == 'k', false});
    }
    return packets;
}

TEST(MovieReaderFrameOrder, PresentationTimesAreTrustedOnlyWhenTheyTellEveryFrameApart) {
    const struct {
        const char* what;
        std::vector<std::int64_t> pts;
        bool decoderReorders;
        bool trusted;
    } rows[] = {
        {"intra frames in order", {0, 1, 2, 3}, false, true},
        {"B-frames with their times", {0, 3, 1, 2, 6, 4, 5}, true, true},
        {"a time missing (AVI, program stream)", {0, none, 1, 2}, true, false},
        {"two frames at one time", {0, 2, 1, 1}, true, false},
        {"decode times under a decoder that reorders", {0, 1, 2, 3, 4}, true, false},
        {"a single frame under a decoder that reorders", {7}, true, true},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(presentationTimesTellFramesApart(packetsOf(row.pts), row.decoderReorders), row.trusted) << row.what;
    }
    auto cut = packetsOf({0, 1, 1, 2});
    cut[2].discard = true;
    EXPECT_TRUE(presentationTimesTellFramesApart(cut, false)) << "a time shared with a packet cut by an edit list";
}

TEST(MovieReaderFrameOrder, DecodingStartsOnlyWhereNoEarlierPacketShowsLater) {
    const struct {
        const char* what;
        std::string keys;
        std::vector<std::ptrdiff_t> packetOfPicture; // what a decode from the start gives out
        std::vector<std::ptrdiff_t> frameOfPacket;
        std::vector<SeekPoint> seekPoints;
    } rows[] = {
        {"closed groups: I P B B | I P B B",
         "k___k___",
         {0, 2, 3, 1, 4, 6, 7, 5},
         {0, 3, 1, 2, 4, 7, 5, 6},
         {{0, 0}, {4, 4}}},
        // The B-frames after the second I show before it and need the group before: decoding
        // from that I gives its frame (6), the two before come from the start.
        {"open group: I P B B | I B B P B B",
         "k___k_____",
         {0, 2, 3, 1, 5, 6, 4, 8, 9, 7},
         {0, 3, 1, 2, 6, 4, 5, 9, 7, 8},
         {{0, 0}, {6, 4}}},
        // A cut stream: the packets before the first key frame give no picture.
        {"cut before a key frame", "__k_", {2, 3}, {-1, -1, 0, 1}, {{0, 2}}},
        // A key picture that a packet before it shows after: no start there.
        {"key frame shown before an earlier packet", "k_k_", {0, 2, 1, 3}, {0, 2, 1, 3}, {{0, 0}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::vector<std::int64_t> pts(row.keys.size(), none);
        const auto order = outputOrder(row.packetOfPicture, packetsOf(pts, row.keys));
        ASSERT_TRUE(order);
        EXPECT_EQ(order->frameCount, row.packetOfPicture.size());
        EXPECT_EQ(order->frameOfPacket, row.frameOfPacket);
        ASSERT_EQ(order->seekPoints.size(), row.seekPoints.size());
        for (std::size_t i = 0; i < row.seekPoints.size(); ++i) {
            EXPECT_EQ(order->seekPoints[i].frame, row.seekPoints[i].frame) << "seek point " << i;
            EXPECT_EQ(order->seekPoints[i].packet, row.seekPoints[i].packet) << "seek point " << i;
        }
    }
    // Pictures that cannot be told apart by their packets give no order.
    const auto packets = packetsOf({none, none, none}, "k__");
    EXPECT_FALSE(outputOrder({0, 1, 1}, packets)) << "two pictures from one packet";
    EXPECT_FALSE(outputOrder({0, -1, 2}, packets)) << "a picture from no packet";
    EXPECT_FALSE(outputOrder({0, 3}, packets)) << "a picture from a packet the file does not hold";
}

TEST(MovieReaderFrameOrder, APacketMetAfterASeekIsKnownByItsBytesFirst) {
    auto packets = packetsOf({0, 1, 2, 3});
    packets[3].digest = packets[1].digest; // the same bytes twice: the digest cannot tell them
    const PacketLocator locator(packets);
    const auto met = [](std::int64_t position, std::int64_t dts, std::uint64_t digest) {
        ScannedPacket packet;
        packet.position = position;
        packet.dts = dts;
        packet.digest = digest;
        return packet;
    };
    EXPECT_EQ(locator.find(met(-1, none, packets[2].digest)), 2u) << "no position, no time";
    EXPECT_EQ(locator.find(met(300, 3, packets[3].digest)), 3u) << "repeated bytes, told by position";
    EXPECT_EQ(locator.find(met(-1, 1, packets[1].digest)), 1u) << "repeated bytes, told by decode time";
    // The parser's first packet after a seek: the times of one packet, the bytes of none.
    EXPECT_FALSE(locator.find(met(200, 2, 999)));
}

} // namespace
