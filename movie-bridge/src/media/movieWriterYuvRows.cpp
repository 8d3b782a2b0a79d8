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

// Deeper samples are the 8-bit levels scaled by a power of two, as video range defines them:
// the same sums, shifted right less.
struct Scale {
    int lumaShift;
    int lumaOffset;
    int chromaShift;
    // Halves round down: full-range pure blue or red comes to 255.5, which must not wrap.
    int chromaOffset;
};

Scale scaleFor(const Matrix& m, int bitDepth) {
    const int lumaShift = 16 - (bitDepth - 8);
    const int chromaShift = 18 - (bitDepth - 8);
    return {lumaShift, (m.yOffset << 16) + (1 << (lumaShift - 1)), chromaShift,
            (128 << 18) + (1 << (chromaShift - 1)) - 1};
}

// The loops below are written for the compiler to vectorize: fixed pixel size, no aliasing.
template <int Bpp, typename Sample>
void lumaRow(const std::uint8_t* __restrict from, Sample* __restrict to, int width, const Matrix& m, const Scale& s) {
    for (int x = 0; x < width; ++x) {
        const int r = from[Bpp * x];
        const int g = from[Bpp * x + 1];
        const int b = from[Bpp * x + 2];
        to[x] = Sample((m.yr * r + m.yg * g + m.yb * b + s.lumaOffset) >> s.lumaShift);
    }
}

// Chroma from four pixels' sums of red, green and blue.
template <typename Sample>
inline void chromaOfSums(int r, int g, int b, const Matrix& m, const Scale& s, Sample& u, Sample& v) {
    u = Sample((m.ur * r + m.ug * g + m.ub * b + s.chromaOffset) >> s.chromaShift);
    v = Sample((m.vr * r + m.vg * g + m.vb * b + s.chromaOffset) >> s.chromaShift);
}

// One chroma row from two pixel rows (the same row twice when chroma is not halved down);
// Step is 2 when two pixels across share a sample. An odd last pixel is counted twice.
template <int Bpp, int Step, typename Sample>
void chromaRow(const std::uint8_t* __restrict upper, const std::uint8_t* __restrict lower, Sample* __restrict u,
               Sample* __restrict v, int width, const Matrix& m, const Scale& s) {
    constexpr int next = (Step - 1) * Bpp;
    const int whole = width / Step;
    for (int x = 0; x < whole; ++x) {
        const int i = Step * Bpp * x;
        const int r = upper[i] + upper[i + next] + lower[i] + lower[i + next];
        const int g = upper[i + 1] + upper[i + next + 1] + lower[i + 1] + lower[i + next + 1];
        const int b = upper[i + 2] + upper[i + next + 2] + lower[i + 2] + lower[i + next + 2];
        chromaOfSums(r, g, b, m, s, u[x], v[x]);
    }
    if (whole * Step < width) {
        const int i = Step * Bpp * whole;
        chromaOfSums(2 * (upper[i] + lower[i]), 2 * (upper[i + 1] + lower[i + 1]), 2 * (upper[i + 2] + lower[i + 2]), m,
                     s, u[whole], v[whole]);
    }
}

template <typename Sample> Sample* row(std::uint8_t* plane, std::ptrdiff_t stride, int y) {
    return reinterpret_cast<Sample*>(plane + y * stride);
}

template <int Bpp, int Step, typename Sample>
void convertRows(const std::uint8_t* pixels, int width, int height, const YuvRowsLayout& layout,
                 const YuvPlanes& planes) {
    const Matrix& m = layout.fullRange ? fullRange : videoRange;
    const Scale s = scaleFor(m, layout.bitDepth);
    const std::ptrdiff_t rowBytes = std::ptrdiff_t(width) * Bpp;
    const std::uint8_t* topRow = pixels + (height - 1) * rowBytes;
    const int rowsPerChroma = 1 << layout.chromaShiftY;
    for (int y = 0; y < height; y += rowsPerChroma) {
        const std::uint8_t* upper = topRow - y * rowBytes;
        const std::uint8_t* lower = upper;
        lumaRow<Bpp>(upper, row<Sample>(planes.data[0], planes.stride[0], y), width, m, s);
        if (rowsPerChroma == 2 && y + 1 < height) {
            lower = upper - rowBytes;
            lumaRow<Bpp>(lower, row<Sample>(planes.data[0], planes.stride[0], y + 1), width, m, s);
        }
        const int chromaY = y >> layout.chromaShiftY;
        chromaRow<Bpp, Step>(upper, lower, row<Sample>(planes.data[1], planes.stride[1], chromaY),
                             row<Sample>(planes.data[2], planes.stride[2], chromaY), width, m, s);
    }
}

template <int Bpp, typename Sample>
void convertPixels(const std::uint8_t* pixels, int width, int height, const YuvRowsLayout& layout,
                   const YuvPlanes& planes) {
    if (layout.chromaShiftX) {
        convertRows<Bpp, 2, Sample>(pixels, width, height, layout, planes);
    } else {
        convertRows<Bpp, 1, Sample>(pixels, width, height, layout, planes);
    }
}

template <typename Sample>
void convertSamples(const std::uint8_t* pixels, int width, int height, int bytesPerPixel, const YuvRowsLayout& layout,
                    const YuvPlanes& planes) {
    if (bytesPerPixel == 4) {
        convertPixels<4, Sample>(pixels, width, height, layout, planes);
    } else {
        convertPixels<3, Sample>(pixels, width, height, layout, planes);
    }
}

// The loops run twice as fast vectorized for AVX2; the copy for other processors is chosen
// when the program loads. flatten keeps the whole conversion inside each copy. Clang refuses
// flatten beside target_clones, and ThreadSanitizer instruments the chooser, which runs
// before its runtime is up: those builds (the fuzzers', the tsan preset) take the baseline.
#if defined(__x86_64__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define KR_VECTOR_CLONES __attribute__((target_clones("avx2", "default"), flatten))
#else
#define KR_VECTOR_CLONES
#endif

KR_VECTOR_CLONES void convertNarrow(const std::uint8_t* pixels, int width, int height, int bytesPerPixel,
                                    const YuvRowsLayout& layout, const YuvPlanes& planes) {
    convertSamples<std::uint8_t>(pixels, width, height, bytesPerPixel, layout, planes);
}

KR_VECTOR_CLONES void convertDeep(const std::uint8_t* pixels, int width, int height, int bytesPerPixel,
                                  const YuvRowsLayout& layout, const YuvPlanes& planes) {
    convertSamples<std::uint16_t>(pixels, width, height, bytesPerPixel, layout, planes);
}

} // namespace

void convertBottomUpRgbToYuv(const std::uint8_t* pixels, int width, int height, int bytesPerPixel,
                             const YuvRowsLayout& layout, const YuvPlanes& planes) {
    if (layout.bitDepth > 8) {
        convertDeep(pixels, width, height, bytesPerPixel, layout, planes);
    } else {
        convertNarrow(pixels, width, height, bytesPerPixel, layout, planes);
    }
}

} // namespace bridge::media
