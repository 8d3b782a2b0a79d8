// SPDX-License-Identifier: Apache-2.0
// The section-to-Y'CbCr conversion against the BT.601 formulas in floating point, over
// every chroma layout, both ranges, 8 to 16 bits, both pixel sizes and sizes odd and even.

#include "media/movieWriterYuvRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace bridge::media {
namespace {

// Component c (Y', Cb, Cr) of r, g, b in 0..255, as a level of the given depth before rounding.
double bt601(int c, const double rgb[3], bool fullRange, int bitDepth) {
    static constexpr double matrix[3][3] = {
        {0.299, 0.587, 0.114}, {-0.168736, -0.331264, 0.5}, {0.5, -0.418688, -0.081312}};
    const double span = c == 0 ? (fullRange ? 1.0 : 219.0 / 255) : (fullRange ? 1.0 : 224.0 / 255);
    const double offset = c == 0 ? (fullRange ? 0 : 16) : 128;
    const double level = offset + span * (matrix[c][0] * rgb[0] + matrix[c][1] * rgb[1] + matrix[c][2] * rgb[2]);
    return level * (1 << (bitDepth - 8));
}

TEST(YuvRows, MatchTheBt601FormulasOverTheAveragedPixelsAndWriteNothingOutsideThePlanes) {
    const YuvRowsLayout layouts[] = {{0, 0, false},     {0, 0, true},      {1, 0, false},
                                     {0, 1, true},      {1, 1, false},     {1, 1, true},
                                     {1, 0, false, 10}, {0, 0, false, 10}, {1, 1, false, 16}};
    const std::pair<int, int> sizes[] = {{1, 1}, {2, 2}, {3, 5}, {47, 15}, {64, 4}};
    std::uint32_t noise = 2463534242u;
    for (const auto& layout : layouts) {
        for (const auto& [width, height] : sizes) {
            for (const int bytesPerPixel : {3, 4}) {
                SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height) + " from " +
                             std::to_string(bytesPerPixel) + "-byte pixels, chroma halved " +
                             std::to_string(layout.chromaShiftX) + " across " + std::to_string(layout.chromaShiftY) +
                             " down, full range " + std::to_string(layout.fullRange) + ", " +
                             std::to_string(layout.bitDepth) + " bits");
                // Noise, with black, white, red and blue in the first pixels (the bottom row's).
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

                // Planes with strides wider than their rows, filled with a guard byte.
                const int sampleBytes = layout.bitDepth > 8 ? 2 : 1;
                const int shiftX[] = {0, layout.chromaShiftX, layout.chromaShiftX};
                const int shiftY[] = {0, layout.chromaShiftY, layout.chromaShiftY};
                std::vector<std::uint8_t> planes[3];
                YuvPlanes target{};
                for (int p = 0; p < 3; ++p) {
                    target.stride[p] = (((width + shiftX[p]) >> shiftX[p]) + 3) * sampleBytes;
                    planes[p].assign(std::size_t(target.stride[p]) * ((height + shiftY[p]) >> shiftY[p]), 0xA5);
                    target.data[p] = planes[p].data();
                }
                convertBottomUpRgbToYuv(pixels.data(), width, height, bytesPerPixel, layout, target);

                int largest = 0;
                int guardsTouched = 0;
                int extremesOff = 0;
                for (int p = 0; p < 3; ++p) {
                    const int planeWidth = (width + shiftX[p]) >> shiftX[p];
                    for (std::size_t i = 0; i < planes[p].size(); i += sampleBytes) {
                        const int x = int(i % target.stride[p]) / sampleBytes;
                        const int y = int(i / target.stride[p]);
                        std::uint16_t got = planes[p][i];
                        if (sampleBytes == 2) {
                            std::memcpy(&got, &planes[p][i], 2);
                        }
                        if (x >= planeWidth) {
                            guardsTouched += got != (sampleBytes == 2 ? 0xA5A5 : 0xA5);
                            continue;
                        }
                        // The mean of the pixels the sample covers, (x, y) counted from the top
                        // while the section holds the bottom row first.
                        double rgb[3] = {};
                        const int count = 1 << (shiftX[p] + shiftY[p]);
                        for (int k = 0; k < count; ++k) {
                            const int px = std::min((x << shiftX[p]) + (k & shiftX[p]), width - 1);
                            const int py = std::min((y << shiftY[p]) + (k >> shiftX[p]), height - 1);
                            for (int c = 0; c < 3; ++c) {
                                rgb[c] += pixels[(std::size_t(height - 1 - py) * width + px) * bytesPerPixel + c];
                            }
                        }
                        for (double& channel : rgb) {
                            channel /= count;
                        }
                        const long want = std::lround(std::clamp(bt601(p, rgb, layout.fullRange, layout.bitDepth), 0.0,
                                                                 double((1 << layout.bitDepth) - 1)));
                        largest = std::max(largest, int(std::abs(got - want)));
                        // Black and white reach the range's ends, grey stays neutral, exactly.
                        const bool greyPixel = y == height - 1 && x < 2 && count == 1 && width * height >= 2;
                        if (greyPixel && layout.bitDepth == 8) {
                            extremesOff += got != want;
                        }
                    }
                }
                EXPECT_LE(largest, 1);
                EXPECT_EQ(guardsTouched, 0);
                EXPECT_EQ(extremesOff, 0);
            }
        }
    }
}

} // namespace
} // namespace bridge::media
