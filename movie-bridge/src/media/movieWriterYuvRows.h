// SPDX-License-Identifier: Apache-2.0
#pragma once
// The section's frame (RGB or RGBA, bottom row first) straight into planar Y'CbCr, BT.601
// as libswscale assumes: 8-bit video or full range, or deeper video range (10-bit for
// ProRes and DNxHR), chroma at 4:4:4, 4:2:2, 4:4:0 or 4:2:0. Most encoders take one of
// these layouts, and this one pass costs a sixth of libswscale's general path (a quarter
// without AVX2), which a fast encoder such as mjpeg would otherwise wait on.
//
// A chroma sample is the mean of the pixels it covers (at a right or bottom edge of odd
// size, of those there are), as libjpeg subsamples; libswscale weighs rows bicubically
// instead, so on busy pictures the two differ by a few levels of chroma. Alpha is dropped.

#include <cstddef>
#include <cstdint>

namespace bridge::media {

struct YuvRowsLayout {
    // 1 where two pixels share a chroma sample across (4:2:x) or down (4:2:0, 4:4:0).
    int chromaShiftX = 0;
    int chromaShiftY = 0;
    // Full range only at 8 bits, the one depth FFmpeg gives full-range formats.
    bool fullRange = false;
    // 8 to 16; deeper samples take two bytes each, in the machine's order.
    int bitDepth = 8;
};

struct YuvPlanes {
    std::uint8_t* data[3];
    std::ptrdiff_t stride[3];
};

// width × height pixels of bytesPerPixel (3 or 4) each, rows packed, the bottom row first.
void convertBottomUpRgbToYuv(const std::uint8_t* pixels, int width, int height, int bytesPerPixel,
                             const YuvRowsLayout& layout, const YuvPlanes& planes);

} // namespace bridge::media
