// SPDX-License-Identifier: Apache-2.0
#pragma once
// The box (atom) structure of QuickTime and MPEG-4 files, and their big-endian fields: one
// reader for every place that looks inside a movie file beside FFmpeg.

#include <cstdint>
#include <optional>
#include <vector>

namespace bridge::media {

constexpr std::uint32_t fourcc(const char (&type)[5]) {
    return std::uint32_t(std::uint8_t(type[0])) << 24 | std::uint32_t(std::uint8_t(type[1])) << 16 |
           std::uint32_t(std::uint8_t(type[2])) << 8 | std::uint8_t(type[3]);
}

inline std::uint32_t readBig32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

inline std::uint64_t readBig64(const std::uint8_t* p) {
    return std::uint64_t(readBig32(p)) << 32 | readBig32(p + 4);
}

inline void writeBig32(std::uint8_t* p, std::uint32_t value) {
    p[0] = std::uint8_t(value >> 24);
    p[1] = std::uint8_t(value >> 16);
    p[2] = std::uint8_t(value >> 8);
    p[3] = std::uint8_t(value);
}

// A box at offset, size bytes long including its header of 8 bytes (16 with a 64-bit size).
struct Box {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint32_t type = 0;
    std::uint32_t headerSize = 8;

    std::uint64_t bodyStart() const { return offset + headerSize; }
    std::uint64_t end() const { return offset + size; }
};

// The most header bytes parseBoxHeader needs.
constexpr std::size_t largestBoxHeader = 16;

// The box whose header starts at offset, given the available header bytes there (at least
// 8, 16 for a 64-bit size) and the end of the range it must lie in. A size of 0 means "to
// the end of the range". nullopt when the header is cut short or the size does not fit.
std::optional<Box> parseBoxHeader(const std::uint8_t* header, std::size_t available, std::uint64_t offset,
                                  std::uint64_t limit);

// The boxes lying one after another in bytes [begin, end) of data; nullopt when one does
// not fit.
std::optional<std::vector<Box>> boxesIn(const std::uint8_t* data, std::uint64_t begin, std::uint64_t end);

} // namespace bridge::media
