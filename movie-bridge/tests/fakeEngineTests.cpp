// SPDX-License-Identifier: Apache-2.0
// The fake engine the mode tests and the Windows build rely on: its recipes, its pictures
// and its checksums must be right for those tests to mean anything.

#include "media/fake/fakeEngine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string_view>

using namespace bridge::media;
using namespace bridge::media::fake;

TEST(FakeEngineChecksum, IsFnv1aOf32Bits) {
    // Published FNV-1a test vectors.
    for (const auto& [text, checksum] :
         {std::pair<std::string_view, const char*>{"", "811c9dc5"}, {"a", "e40c292c"}, {"foobar", "bf9cf968"}}) {
        EXPECT_EQ(checksumText(checksumOf(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())), checksum)
            << text;
    }
}

TEST(FakeEngineRecipe, TextRoundTripsAndBadTextIsNoMovie) {
    for (const MovieRecipe& recipe :
         {MovieRecipe{}, MovieRecipe{7, 3, 2, 2997, 100, GeneratedTimecode{1, 30, 107892}}}) {
        const MovieRecipe back = parseRecipe(recipeText(recipe));
        EXPECT_EQ(recipeText(back), recipeText(recipe));
    }
    for (const char* text : {"", "gradient", "gradient 1 2 3 4", "movie 1 1 1 1 1", "gradient 1 1 1 1 1 timecode",
                             "gradient 1 1 1 1 1 timecode 0 0", "gradient 1 1 1 1 1 subtitles 25 0"}) {
        EXPECT_THROW(parseRecipe(text), MovieOpenError) << text;
    }
    for (const MovieRecipe& recipe :
         {MovieRecipe{0, 1, 1, 1, 1, {}}, MovieRecipe{1, 32768, 1, 1, 1, {}}, MovieRecipe{1, 1, 0, 1, 1, {}},
          MovieRecipe{1, 1, 1, 0, 1, {}}, MovieRecipe{1, 1, 1000, 1, 3000000, {}}}) {
        EXPECT_THROW(GeneratedMovie{recipe}, MovieOpenError) << recipeText(recipe);
    }
}

TEST(FakeEngineMovie, DrawsTheFrameShowingAtATimeBottomRowFirst) {
    const MovieRecipe recipe{3, 2, 3, 600, 20, GeneratedTimecode{timecodeFlag::dropFrame, 30, 1800}};
    GeneratedMovie movie(recipe);
    EXPECT_EQ(movie.sampleTimes(), (std::vector<TimeValue>{0, 20, 40}));
    EXPECT_EQ(movie.duration(), 60);
    // Rows 16 bytes apart: the 4 padding bytes of each row stay as they were.
    std::vector<std::uint8_t> pixels(2 * 16, 0xAB);
    ASSERT_TRUE(movie.drawFrame(39, pixels.data(), 16));
    const auto bottomLeft = gradientPixel(recipe, 1, 0, 1);
    const auto topRight = gradientPixel(recipe, 1, 2, 0);
    EXPECT_TRUE(std::equal(bottomLeft.begin(), bottomLeft.end(), pixels.begin()));
    EXPECT_TRUE(std::equal(topRight.begin(), topRight.end(), pixels.begin() + 16 + 8));
    EXPECT_THAT(std::vector<std::uint8_t>(pixels.begin() + 12, pixels.begin() + 16), ::testing::Each(0xAB));
    EXPECT_EQ(topRight, (std::array<std::uint8_t, 4>{255, 0, 37, 255}));
    EXPECT_FALSE(movie.drawFrame(-1, pixels.data(), 16));

    // Drop-frame numbering: frame 1800 + 2 at 30 per second is 00:01:00;04.
    const auto timecode = movie.timecodeAt(40);
    ASSERT_TRUE(timecode.has_value());
    EXPECT_EQ(timecode->record, (std::array<std::uint8_t, 4>{0, 1, 0, 4}));
    EXPECT_EQ(timecode->definition.framesPerSecond, 30);
    EXPECT_EQ(GeneratedMovie(MovieRecipe{}).timecodeTrack(), nullptr);
}

TEST(FakeEngineWriter, FailsToOpenWhatCannotBeCreatedAndRecordsIntoTheMovieFile) {
    FakeEngine engine;
    int result = 0;
    auto writer = engine.createMovieFile("/nonexistent-directory/movie.mov", result);
    ASSERT_NE(writer, nullptr);
    EXPECT_NE(writer->writeMovieResource(), 0);
    engine.createResult = -13;
    EXPECT_EQ(engine.createMovieFile("x.mov", result), nullptr);
    EXPECT_EQ(result, -13);
}
