// SPDX-License-Identifier: Apache-2.0
// The one box reader every look inside a movie file uses.

#include "media/movBoxes.h"

#include <gtest/gtest.h>

namespace bridge::media {
namespace {

std::vector<std::uint8_t> box(std::uint32_t size, const char (&type)[5], std::size_t bodyBytes) {
    std::vector<std::uint8_t> bytes(8 + bodyBytes, 0xAB);
    writeBig32(bytes.data(), size);
    writeBig32(bytes.data() + 4, fourcc(type));
    return bytes;
}

TEST(MovBoxes, ReadsEveryHeaderFormAndRefusesSizesThatDoNotFit) {
    const struct {
        const char* what;
        std::vector<std::uint8_t> bytes;
        std::uint64_t limit;
        std::optional<std::uint64_t> size;
        std::uint32_t headerSize;
    } cases[] = {
        {"plain", box(12, "free", 4), 12, 12, 8},
        {"size 0 runs to the limit", box(0, "mdat", 20), 28, 28, 8},
        {"past the limit", box(40, "moov", 4), 12, std::nullopt, 8},
        {"smaller than its header", box(7, "moov", 4), 12, std::nullopt, 8},
        {"cut short", std::vector<std::uint8_t>{0, 0, 0}, 12, std::nullopt, 8},
        {"64-bit size",
         [] {
             auto bytes = box(1, "mdat", 16);
             writeBig32(bytes.data() + 8, 0);
             writeBig32(bytes.data() + 12, 24);
             return bytes;
         }(),
         24, 24, 16},
        {"64-bit size without its 8 bytes", box(1, "mdat", 4), 12, std::nullopt, 16},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto parsed =
            parseBoxHeader(c.bytes.data(), std::min<std::size_t>(c.bytes.size(), largestBoxHeader), 0, c.limit);
        ASSERT_EQ(parsed.has_value(), c.size.has_value());
        if (parsed) {
            EXPECT_EQ(parsed->size, *c.size);
            EXPECT_EQ(parsed->headerSize, c.headerSize);
            EXPECT_EQ(parsed->bodyStart(), c.headerSize);
        }
    }
}

TEST(MovBoxes, ListsBoxesInARangeOnlyWhenEveryOneFits) {
    std::vector<std::uint8_t> bytes = box(12, "ftyp", 4);
    const auto moov = box(16, "moov", 8);
    bytes.insert(bytes.end(), moov.begin(), moov.end());
    const auto boxes = boxesIn(bytes.data(), 0, bytes.size());
    ASSERT_TRUE(boxes.has_value());
    ASSERT_EQ(boxes->size(), 2u);
    EXPECT_EQ((*boxes)[1].type, fourcc("moov"));
    EXPECT_EQ((*boxes)[1].offset, 12u);
    EXPECT_EQ((*boxes)[1].end(), 28u);
    EXPECT_FALSE(boxesIn(bytes.data(), 0, bytes.size() - 1).has_value());
    EXPECT_EQ(readBig64(std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}.data()), 0x0102030405060708u);
}

} // namespace
} // namespace bridge::media
