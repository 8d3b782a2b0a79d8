// SPDX-License-Identifier: Apache-2.0
#include "media/movieReaderTimecode.h"

#include <gtest/gtest.h>

using namespace bridge::media;

namespace {

using Record = std::array<std::uint8_t, 4>;

TimecodeDefinition definition(int fps, std::int32_t flags) {
    TimecodeDefinition d;
    d.flags = flags;
    d.framesPerSecond = static_cast<std::uint8_t>(fps);
    d.timeScale = fps * 1000;
    d.frameDuration = 1000;
    return d;
}

TEST(TimecodeRecord, DropFrameSkipsTheFirstNumbersOfEveryMinuteButTheTenth) {
    const auto df30 = definition(30, timecodeFlag::dropFrame);
    EXPECT_EQ(timecodeRecord(1799, df30), (Record{0, 0, 59, 29}));
    EXPECT_EQ(timecodeRecord(1800, df30), (Record{0, 1, 0, 2}));
    EXPECT_EQ(timecodeRecord(17981, df30), (Record{0, 9, 59, 29}));
    EXPECT_EQ(timecodeRecord(17982, df30), (Record{0, 10, 0, 0}));
    EXPECT_EQ(timecodeRecord(17982 + 1800, df30), (Record{0, 11, 0, 2}));
    EXPECT_EQ(timecodeRecord(107892, df30), (Record{1, 0, 0, 0}));

    const auto df60 = definition(60, timecodeFlag::dropFrame);
    EXPECT_EQ(timecodeRecord(3600, df60), (Record{0, 1, 0, 4}));

    // Without the flag every number counts.
    EXPECT_EQ(timecodeRecord(1800, definition(30, 0)), (Record{0, 1, 0, 0}));
}

TEST(TimecodeRecord, TextAndRecordCountTheSameFrames) {
    for (const auto& d :
         {definition(30, timecodeFlag::dropFrame), definition(25, 0), definition(60, timecodeFlag::dropFrame)}) {
        for (const std::int64_t frame : {0, 1, 1799, 1800, 1801, 17982, 107891, 107892, 2589407}) {
            const Record r = timecodeRecord(frame, d);
            char text[16];
            std::snprintf(text, sizeof text, "%02d:%02d:%02d%c%02d", r[0], r[1], r[2],
                          (d.flags & timecodeFlag::dropFrame) ? ';' : ':', r[3]);
            EXPECT_EQ(frameNumberOfTimecodeText(text, d), frame) << text;
        }
    }
    EXPECT_EQ(frameNumberOfTimecodeText("-00:00:01:00", definition(25, 0)), -25);
    EXPECT_FALSE(frameNumberOfTimecodeText("01:00:00", definition(25, 0)));
    EXPECT_FALSE(frameNumberOfTimecodeText("01:00:00:25", definition(25, 0)));
    EXPECT_FALSE(frameNumberOfTimecodeText("01:61:00:00", definition(25, 0)));
    EXPECT_FALSE(frameNumberOfTimecodeText("01:00:00:00x", definition(25, 0)));
}

TEST(TimecodeRecord, CounterIsALittleEndianSignedCount) {
    const auto counter = definition(25, timecodeFlag::counter);
    EXPECT_EQ(timecodeRecord(0x01020304, counter), (Record{4, 3, 2, 1}));
    EXPECT_EQ(timecodeRecord(-2, counter), (Record{0xFE, 0xFF, 0xFF, 0xFF}));
}

TEST(TimecodeRecord, HoursWrapOnlyWithTheDayFlagAndNegativeTimesNeedTheirFlag) {
    const std::int64_t day = 24 * 3600 * 25;
    EXPECT_EQ(timecodeRecord(day + 5, definition(25, timecodeFlag::max24Hour)), (Record{0, 0, 0, 5}));
    EXPECT_EQ(timecodeRecord(day + 5, definition(25, 0)), (Record{24, 0, 0, 5}));
    EXPECT_EQ(timecodeRecord(-1, definition(25, timecodeFlag::negativeTimesOk)), (Record{0x80, 0, 0, 1}));
    EXPECT_EQ(timecodeRecord(-1, definition(25, 0)), (Record{23, 59, 59, 24}));
}

TEST(TimecodeDescription, ReadsBigEndianFieldsAndRefusesShortOnes) {
    const std::uint8_t description[] = {0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0x75, 0x30, 0, 0, 0x03, 0xE9, 30, 7};
    const auto parsed = parseTimecodeDescription(description, sizeof description);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->flags, 3);
    EXPECT_EQ(parsed->timeScale, 30000);
    EXPECT_EQ(parsed->frameDuration, 1001);
    EXPECT_EQ(parsed->framesPerSecond, 30);
    EXPECT_EQ(parsed->padding, 7);
    EXPECT_FALSE(parseTimecodeDescription(description, 17));
    EXPECT_FALSE(parseTimecodeDescription(nullptr, 0));
}

} // namespace
