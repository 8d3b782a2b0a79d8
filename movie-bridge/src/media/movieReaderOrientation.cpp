// SPDX-License-Identifier: Apache-2.0
#include "movieReaderOrientation.h"

#include <cmath>
#include <cstring>

extern "C" {
#include <libavutil/display.h>
}

namespace bridge::media {

namespace {

// A quarter turn clockwise, anticlockwise, and both with a mirror along a diagonal; the
// names of the ffmpeg command's transpose filter.
Orientation clockwise(int, int h) {
    return {0, 1, 0, -1, 0, h - 1};
}
Orientation anticlockwise(int w, int) {
    return {0, -1, w - 1, 1, 0, 0};
}
Orientation anticlockwiseFlipped(int, int) {
    return {0, 1, 0, 1, 0, 0};
}
Orientation clockwiseFlipped(int w, int h) {
    return {0, -1, w - 1, -1, 0, h - 1};
}

} // namespace

Orientation orientationOf(const std::int32_t* m, int w, int h) {
    if (m == nullptr) {
        return {};
    }
    // The clockwise angle a player turns the picture by, in [0, 360).
    double theta = -std::round(av_display_rotation_get(m));
    theta -= 360 * std::floor(theta / 360 + 0.9 / 360);
    if (std::fabs(theta - 90) < 1) {
        return m[3] > 0 ? anticlockwiseFlipped(w, h) : clockwise(w, h);
    }
    if (std::fabs(theta - 270) < 1) {
        return m[3] < 0 ? clockwiseFlipped(w, h) : anticlockwise(w, h);
    }
    Orientation o;
    const bool upsideDown = std::fabs(theta - 180) < 1;
    if (upsideDown && m[0] < 0) {
        o.xx = -1;
        o.x0 = w - 1;
    }
    if ((upsideDown || std::fabs(theta) < 1) && m[4] < 0) {
        o.yy = -1;
        o.y0 = h - 1;
    }
    return o;
}

void copyUprightBottomUp(const Orientation& o, const std::uint8_t* coded, std::size_t codedStride, int codedWidth,
                         int codedHeight, std::uint8_t* upright, std::size_t rowStride) {
    const int width = o.swapsSides() ? codedHeight : codedWidth;
    const int height = o.swapsSides() ? codedWidth : codedHeight;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = upright + rowStride * static_cast<std::size_t>(height - 1 - y);
        if (o.xx == 1 && o.yx == 0) {
            // Rows stay rows: one copy each.
            std::memcpy(row, coded + codedStride * static_cast<std::size_t>(o.yy * y + o.y0),
                        static_cast<std::size_t>(width) * 4);
            continue;
        }
        for (int x = 0; x < width; ++x) {
            const int cx = o.xx * x + o.xy * y + o.x0;
            const int cy = o.yx * x + o.yy * y + o.y0;
            std::memcpy(row + static_cast<std::size_t>(x) * 4,
                        coded + codedStride * cy + static_cast<std::size_t>(cx) * 4, 4);
        }
    }
}

} // namespace bridge::media
