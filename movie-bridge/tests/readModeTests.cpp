// SPDX-License-Identifier: Apache-2.0
// Mode r over a recording channel and the fake engine's generated movies: what the host
// receives, in which order, and what the failures leave behind.

#include "bridgeFailure.h"
#include "exitCodes.h"
#include "media/fake/fakeEngine.h"
#include "modes.h"
#include "recordingPlatform.h"
#include "records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace bridge;
using bridge::testing::RecordingPlatform;
namespace fake = bridge::media::fake;

namespace {

class ReadModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory = std::filesystem::temp_directory_path() / ("readModeTest-" + std::to_string(getpid()));
        std::filesystem::create_directories(directory);
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    std::string movieFile(const fake::MovieRecipe& recipe) {
        const std::string path = (directory / "movie.mov").string();
        std::ofstream(path) << fake::recipeText(recipe);
        return path;
    }
    std::string failureOf(const std::string& path) {
        try {
            runReadMode(exitCode, path, engine, channel, view);
        } catch (const BridgeFailure& failure) {
            return failure.what();
        }
        return "";
    }
    ReadReply reply() const {
        ReadReplyBytes bytes{};
        EXPECT_EQ(platform.replies.size(), 1u);
        EXPECT_EQ(platform.replies.at(0).size(), bytes.size());
        std::copy(platform.replies[0].begin(), platform.replies[0].end(), bytes.begin());
        return decodeReadReply(bytes);
    }
    long countOf(const std::string& call) { return std::count(platform.calls.begin(), platform.calls.end(), call); }

    std::filesystem::path directory;
    RecordingPlatform platform;
    std::int32_t exitCode = 0;
    Channel channel{platform, exitCode};
    SharedView view;
    fake::FakeEngine engine;
};

// Reply fields for movies of different shapes: rate = time scale × frames ÷ duration, truncated.
TEST_F(ReadModeTest, ReplyGivesBoxFrameCountRateAndSection) {
    struct Case {
        fake::MovieRecipe recipe;
        std::uint32_t frameRate;
    };
    for (const Case& c : {Case{{64, 48, 10, 600, 100, std::nullopt}, 6}, Case{{640, 480, 3, 2997, 100, {}}, 29},
                          Case{{1, 1, 1, 1, 1, {}}, 1}, Case{{33, 7, 250, 25, 1, {}}, 25}}) {
        platform = RecordingPlatform{};
        platform.queueControlWord(endMarker);
        ASSERT_EQ(failureOf(movieFile(c.recipe)), "");
        const ReadReply got = reply();
        EXPECT_EQ(got.width, std::uint32_t(c.recipe.width));
        EXPECT_EQ(got.height, std::uint32_t(c.recipe.height));
        EXPECT_EQ(got.frameCount, std::uint32_t(c.recipe.frameCount));
        EXPECT_EQ(got.frameRate, c.frameRate) << fake::recipeText(c.recipe);
        EXPECT_EQ(got.sectionSize, std::uint32_t(c.recipe.width * c.recipe.height * 4 + 20));
        EXPECT_EQ(view.size, got.sectionSize);
        // Nothing is drawn before the first request, and nothing is signalled after -1.
        EXPECT_EQ(countOf("setReplyEvent"), 1);
    }
}

// Each request draws the frame it addresses (past the end and negative: the last one),
// bottom row first, with the timecode of that frame in the header.
TEST_F(ReadModeTest, DrawsTheAddressedFrameAndItsTimecode) {
    const fake::MovieRecipe recipe{5, 3, 4, 600, 24, fake::GeneratedTimecode{0, 25, 90000 + 20}};
    const std::string path = movieFile(recipe);
    struct Request {
        std::int32_t word;
        int frame;
    };
    const std::vector<Request> requests{{2, 2}, {2, 2}, {0, 0}, {4, 3}, {1000, 3}, {-5, 3}};
    for (const Request& request : requests) {
        platform.queueControlWord(request.word);
    }
    platform.queueControlWord(endMarker);
    std::vector<std::vector<std::uint8_t>> sections;
    platform.onReplyEvent = [&] { sections.push_back(platform.sectionBytes()); };
    ASSERT_EQ(failureOf(path), "");
    EXPECT_EQ(exitCode, 0);
    ASSERT_EQ(sections.size(), requests.size() + 1);

    for (std::size_t i = 0; i < requests.size(); ++i) {
        const auto& section = sections[i + 1];
        const int frame = requests[i].frame;
        SCOPED_TRACE("request " + std::to_string(requests[i].word));
        const FrameHeader header = readFrameHeader(section.data());
        EXPECT_EQ(header.timecodeFlags, 0);
        EXPECT_EQ(header.timeScale, 600);
        EXPECT_EQ(header.frameDuration, 24);
        EXPECT_EQ(header.framesPerSecond, 25);
        // 90020 frames at 25 per second: one hour and 20 frames.
        EXPECT_EQ(header.record, (std::array<std::uint8_t, 4>{1, 0, 0, static_cast<std::uint8_t>(20 + frame)}));
        for (int row = 0; row < recipe.height; ++row) {
            for (int x = 0; x < recipe.width; ++x) {
                const auto pixel = fake::gradientPixel(recipe, frame, x, recipe.height - 1 - row);
                const auto at = section.begin() + 20 + (row * recipe.width + x) * 4;
                EXPECT_TRUE(std::equal(pixel.begin(), pixel.end(), at)) << "row " << row << " x " << x;
            }
        }
    }
}

TEST_F(ReadModeTest, WithoutTimecodeOnlyTheFlagsFieldIsWritten) {
    platform.queueControlWord(0);
    platform.queueControlWord(endMarker);
    ASSERT_EQ(failureOf(movieFile({2, 2, 1, 600, 600, std::nullopt})), "");
    const auto section = platform.sectionBytes();
    EXPECT_TRUE(std::all_of(section.begin(), section.begin() + 4, [](auto b) { return b == 0xFF; }));
    EXPECT_TRUE(std::all_of(section.begin() + 4, section.begin() + 20, [](auto b) { return b == 0; }));
}

TEST_F(ReadModeTest, PathOf255CharactersFailsBeforeTheEngineIsAsked) {
    const std::string movie = movieFile({2, 2, 1, 600, 600, std::nullopt});
    const std::string prefix = directory.string() + "/";
    for (const std::size_t length : {254u, 255u}) {
        const std::string path = prefix + std::string(length - prefix.size() - 4, 'p') + ".mov";
        std::filesystem::create_symlink(movie, path);
        platform = RecordingPlatform{};
        platform.queueControlWord(endMarker);
        engine.calls.clear();
        exitCode = 0;
        if (length == 254) {
            EXPECT_EQ(failureOf(path), "");
            EXPECT_EQ(engine.calls, std::vector<std::string>{"openMovie " + path});
        } else {
            EXPECT_EQ(failureOf(path), "failed to load movie");
            EXPECT_EQ(exitCode, exitCodes::movieOpenFailed);
            EXPECT_TRUE(platform.calls.empty());
            EXPECT_TRUE(engine.calls.empty());
        }
    }
}

TEST_F(ReadModeTest, UnreadableMoviesAndSectionFailureGiveTheirCodesWithoutAReply) {
    const std::string garbage = (directory / "garbage.mov").string();
    std::ofstream(garbage) << "not a recipe";
    for (const std::string& path :
         {(directory / "missing.mov").string(), garbage, movieFile({2, 2, 0, 600, 600, std::nullopt}),
          movieFile({40000, 2, 1, 600, 600, std::nullopt})}) {
        exitCode = 0;
        EXPECT_EQ(failureOf(path), "failed to load movie") << path;
        EXPECT_EQ(exitCode, exitCodes::movieOpenFailed);
    }
    platform.failing.insert("createSection");
    EXPECT_EQ(failureOf(movieFile({2, 2, 1, 600, 600, std::nullopt})), "failed to map memory");
    EXPECT_EQ(exitCode, exitCodes::mapFailed);
    EXPECT_TRUE(platform.replies.empty());
    EXPECT_EQ(countOf("setReplyEvent"), 0);
}

} // namespace
