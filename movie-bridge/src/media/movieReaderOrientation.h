// SPDX-License-Identifier: Apache-2.0
#pragma once
// How a track's display matrix turns its coded pictures upright, in the steps a player (and
// the ffmpeg command) takes: a quarter turn either way, with or without a mirror, or mirrors
// alone. Angles other than quarter turns are shown unturned.

#include <cstddef>
#include <cstdint>

namespace bridge::media {

struct Orientation {
    // Upright pixel (x, y) shows coded pixel (xx·x + xy·y + x0, yx·x + yy·y + y0).
    int xx = 1, xy = 0, x0 = 0;
    int yx = 0, yy = 1, y0 = 0;

    bool isIdentity() const { return xx == 1 && xy == 0 && yx == 0 && yy == 1; }
    // A quarter turn: the upright picture is as wide as the coded one is high.
    bool swapsSides() const { return xx == 0; }
};

// The orientation of a coded picture of width × height under a display matrix (nine 16.16
// and 2.30 fixed-point numbers as FFmpeg keeps them), or upright when there is none.
Orientation orientationOf(const std::int32_t* displayMatrix, int codedWidth, int codedHeight);

// Copies a coded top-down BGRA picture into an upright one, bottom row first, rows
// rowStride bytes apart.
void copyUprightBottomUp(const Orientation& orientation, const std::uint8_t* coded, std::size_t codedStride,
                         int codedWidth, int codedHeight, std::uint8_t* upright, std::size_t rowStride);

} // namespace bridge::media
