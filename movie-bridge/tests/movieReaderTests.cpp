// SPDX-License-Identifier: Apache-2.0
#include "media/movieReader.h"
#include "readTestMovies.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

using bridge::media::MovieOpenError;
using bridge::media::MovieReader;
using readtest::MovieRecipe;

namespace {

constexpr std::uint8_t untouched = 0xA5;

struct Drawn {
    bool ok = false;
    std::vector<std::uint8_t> pixels;
};

Drawn draw(MovieReader& movie, std::size_t index) {
    const auto box = movie.box();
    const std::size_t width = box.right - box.left;
    Drawn drawn;
    drawn.pixels.assign(width * (box.bottom - box.top) * 4, untouched);
    drawn.ok = movie.drawFrame(movie.sampleTimes().at(index), drawn.pixels.data(), width * 4);
    return drawn;
}

std::string copyPrefix(const std::string& source, const std::string& name, double fraction) {
    const std::string path = readtest::mediaDirectory() + "/" + name;
    std::ifstream in(source, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    bytes.resize(static_cast<std::size_t>(bytes.size() * fraction));
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

struct PixelCase {
    MovieRecipe recipe;
    std::size_t cacheBytes;
};

void PrintTo(const PixelCase& c, std::ostream* os) {
    *os << c.recipe.name;
}

class MovieReaderPixels : public ::testing::TestWithParam<PixelCase> {};

// Every frame must equal the ffmpeg command's own decode and BGRA conversion of the same
// file, whichever order the frames are asked in: decoding on, seeking back, seeking into
// the middle of a group of pictures, and hitting the cache of decoded pictures.
TEST_P(MovieReaderPixels, MatchIndependentDecodeInOrderBackwardsAtRandomAndTwice) {
    const std::string path = readtest::makeMovie(GetParam().recipe);
    const auto reference = readtest::decodeWithFfmpeg(path);
    MovieReader movie(path, GetParam().cacheBytes);
    ASSERT_EQ(movie.sampleTimes().size(), reference.size());
    const auto box = movie.box();
    ASSERT_EQ(box.right, GetParam().recipe.width);
    ASSERT_EQ(box.bottom, GetParam().recipe.height);

    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < reference.size(); ++i) {
        order.push_back(i);
    }
    for (std::size_t i = reference.size(); i-- > 0;) {
        order.push_back(i);
    }
    std::vector<std::size_t> shuffled(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(reference.size()));
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
    order.insert(order.end(), shuffled.begin(), shuffled.end());
    order.push_back(shuffled.back());

    for (const std::size_t index : order) {
        const Drawn drawn = draw(movie, index);
        ASSERT_TRUE(drawn.ok) << "frame " << index;
        ASSERT_EQ(readtest::largestDifference(drawn.pixels.data(), reference[index], box.right, box.bottom), 0)
            << "frame " << index;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codecs, MovieReaderPixels,
    ::testing::Values(
        // Intra-only, a width that is not a multiple of 16.
        PixelCase{{"mjpeg638x360.mov", 638, 360, "25", 12, "-c:v mjpeg -q:v 3"}, bridge::media::defaultFrameCacheBytes},
        // Long GOP with B-frames; a cache of about two pictures forces seeks back into each group.
        PixelCase{{"h264bframes638x360.mov", 638, 360, "25", 30, "-c:v libx264 -g 10 -bf 2 -pix_fmt yuv420p"},
                  800u << 10},
        // 4:2:0 of odd height: the rows of the chroma planes do not pair up from the bottom.
        PixelCase{{"mjpeg160x121.mov", 160, 121, "25", 6, "-c:v mjpeg -q:v 3", "scale=160:121,format=yuvj420p"},
                  bridge::media::defaultFrameCacheBytes},
        // 10-bit 4:2:2, converted by the general scaler rather than row by row.
        PixelCase{{"prores10bit130x96.mov", 130, 96, "25", 4, "-c:v prores_ks"}, bridge::media::defaultFrameCacheBytes},
        // RGBA with half transparency: the fourth byte is the picture's own alpha.
        PixelCase{
            {"pngAlpha64x48.mov", 64, 48, "25", 5, "-c:v png -pix_fmt rgba", "format=rgba,colorchannelmixer=aa=0.5"},
            bridge::media::defaultFrameCacheBytes}),
    [](const auto& info) {
        std::string name = info.param.recipe.name.substr(0, info.param.recipe.name.find('.'));
        return name;
    });

TEST(MovieReaderTable, HoldsPresentationTimesOnTheMovieTimeScale) {
    // B-frames: the index holds decode times, the table must hold presentation times.
    MovieReader bframes(readtest::makeMovie(
        {"h264bframes638x360.mov", 638, 360, "25", 30, "-c:v libx264 -g 10 -bf 2 -pix_fmt yuv420p"}));
    const std::int32_t scale = bframes.timeScale();
    ASSERT_GT(scale, 0);
    ASSERT_EQ(bframes.sampleTimes().size(), 30u);
    for (std::size_t i = 0; i < 30; ++i) {
        EXPECT_EQ(bframes.sampleTimes()[i], static_cast<std::int32_t>(i * scale / 25)) << "frame " << i;
    }

    MovieReader six(readtest::makeMovie({"sixPerSecond.mov", 64, 48, "6", 10, "-c:v mjpeg -movie_timescale 600"}));
    EXPECT_EQ(six.timeScale(), 600);
    EXPECT_EQ(six.duration(), 1000);
    EXPECT_EQ(six.sampleTimes(), (std::vector<std::int32_t>{0, 100, 200, 300, 400, 500, 600, 700, 800, 900}));
    // A time between two samples shows the earlier one.
    const auto between = draw(six, 3);
    std::vector<std::uint8_t> pixels(between.pixels.size(), untouched);
    ASSERT_TRUE(six.drawFrame(350, pixels.data(), 64 * 4));
    EXPECT_EQ(pixels, between.pixels);
}

TEST(MovieReaderTimecode, ReadsDefinitionAndCountsFramesFromTheStart) {
    MovieReader movie(readtest::makeMovie({"timecode25.mov", 64, 48, "25", 30, "-c:v mjpeg -timecode 01:00:00:00"}));
    ASSERT_NE(movie.timecodeTrack(), nullptr);
    const auto first = movie.timecodeAt(movie.sampleTimes()[0]);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->definition.flags & bridge::media::timecodeFlag::dropFrame, 0);
    // The ffmpeg command describes the rate on the video's time base: 12800 / 512.
    EXPECT_EQ(first->definition.timeScale, 25 * first->definition.frameDuration);
    EXPECT_EQ(first->definition.framesPerSecond, 25);
    EXPECT_EQ(first->record, (std::array<std::uint8_t, 4>{1, 0, 0, 0}));
    EXPECT_EQ(movie.timecodeAt(movie.sampleTimes()[12])->record, (std::array<std::uint8_t, 4>{1, 0, 0, 12}));
    EXPECT_EQ(movie.timecodeAt(movie.sampleTimes()[29])->record, (std::array<std::uint8_t, 4>{1, 0, 1, 4}));
}

TEST(MovieReaderTimecode, CountsDropFrameAcrossAMinute) {
    MovieReader movie(
        readtest::makeMovie({"timecode2997df.mov", 64, 48, "30000/1001", 5, "-c:v mjpeg -timecode '00:00:59;28'"}));
    const auto at = [&](std::size_t i) { return movie.timecodeAt(movie.sampleTimes()[i]); };
    ASSERT_TRUE(at(0));
    EXPECT_NE(at(0)->definition.flags & bridge::media::timecodeFlag::dropFrame, 0);
    EXPECT_EQ(at(0)->definition.timeScale, 30000);
    EXPECT_EQ(at(0)->definition.frameDuration, 1001);
    EXPECT_EQ(at(0)->definition.framesPerSecond, 30);
    EXPECT_EQ(at(0)->record, (std::array<std::uint8_t, 4>{0, 0, 59, 28}));
    EXPECT_EQ(at(1)->record, (std::array<std::uint8_t, 4>{0, 0, 59, 29}));
    EXPECT_EQ(at(2)->record, (std::array<std::uint8_t, 4>{0, 1, 0, 2}));
    EXPECT_EQ(at(4)->record, (std::array<std::uint8_t, 4>{0, 1, 0, 4}));
}

TEST(MovieReaderTimecode, AbsentWithoutATimecodeTrack) {
    MovieReader movie(readtest::makeMovie({"mjpeg638x360.mov", 638, 360, "25", 12, "-c:v mjpeg -q:v 3"}));
    EXPECT_EQ(movie.timecodeTrack(), nullptr);
    EXPECT_FALSE(movie.timecodeAt(0));
}

TEST(MovieReaderOpen, RefusesFilesWithoutFramesNamingTheFile) {
    const std::string directory = readtest::mediaDirectory();
    const std::string garbage = directory + "/garbage.mov";
    {
        std::ofstream out(garbage, std::ios::binary);
        std::mt19937 random(3);
        for (int i = 0; i < 65536; ++i) {
            out.put(static_cast<char>(random()));
        }
    }
    const std::string empty = directory + "/empty.mov";
    std::ofstream(empty).close();
    const std::string audioOnly = directory + "/audioOnly.mov";
    if (!std::filesystem::exists(audioOnly)) {
        readtest::run("ffmpeg -nostdin -v error -y -f lavfi -i sine=duration=0.5 -c:a pcm_s16le '" + audioOnly + "'");
    }
    // Movie resource at the end: cutting the file loses it.
    const std::string movie = readtest::makeMovie(
        {"h264bframes638x360.mov", 638, 360, "25", 30, "-c:v libx264 -g 10 -bf 2 -pix_fmt yuv420p"});
    const std::string truncated = copyPrefix(movie, "truncatedNoHeader.mov", 0.5);

    for (const std::string& path : {directory + "/missing.mov", empty, garbage, audioOnly, truncated}) {
        try {
            MovieReader reader(path);
            ADD_FAILURE() << path << " opened";
        } catch (const MovieOpenError& error) {
            EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
        }
    }
}

// A file cut inside its sample data still opens from its movie resource. Intra-only frames
// come from the index, so the table keeps every frame and those whose data is gone are not
// drawn, leaving the buffer as it was. A long-GOP table comes from the packets that are
// there. Either way the frames before the cut stay right.
TEST(MovieReaderDamage, CutSampleDataLeavesMissingFramesUntouched) {
    for (const auto& recipe :
         {MovieRecipe{"faststartMjpeg.mov", 160, 120, "25", 20, "-c:v mjpeg -movflags +faststart"},
          MovieRecipe{"faststartH264.mov", 160, 120, "25", 40, "-c:v libx264 -g 12 -bf 2 -movflags +faststart"}}) {
        const std::string whole = readtest::makeMovie(recipe);
        const auto reference = readtest::decodeWithFfmpeg(whole);
        MovieReader movie(copyPrefix(whole, "cut-" + recipe.name, 0.5));
        const std::size_t count = movie.sampleTimes().size();
        ASSERT_GT(count, 1u);
        ASSERT_LE(count, static_cast<std::size_t>(recipe.frames));
        if (count == static_cast<std::size_t>(recipe.frames)) {
            const Drawn last = draw(movie, count - 1);
            EXPECT_FALSE(last.ok) << recipe.name;
            EXPECT_TRUE(std::all_of(last.pixels.begin(), last.pixels.end(), [](auto b) { return b == untouched; }));
        }
        for (std::size_t i = count; i-- > 0;) {
            draw(movie, i);
        }
        const Drawn first = draw(movie, 0);
        ASSERT_TRUE(first.ok) << recipe.name;
        EXPECT_EQ(readtest::largestDifference(first.pixels.data(), reference[0], recipe.width, recipe.height), 0);
    }
    EXPECT_EQ(MovieReader(copyPrefix(readtest::makeMovie(
                                         {"faststartMjpeg.mov", 160, 120, "25", 20, "-c:v mjpeg -movflags +faststart"}),
                                     "cut-again.mov", 0.5))
                  .sampleTimes()
                  .size(),
              20u);
}

// Sample times beyond the 32-bit time line (a damaged time scale or time stamps) would all
// land on its last tick and hide every frame after the first of them; those samples go.
TEST(MovieReaderDamage, TimesPastTheTimeLineKeepTheTableStrictlyIncreasing) {
    MovieReader movie(std::string(KR_SOURCE_DIR) +
                      "/movie-bridge/tests/movieFuzzCorpus/sample-times-past-the-time-line");
    const auto& times = movie.sampleTimes();
    ASSERT_FALSE(times.empty());
    EXPECT_TRUE(std::adjacent_find(times.begin(), times.end(), std::greater_equal<>()) == times.end());
}

TEST(MovieReaderDamage, ScrambledSampleDataNeverEscapesTheBuffer) {
    const std::string whole =
        readtest::makeMovie({"faststartH264.mov", 160, 120, "25", 40, "-c:v libx264 -g 12 -bf 2 -movflags +faststart"});
    const std::string path = copyPrefix(whole, "scrambledH264.mov", 1.0);
    {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekg(0, std::ios::end);
        const auto size = static_cast<std::size_t>(file.tellg());
        std::mt19937 random(11);
        // Keep the movie resource at the front; damage the sample data after it.
        for (std::size_t at = size / 3; at < size; at += 97) {
            file.seekp(static_cast<std::streamoff>(at));
            file.put(static_cast<char>(random()));
        }
    }
    MovieReader movie(path);
    const auto box = movie.box();
    const std::size_t rowBytes = static_cast<std::size_t>(box.right) * 4;
    // Guard bytes on both sides catch any write outside the picture.
    std::vector<std::uint8_t> buffer(rowBytes * box.bottom + 2 * 4096, untouched);
    for (std::size_t i : {0, 39, 20, 21, 5, 38, 37, 36}) {
        movie.drawFrame(movie.sampleTimes().at(i), buffer.data() + 4096, rowBytes);
    }
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.begin() + 4096, [](auto b) { return b == untouched; }));
    EXPECT_TRUE(std::all_of(buffer.end() - 4096, buffer.end(), [](auto b) { return b == untouched; }));
}

} // namespace
