// SPDX-License-Identifier: Apache-2.0
// The section-to-Y'CbCr conversion against the BT.601 formulas in floating point, over
// every chroma layout, both ranges, 8 and 10 bits, both pixel sizes and sizes odd and even.

#include "media/movieWriterYuvRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace bridge::media {
namespace {

struct Reference {
    double y, u, v;
};

// r, g, b in 0..255; the levels before rounding.
Reference bt601(double r, double g, double b, bool fullRange) {
    const double luma = fullRange ? 1.0 : 219.0 / 255;
    const double chroma = fullRange ? 1.0 : 224.0 / 255;
    return {(fullRange ? 0 : 16) + luma * (0.299 * r + 0.587 * g + 0.114 * b),
            128 + chroma * (-0.168736 * r - 0.331264 * g + 0.5 * b),
            128 + chroma * (0.5 * r - 0.418688 * g - 0.081312 * b)};
}

int level(double value) {
    return int(std::clamp(std::lround(value), 0L, 255L));
}

TEST(YuvRows, MatchTheBt601FormulasOverTheAveragedPixelsAndWriteNothingOutsideThePlanes) {
    struct Size {
        int width, height;
    };
    const YuvRowsLayout layouts[] = {{0, 0, false}, {0, 0, true},  {1, 0, false},
                                     {0, 1, true},  {1, 1, false}, {1, 1, true}};
    const Size sizes[] = {{1, 1}, {2, 2}, {3, 5}, {47, 15}, {64, 4}};
    std::uint32_t noise = 2463534242u;
    for (const auto& layout : layouts) {
        for (const Size size : sizes) {
            for (const int bytesPerPixel : {3, 4}) {
                SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height) + " from " +
                             std::to_string(bytesPerPixel) + "-byte pixels, chroma halved " +
                             std::to_string(layout.chromaShiftX) + " across " + std::to_string(layout.chromaShiftY) +
                             " down, full range " + std::to_string(layout.fullRange) + ", " +
                             std::to_string(layout.bitDepth) + " bits");
                const int width = size.width;
                const int height = size.height;
                // Noise, with the extremes in the first pixels.
                std::vector<std::uint8_t> pixels(std::size_t(width) * height * bytesPerPixel);
                for (auto& byte : pixels) {
                    noise ^= noise << 13;
                    noise ^= noise >> 17;
                    noise ^= noise << 5;
                    byte = std::uint8_t(noise);
                }
                const std::uint8_t extremes[] = {0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 0, 255};
                for (std::size_t i = 0; i < std::size(extremes) && i / 3 < std::size_t(width) * height; ++i) {
                    pixels[i / 3 * bytesPerPixel + i % 3] = extremes[i];
                }

                const int chromaWidth = (width + layout.chromaShiftX) >> layout.chromaShiftX;
                const int chromaHeight = (height + layout.chromaShiftY) >> layout.chromaShiftY;
                // Strides wider than the rows, filled with a guard byte.
                const int sampleBytes = layout.bitDepth > 8 ? 2 : 1;
                const std::ptrdiff_t strides[] = {(width + 5) * sampleBytes, (chromaWidth + 3) * sampleBytes,
                                                  (chromaWidth + 3) * sampleBytes};
                const int heights[] = {height, chromaHeight, chromaHeight};
                std::vector<std::uint8_t> planes[3];
                for (int p = 0; p < 3; ++p) {
                    planes[p].assign(std::size_t(strides[p]) * heights[p], 0xA5);
                }
                convertBottomUpRgbToYuv(
                    pixels.data(), width, height, bytesPerPixel, layout,
                    {{planes[0].data(), planes[1].data(), planes[2].data()}, {strides[0], strides[1], strides[2]}});

                // Pixel (x, y) counted from the top; the section holds the bottom row first.
                auto channel = [&](int x, int y, int c) {
                    return double(pixels[(std::size_t(height - 1 - y) * width + x) * bytesPerPixel + c]);
                };
                int largest = 0;
                int guardsTouched = 0;
                for (int p = 0; p < 3; ++p) {
                    const int planeWidth = p == 0 ? width : chromaWidth;
                    for (int y = 0; y < heights[p]; ++y) {
                        for (int x = 0; x < strides[p] / sampleBytes; ++x) {
                            const std::uint8_t* sample = &planes[p][std::size_t(y) * strides[p] + x * sampleBytes];
                            int got = sample[0];
                            if (sampleBytes == 2) {
                                std::uint16_t wide = 0;
                                std::memcpy(&wide, sample, 2);
                                got = wide;
                            }
                            if (x >= planeWidth) {
                                guardsTouched += sample[0] != 0xA5 || sample[sampleBytes - 1] != 0xA5;
                                continue;
                            }
                            const int shiftX = p == 0 ? 0 : layout.chromaShiftX;
                            const int shiftY = p == 0 ? 0 : layout.chromaShiftY;
                            double sums[3] = {};
                            int count = 0;
                            for (int dy = 0; dy < 1 << shiftY; ++dy) {
                                for (int dx = 0; dx < 1 << shiftX; ++dx) {
                                    const int px = std::min((x << shiftX) + dx, width - 1);
                                    const int py = std::min((y << shiftY) + dy, height - 1);
                                    for (int c = 0; c < 3; ++c) {
                                        sums[c] += channel(px, py, c);
                                    }
                                    ++count;
                                }
                            }
                            const Reference want =
                                bt601(sums[0] / count, sums[1] / count, sums[2] / count, layout.fullRange);
                            largest = std::max(largest, std::abs(got - level(p == 0   ? want.y
                                                                             : p == 1 ? want.u
                                                                                      : want.v)));
                        }
                    }
                }
                EXPECT_LE(largest, 1);
                EXPECT_EQ(guardsTouched, 0);

                // Black, white and grey exactly: no drift of the neutral axis, the range's ends reached.
                const int black = layout.fullRange ? 0 : 16;
                const int white = layout.fullRange ? 255 : 235;
                if (layout.chromaShiftX == 0 && layout.chromaShiftY == 0 && layout.bitDepth == 8 &&
                    width * height >= 2) {
                    const std::size_t bottom = std::size_t(height - 1) * strides[0];
                    EXPECT_EQ(planes[0][bottom], black);
                    EXPECT_EQ(planes[0][bottom + 1], white);
                    EXPECT_EQ(planes[1][std::size_t(height - 1) * strides[1] + 1], 128);
                    EXPECT_EQ(planes[2][std::size_t(height - 1) * strides[2] + 1], 128);
                }
            }
        }
    }
}

} // namespace
} // namespace bridge::media
