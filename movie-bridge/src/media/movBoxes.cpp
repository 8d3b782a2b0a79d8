// SPDX-License-Identifier: Apache-2.0
#include "movBoxes.h"

#include <algorithm>

namespace bridge::media {

std::optional<Box> parseBoxHeader(const std::uint8_t* header, std::size_t available, std::uint64_t offset,
                                  std::uint64_t limit) {
    if (available < 8 || offset >= limit) {
        return std::nullopt;
    }
    Box box{offset, readBig32(header), readBig32(header + 4), 8};
    if (box.size == 1) {
        if (available < 16) {
            return std::nullopt;
        }
        box.size = readBig64(header + 8);
        box.headerSize = 16;
    } else if (box.size == 0) {
        box.size = limit - offset;
    }
    if (box.size < box.headerSize || box.size > limit - offset) {
        return std::nullopt;
    }
    return box;
}

std::optional<std::vector<Box>> boxesIn(const std::uint8_t* data, std::uint64_t begin, std::uint64_t end) {
    std::vector<Box> boxes;
    for (std::uint64_t at = begin; at < end;) {
        const auto box =
            parseBoxHeader(data + at, static_cast<std::size_t>(std::min<std::uint64_t>(end - at, 16)), at, end);
        if (!box) {
            return std::nullopt;
        }
        boxes.push_back(*box);
        at = box->end();
    }
    return boxes;
}

} // namespace bridge::media
