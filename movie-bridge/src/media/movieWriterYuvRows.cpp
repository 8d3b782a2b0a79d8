// SPDX-License-Identifier: Apache-2.0
#include "movieWriterYuvRows.h"

namespace bridge::media {

namespace {

// BT.601 in 16 fractional bits. Each row of the chroma matrix sums to 0 and the luma row
// to the range's span, so that grey stays neutral and white reaches the top code exactly.
struct Matrix {
    int yr, yg, yb, yOffset;
    int ur, ug, ub;
    int vr, vg, vb;
};
constexpr Matrix fullRange{19595, 38470, 7471, 0, -11059, -21709, 32768, 32768, -27439, -5329};
// The same scaled by 219/255 (luma) and 224/255 (chroma).
constexpr Matrix videoRange{16829, 33039, 6416, 16, -9714, -19070, 28784, 28784, -24103, -4681};

// The loops below are written for the compiler to vectorize: fixed pixel size, no aliasing.
template <int Bpp>
void lumaRow(const std::uint8_t* __restrict from, std::uint8_t* __restrict to, int width, const Matrix& m) {
    const int offset = (m.yOffset << 16) + (1 << 15);
    for (int x = 0; x < width; ++x) {
        const int r = from[Bpp * x];
        const int g = from[Bpp * x + 1];
        const int b = from[Bpp * x + 2];
        to[x] = std::uint8_t((m.yr * r + m.yg * g + m.yb * b + offset) >> 16);
    }
}

// Chroma from four pixels' sums of red, green and blue. Halves round down: full-range pure
// blue or red comes to 255.5, which must not wrap to 0.
inline void chromaOfSums(int r, int g, int b, const Matrix& m, std::uint8_t& u, std::uint8_t& v) {
    constexpr int offset = (128 << 18) + (1 << 17) - 1;
    u = std::uint8_t((m.ur * r + m.ug * g + m.ub * b + offset) >> 18);
    v = std::uint8_t((m.vr * r + m.vg * g + m.vb * b + offset) >> 18);
}

// One chroma row from two pixel rows (the same row twice when chroma is not halved down);
// Step is 2 when two pixels across share a sample. An odd last pixel is counted twice.
template <int Bpp, int Step>
void chromaRow(const std::uint8_t* __restrict upper, const std::uint8_t* __restrict lower, std::uint8_t* __restrict u,
               std::uint8_t* __restrict v, int width, const Matrix& m) {
    constexpr int next = (Step - 1) * Bpp;
    const int whole = width / Step;
    for (int x = 0; x < whole; ++x) {
        const int i = Step * Bpp * x;
        const int r = upper[i] + upper[i + next] + lower[i] + lower[i + next];
        const int g = upper[i + 1] + upper[i + next + 1] + lower[i + 1] + lower[i + next + 1];
        const int b = upper[i + 2] + upper[i + next + 2] + lower[i + 2] + lower[i + next + 2];
        chromaOfSums(r, g, b, m, u[x], v[x]);
    }
    if (whole * Step < width) {
        const int i = Step * Bpp * whole;
        chromaOfSums(2 * (upper[i] + lower[i]), 2 * (upper[i + 1] + lower[i + 1]), 2 * (upper[i + 2] + lower[i + 2]), m,
                     u[whole], v[whole]);
    }
}

template <int Bpp, int Step>
void convertRows(const std::uint8_t* pixels, int width, int height, const YuvRowsLayout& layout,
                 const YuvPlanes& planes) {
    const Matrix& m = layout.fullRange ? fullRange : videoRange;
    const std::ptrdiff_t rowBytes = std::ptrdiff_t(width) * Bpp;
    const std::uint8_t* topRow = pixels + (height - 1) * rowBytes;
    const int rowsPerChroma = 1 << layout.chromaShiftY;
    for (int y = 0; y < height; y += rowsPerChroma) {
        const std::uint8_t* upper = topRow - y * rowBytes;
        const std::uint8_t* lower = upper;
        lumaRow<Bpp>(upper, planes.data[0] + y * planes.stride[0], width, m);
        if (rowsPerChroma == 2 && y + 1 < height) {
            lower = upper - rowBytes;
            lumaRow<Bpp>(lower, planes.data[0] + (y + 1) * planes.stride[0], width, m);
        }
        const int chromaY = y >> layout.chromaShiftY;
        chromaRow<Bpp, Step>(upper, lower, planes.data[1] + chromaY * planes.stride[1],
                             planes.data[2] + chromaY * planes.stride[2], width, m);
    }
}

template <int Bpp>
void convertPixels(const std::uint8_t* pixels, int width, int height, const YuvRowsLayout& layout,
                   const YuvPlanes& planes) {
    if (layout.chromaShiftX) {
        convertRows<Bpp, 2>(pixels, width, height, layout, planes);
    } else {
        convertRows<Bpp, 1>(pixels, width, height, layout, planes);
    }
}

} // namespace

void convertBottomUpRgbToYuv(const std::uint8_t* pixels, int width, int height, int bytesPerPixel,
                             const YuvRowsLayout& layout, const YuvPlanes& planes) {
    if (bytesPerPixel == 4) {
        convertPixels<4>(pixels, width, height, layout, planes);
    } else {
        convertPixels<3>(pixels, width, height, layout, planes);
    }
}

} // namespace bridge::media
