// Mode r over a recording channel: what the host receives, in which order, and what the
// failures leave behind.

#include "bridgeFailure.h"
#include "exitCodes.h"
#include "media/movieReader.h"
#include "modes.h"
#include "readTestMovies.h"
#include "recordingPlatform.h"
#include "records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <unistd.h>

using namespace bridge;
using bridge::testing::RecordingPlatform;

namespace {

const readtest::MovieRecipe smallMovie{"readMode-64x48.mov", 64, 48, "25", 5, "-c:v mjpeg"};

class ReadModeTest : public ::testing::Test {
protected:
    std::string failureOf(const std::string& path) {
        try {
            runReadMode(exitCode, path, channel, view);
        } catch (const BridgeFailure& failure) {
            return failure.what();
        }
        return "";
    }
    long countOf(const std::string& call) { return std::count(platform.calls.begin(), platform.calls.end(), call); }

    RecordingPlatform platform;
    std::int32_t exitCode = 0;
    Channel channel{platform, exitCode};
    SharedView view;
};

TEST_F(ReadModeTest, RepliesThenSignalsOncePerFrameAndNotAfterTheEnd) {
    const std::string path = readtest::makeMovie(smallMovie);
    platform.queueControlWord(2);
    platform.queueControlWord(1000);
    platform.queueControlWord(-5);
    platform.queueControlWord(endMarker);
    ASSERT_EQ(failureOf(path), "");
    EXPECT_EQ(exitCode, 0);

    ASSERT_EQ(platform.replies.size(), 1u);
    ReadReplyBytes bytes{};
    ASSERT_EQ(platform.replies[0].size(), bytes.size());
    std::copy(platform.replies[0].begin(), platform.replies[0].end(), bytes.begin());
    const ReadReply reply = decodeReadReply(bytes);
    EXPECT_EQ(reply.width, 64u);
    EXPECT_EQ(reply.height, 48u);
    EXPECT_EQ(reply.frameCount, 5u);
    EXPECT_EQ(reply.frameRate, 25u);
    EXPECT_EQ(reply.sectionSize, 64u * 48 * 4 + 20);
    EXPECT_EQ(view.size, reply.sectionSize);
    EXPECT_EQ(countOf("createSection 12308"), 1);
    EXPECT_EQ(countOf("setReplyEvent"), 4);
    EXPECT_EQ(platform.calls.back(), "readPipe 4");

    // The last request, -5, drew the last frame; without a timecode track only the flags
    // field of the header is written.
    const auto section = platform.sectionBytes();
    EXPECT_TRUE(std::all_of(section.begin(), section.begin() + 4, [](auto b) { return b == 0xFF; }));
    EXPECT_TRUE(std::all_of(section.begin() + 4, section.begin() + 20, [](auto b) { return b == 0; }));
    media::MovieReader movie(path);
    std::vector<std::uint8_t> last(64 * 48 * 4);
    ASSERT_TRUE(movie.drawFrame(movie.sampleTimes().back(), last.data(), 64 * 4));
    EXPECT_TRUE(std::equal(last.begin(), last.end(), section.begin() + 20));
}

TEST_F(ReadModeTest, PathOf255CharactersFailsBeforeAnythingIsTouched) {
    const std::string movie = readtest::makeMovie(smallMovie);
    const std::filesystem::path directory =
        std::filesystem::temp_directory_path() / ("krread-mode-" + std::to_string(getpid()));
    std::filesystem::create_directories(directory);
    const std::string prefix = directory.string() + "/";
    const std::string path = prefix + std::string(255 - prefix.size() - 4, 'p') + ".mov";
    std::filesystem::create_symlink(movie, path);
    EXPECT_EQ(failureOf(path), "failed to load movie");
    EXPECT_EQ(exitCode, exitCodes::movieOpenFailed);
    EXPECT_TRUE(platform.calls.empty());
    std::filesystem::remove_all(directory);
}

TEST_F(ReadModeTest, MissingMovieAndSectionFailureGiveTheirCodesWithoutAReply) {
    EXPECT_EQ(failureOf(readtest::mediaDirectory() + "/no-such-movie.mov"), "failed to load movie");
    EXPECT_EQ(exitCode, exitCodes::movieOpenFailed);

    platform.failing.insert("createSection");
    EXPECT_EQ(failureOf(readtest::makeMovie(smallMovie)), "failed to map memory");
    EXPECT_EQ(exitCode, exitCodes::mapFailed);
    EXPECT_TRUE(platform.replies.empty());
    EXPECT_EQ(countOf("setReplyEvent"), 0);
}

} // namespace
