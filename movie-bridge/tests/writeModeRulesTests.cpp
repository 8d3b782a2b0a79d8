// SPDX-License-Identifier: Apache-2.0
#include "writeModeRules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace bridge {
namespace {

TEST(WriteTimeScale, IsTheFrameRateTimesOneHundredTruncated) {
    EXPECT_EQ(timeScaleFor(25), 2500);
    EXPECT_EQ(timeScaleFor(24), 2400);
    EXPECT_EQ(timeScaleFor(29.97), 2997);
    EXPECT_EQ(timeScaleFor(23.976), 2397);
    EXPECT_EQ(timeScaleFor(0.019), 1);
}

TEST(WriteTimeScale, IsZeroForRatesNoTrackCanUse) {
    EXPECT_EQ(timeScaleFor(0), 0);
    EXPECT_EQ(timeScaleFor(0.009), 0);
    EXPECT_EQ(timeScaleFor(-25), 0);
    EXPECT_EQ(timeScaleFor(std::nan("")), 0);
    EXPECT_EQ(timeScaleFor(std::numeric_limits<double>::infinity()), 0);
    EXPECT_EQ(timeScaleFor(3e7), 0);
}

TEST(WriteCodecQuality, FollowsTheFiveLevels) {
    EXPECT_EQ(codecQualityFor(0), 0x000u);
    EXPECT_EQ(codecQualityFor(1), 0x100u);
    EXPECT_EQ(codecQualityFor(20), 0x100u);
    EXPECT_EQ(codecQualityFor(21), 0x200u);
    EXPECT_EQ(codecQualityFor(40), 0x200u);
    EXPECT_EQ(codecQualityFor(41), 0x300u);
    EXPECT_EQ(codecQualityFor(60), 0x300u);
    EXPECT_EQ(codecQualityFor(61), 0x3FFu);
    EXPECT_EQ(codecQualityFor(100), 0x3FFu);
    EXPECT_EQ(codecQualityFor(5000), 0x3FFu);
}

TEST(WriteCodecQuality, WrapsInUnsignedArithmeticForNegativeQuality) {
    // -1 × 5 + 99 wraps to 94 in 32 bits, index 0; -20 × 5 + 99 wraps to a huge index, capped.
    EXPECT_EQ(codecQualityFor(-1), 0x000u);
    EXPECT_EQ(codecQualityFor(-20), 0x3FFu);
}

TEST(WriteCodecChoice, TakesOnlyAnExactCaseSensitiveMatch) {
    const std::vector<std::string> names{"mjpeg", "png", "prores_ks"};
    EXPECT_EQ(chooseCodecType("png", names), "png");
    EXPECT_EQ(chooseCodecType("PNG", names), "mjpeg");
    EXPECT_EQ(chooseCodecType("pn", names), "mjpeg");
    EXPECT_EQ(chooseCodecType("h264", names), "mjpeg");
    EXPECT_EQ(chooseCodecType("", names), "mjpeg");
    EXPECT_EQ(chooseCodecType("png", std::nullopt), "mjpeg");
}

TEST(WriteGamma, ReadsTheVariableAsPercentF) {
    EXPECT_FLOAT_EQ(gammaFromText(nullptr), 2.2f);
    EXPECT_FLOAT_EQ(gammaFromText("1.0"), 1.0f);
    EXPECT_FLOAT_EQ(gammaFromText(" 1.8"), 1.8f);
    EXPECT_FLOAT_EQ(gammaFromText("1.8 and more"), 1.8f);
    EXPECT_FLOAT_EQ(gammaFromText("not a number"), 2.2f);
    EXPECT_FLOAT_EQ(gammaFromText(""), 2.2f);
}

TEST(WriteGamma, KeepsTheDefaultForNumbersNoMovieCanCarry) {
    for (const char* text : {"0", "-1", "10.5", "inf", "nan"}) {
        EXPECT_FLOAT_EQ(gammaFromText(text), 2.2f) << text;
    }
    EXPECT_FLOAT_EQ(gammaFromText("10"), 10.0f);
}

struct ConvertedFrame {
    std::vector<std::uint8_t> bytes;
    media::PixelBuffer buffer;
};

// A BGRA buffer with 2 bytes of padding after each row, filled with a marker.
ConvertedFrame convert(const std::vector<std::uint8_t>& section, int width, int height, int bytesPerPixel) {
    ConvertedFrame frame;
    const int stride = width * 4 + 2;
    frame.bytes.assign(std::size_t(stride) * height, 0xEE);
    frame.buffer = media::PixelBuffer{frame.bytes.data(), stride, width, height};
    convertFrame(section.data(), bytesPerPixel, frame.buffer);
    return frame;
}

TEST(WriteFrameConversion, FlipsRowsAndSwapsRedAndBlueWithAlphaZeroForThreeBytes) {
    // 2 x 2, bottom row first: bottom (1,2,3) (4,5,6), top (7,8,9) (10,11,12).
    const std::vector<std::uint8_t> section{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const ConvertedFrame frame = convert(section, 2, 2, 3);
    const std::vector<std::uint8_t> top(frame.bytes.begin(), frame.bytes.begin() + 10);
    const std::vector<std::uint8_t> bottom(frame.bytes.begin() + 10, frame.bytes.end());
    EXPECT_EQ(top, (std::vector<std::uint8_t>{9, 8, 7, 0, 12, 11, 10, 0, 0xEE, 0xEE}));
    EXPECT_EQ(bottom, (std::vector<std::uint8_t>{3, 2, 1, 0, 6, 5, 4, 0, 0xEE, 0xEE}));
}

TEST(WriteFrameConversion, KeepsAlphaWithFourBytes) {
    // 1 x 3, bottom row first.
    const std::vector<std::uint8_t> section{1, 2, 3, 40, 5, 6, 7, 80, 9, 10, 11, 120};
    const ConvertedFrame frame = convert(section, 1, 3, 4);
    EXPECT_EQ(std::vector<std::uint8_t>(frame.bytes.begin(), frame.bytes.begin() + 4),
              (std::vector<std::uint8_t>{11, 10, 9, 120}));
    EXPECT_EQ(std::vector<std::uint8_t>(frame.bytes.begin() + 12, frame.bytes.begin() + 16),
              (std::vector<std::uint8_t>{3, 2, 1, 40}));
}

TEST(WriteSampleCount, CountsWholeSampleFrames) {
    EXPECT_EQ(sampleCountFor(19200, 2, 16), 4800u);
    EXPECT_EQ(sampleCountFor(4800, 1, 8), 4800u);
    EXPECT_EQ(sampleCountFor(19203, 2, 16), 4800u);
    EXPECT_EQ(sampleCountFor(3, 2, 16), 0u);
}

TEST(WriteSampleCount, DoesNotWrapForChunksAboveHalfAGigabyte) {
    // 0x40000000 × 8 overflows 32 bits; in 32-bit arithmetic the count would be 0.
    EXPECT_EQ(sampleCountFor(0x40000000u, 2, 16), 0x10000000u);
}

TEST(WriteSound, StoresEveryDepthAsSamplesOfThatDepth) {
    EXPECT_EQ(sampleFormatFor(8), media::SampleFormat::unsigned8);
    EXPECT_EQ(sampleFormatFor(16), media::SampleFormat::signedLittleEndian16);
    EXPECT_EQ(sampleFormatFor(24), media::SampleFormat::signedLittleEndian24);
    EXPECT_EQ(sampleFormatFor(32), media::SampleFormat::signedLittleEndian32);
}

// Each AudioSetup field at the edges of the 32 bits it arrives in: a value beyond what the
// sound description stores is refused, never cut to its low bits.
TEST(WriteSound, RefusesDescriptionsNoTrackCanHold) {
    struct Row {
        std::uint32_t channels, bits, rate;
        bool accepted;
    };
    const Row rows[] = {
        {2, 16, 48000, true},
        {1, 8, 65535, true},
        {2, 24, 48000, true},
        {2, 32, 48000, true},
        {65535, 16, 48000, true},
        {0, 16, 48000, false},
        {65536, 16, 48000, false},
        {0x10002, 16, 48000, false},
        {0x80000000u, 16, 48000, false},
        {0xFFFFFFFFu, 16, 48000, false},
        {2, 0, 48000, false},
        {2, 12, 48000, false},
        {2, 0x10010, 48000, false},
        {2, 0x10008, 48000, false},
        {2, 65535, 48000, false},
        {2, 0x80000010u, 48000, false},
        {2, 0xFFFFFFFFu, 48000, false},
        {2, 16, 1, true},
        {2, 16, 0, false},
        {2, 16, 65536, false},
        {2, 16, 0x80000000u, false},
        {2, 16, 0xFFFFFFFFu, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(soundProblem(row.channels, row.bits, row.rate).empty(), row.accepted)
            << row.channels << " " << row.bits << " " << row.rate;
    }
    EXPECT_EQ(soundProblem(0x10002, 16, 48000), "65538 channels, not 1 to 65535");
    EXPECT_EQ(soundProblem(2, 0x10010, 48000), "65552 bits per sample, not 8, 16, 24 or 32");
}

// WriteSetup's size fields at their edges: only sizes whose section fits 32 bits pass.
TEST(WriteFrameSize, RefusesEveryEdgeBeyondTheSection) {
    struct Row {
        std::int32_t width, height, bytesPerPixel;
        bool accepted;
    };
    const Row rows[] = {
        {1, 1, 3, true},          {65536, 1, 4, true},      {32768, 32767, 4, true},  {0, 1, 3, false},
        {1, 0, 3, false},         {-1, 1, 3, false},        {1, -1, 3, false},        {INT32_MAX, 1, 3, false},
        {1, INT32_MAX, 4, false}, {INT32_MIN, 1, 3, false}, {65536, 65536, 4, false}, {65536, 16384, 4, false},
        {1, 1, 0, false},         {1, 1, -1, false},        {1, 1, 65539, false},     {1, 1, INT32_MAX, false},
        {1, 1, INT32_MIN, false}, {1, 1, 2, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(frameSizeProblem(row.width, row.height, row.bytesPerPixel).empty(), row.accepted)
            << row.width << " x " << row.height << " x " << row.bytesPerPixel;
    }
}

} // namespace
} // namespace bridge
