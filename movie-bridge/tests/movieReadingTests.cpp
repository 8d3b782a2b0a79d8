// SPDX-License-Identifier: Apache-2.0
// Mode r end to end: moviehost started by the client, frames read through the shared section.

#include "movieReadClient.h"
#include "pngImage.h"
#include "readTestMovies.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace bridge;
using namespace bridge::client;
using readtest::MovieRecipe;

namespace {

BridgeJobOptions options() {
    BridgeJobOptions o;
    o.moviehostPath = std::string(KR_BIN_DIR) + "/moviehost";
    return o;
}

// The standard output of a shell command that must succeed; its standard error is dropped
// (the client's progress lines come there after a second on a busy machine).
std::string outputOf(const std::string& command) {
    const std::string file = readtest::mediaDirectory() + "/output-" + std::to_string(getpid()) + ".txt";
    EXPECT_EQ(std::system((command + " >'" + file + "' 2>/dev/null").c_str()), 0) << command;
    std::ifstream in(file);
    std::string text(std::istreambuf_iterator<char>(in), {});
    std::filesystem::remove(file);
    return text;
}

// Opening path must fail with exit code -6 and a failure text holding reason.
void expectRefusedWithMinusSix(const std::string& path, const std::string& reason) {
    try {
        MovieReadClient refused(path, options());
        ADD_FAILURE() << path << " opened";
    } catch (const BridgeError& error) {
        const std::string text = error.what();
        EXPECT_NE(text.find("exit code -6"), std::string::npos) << text;
        EXPECT_NE(text.find(reason), std::string::npos) << text;
    }
}

const MovieRecipe plainH264{"reading-h264.mov", 96, 64, "25", 14, "-c:v libx264 -g 6 -bf 2 -pix_fmt yuv420p"};
const MovieRecipe dropFrame{"reading-df.mov", 64, 48, "30000/1001", 4, "-c:v mjpeg -timecode '00:00:59;28'"};

TEST(MovieReading, ReplyDescribesTheMovieAndTheSectionAndDiagnosticsAreTwoLines) {
    MovieReadClient movie(readtest::makeMovie({"reading-640x480.mov", 640, 480, "25", 5, "-c:v mjpeg"}), options());
    EXPECT_EQ(movie.reply().width, 640u);
    EXPECT_EQ(movie.reply().height, 480u);
    EXPECT_EQ(movie.reply().frameCount, 5u);
    EXPECT_EQ(movie.reply().frameRate, 25u);
    EXPECT_EQ(movie.reply().sectionSize, 1228820u);
    char nullTrack[32];
    std::snprintf(nullTrack, sizeof nullTrack, "%p", static_cast<void*>(nullptr));
    EXPECT_EQ(movie.diagnostics(), "timecode: " + std::string(nullTrack) + "\nw 640, h 480\n");
    EXPECT_EQ(movie.close(), 0);
}

TEST(MovieReading, FramesMatchIndependentDecodeAndOutOfRangeRequestsGiveTheLast) {
    const std::string path = readtest::makeMovie(plainH264);
    const auto reference = readtest::decodeWithFfmpeg(path);
    MovieReadClient movie(path, options());
    const auto count = static_cast<std::int32_t>(movie.reply().frameCount);
    ASSERT_EQ(count, static_cast<std::int32_t>(reference.size()));

    std::uint32_t visited = 0;
    movie.forEachFrame([&](std::uint32_t index, const ReadFrameView& frame) {
        EXPECT_EQ(index, visited++);
        EXPECT_EQ(readtest::largestDifference(frame.pixels, reference[index], 96, 64), 0) << "frame " << index;
    });
    EXPECT_EQ(visited, static_cast<std::uint32_t>(count));

    std::vector<std::int32_t> requests;
    for (std::int32_t i = count - 1; i >= 0; --i) {
        requests.push_back(i);
    }
    requests.insert(requests.end(), {3, 3, 0, 1, 2, count, count + 1000, -5});
    for (const std::int32_t request : requests) {
        const ReadFrameView frame = movie.readFrame(request);
        const std::size_t expected = request >= 0 && request < count ? request : count - 1;
        ASSERT_EQ(readtest::largestDifference(frame.pixels, reference[expected], 96, 64), 0) << "request " << request;
        // Without a timecode track only the flags field is written.
        const std::uint8_t* header = frame.pixels - FrameHeader::size;
        EXPECT_TRUE(std::all_of(header, header + 4, [](auto b) { return b == 0xFF; }));
        EXPECT_TRUE(std::all_of(header + 4, header + 20, [](auto b) { return b == 0; }));
    }
    EXPECT_EQ(movie.close(), 0);
}

TEST(MovieReading, HeaderCarriesTimecodeDefinitionAndRecordTheSameEachTime) {
    MovieReadClient movie(readtest::makeMovie(dropFrame), options());
    EXPECT_NE(movie.diagnostics().rfind("timecode: 0x", 0), std::string::npos) << movie.diagnostics();
    const ReadFrameView third = movie.readFrame(2);
    const std::vector<std::uint8_t> firstPixels(third.pixels, third.pixels + 64 * 48 * 4);
    EXPECT_EQ(third.header.timecodeFlags & 1, 1);
    EXPECT_EQ(third.header.timeScale, 30000);
    EXPECT_EQ(third.header.frameDuration, 1001);
    EXPECT_EQ(third.header.framesPerSecond, 30);
    EXPECT_EQ(timecodeText(third.header), "00:01:00;02");
    EXPECT_EQ(timecodeText(movie.readFrame(0).header), "00:00:59;28");
    const ReadFrameView again = movie.readFrame(2);
    EXPECT_EQ(timecodeText(again.header), "00:01:00;02");
    EXPECT_EQ(std::memcmp(again.pixels, firstPixels.data(), firstPixels.size()), 0);
    EXPECT_EQ(movie.close(), 0);
}

std::string pathOfLength(const std::filesystem::path& directory, std::size_t length) {
    const std::string prefix = directory.string() + "/";
    return prefix + std::string(length - prefix.size() - 4, 'm') + ".mov";
}

// 254 characters open; 255 fail as not loaded, even though the file is a good movie.
// Failures take the bridge's two seconds each, so the refusals share one test.
TEST(MovieReading, PathLengthRuleAndUnreadableFilesGiveMinusSix) {
    const std::string movie = readtest::makeMovie(plainH264);
    // A short directory of its own, so that the length comes from the file name wherever
    // the build tree lies.
    const std::filesystem::path directory =
        std::filesystem::temp_directory_path() / ("krread-" + std::to_string(getpid()));
    std::filesystem::create_directories(directory);
    const std::string path254 = pathOfLength(directory, 254);
    const std::string path255 = pathOfLength(directory, 255);
    for (const auto& path : {path254, path255}) {
        std::filesystem::remove(path);
        std::filesystem::create_symlink(movie, path);
    }
    {
        MovieReadClient opened(path254, options());
        EXPECT_EQ(opened.reply().frameCount, plainH264.frames);
        EXPECT_EQ(opened.close(), 0);
    }

    const std::string garbage = readtest::mediaDirectory() + "/reading-garbage.mov";
    std::ofstream(garbage) << "this is no movie\n";
    for (const auto& path : {path255, garbage}) {
        expectRefusedWithMinusSix(path, "exception: 'failed to load movie'");
        // The user's file is never overwritten with the failure text.
        EXPECT_EQ(std::filesystem::file_size(path), std::filesystem::file_size(path == garbage ? garbage : movie));
    }
    std::filesystem::remove_all(directory);
}

// Opening a FIFO for reading waits for a writer that never comes; a directory is no movie
// either. Both are refused with the reason before anything is opened.
TEST(MovieReading, AnythingButARegularFileIsRefusedWithoutBlocking) {
    const std::string fifo = readtest::mediaDirectory() + "/reading-fifo-" + std::to_string(getpid()) + ".mov";
    std::filesystem::remove(fifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, readtest::mediaDirectory()}) {
        expectRefusedWithMinusSix(path, "not a regular file");
    }
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    std::filesystem::remove(fifo);
}

TEST(MovieReadingCommands, FramesWritesPngTopRowFirstAndInfoPrintsTheMovie) {
    const std::string path = readtest::makeMovie(dropFrame);
    const auto reference = readtest::decodeWithFfmpeg(path);
    const std::string client = std::string(KR_BIN_DIR) + "/moviehost-client";
    const std::filesystem::path out =
        std::filesystem::path(readtest::mediaDirectory()) / ("frames-" + std::to_string(getpid()));
    std::filesystem::remove_all(out);
    EXPECT_EQ(outputOf(client + " frames '" + path + "' '" + out.string() + "' 3-1"),
              "frame-000003.png 00:01:00;03\nframe-000002.png 00:01:00;02\nframe-000001.png 00:00:59;29\n"
              "3 frames written to " +
                  out.string() + "\n");
    for (int i = 1; i <= 3; ++i) {
        const PngImage image = readPng((out / ("frame-00000" + std::to_string(i) + ".png")).string());
        ASSERT_EQ(image.width, 64u);
        ASSERT_TRUE(image.hasAlpha);
        for (std::size_t p = 0; p < 64 * 48; ++p) {
            const auto* bgra = reference[i].data() + p * 4;
            const auto* rgba = image.pixels.data() + p * 4;
            ASSERT_EQ((std::array<int, 4>{rgba[2], rgba[1], rgba[0], rgba[3]}),
                      (std::array<int, 4>{bgra[0], bgra[1], bgra[2], bgra[3]}))
                << "frame " << i << " pixel " << p;
        }
    }
    EXPECT_FALSE(std::filesystem::exists(out / "frame-000000.png"));
    std::filesystem::remove_all(out);

    EXPECT_EQ(outputOf(client + " info '" + path + "'"),
              "size: 64 x 48\nframes: 4\nrate: 29\nstart timecode: 00:00:59;28\n");

    // A selection outside the movie is refused before anything is written.
    EXPECT_NE(std::system((client + " frames '" + path + "' '" + out.string() + "' 2-4 2>/dev/null").c_str()), 0);
    EXPECT_TRUE(!std::filesystem::exists(out) || std::filesystem::is_empty(out));
    std::filesystem::remove_all(out);
}

TEST(MovieReadingCommands, PlayAccountsForEveryFrameAndEndsWithItsVerdict) {
    const std::string path = readtest::makeMovie({"reading-play.mov", 64, 48, "25", 30, "-c:v mjpeg"});
    const std::string client = std::string(KR_BIN_DIR) + "/moviehost-client";
    const std::string reportFile = readtest::mediaDirectory() + "/play-" + std::to_string(getpid()) + ".txt";
    // 0.5 s at 50 frames/s: the first 25 of the 30 frames.
    ASSERT_EQ(
        std::system((client + " play '" + path + "' --fps 50 --seconds 0.5 >'" + reportFile + "' 2>/dev/null").c_str()),
        0);
    std::ifstream report(reportFile);
    std::vector<std::string> lines;
    for (std::string line; std::getline(report, line);) {
        lines.push_back(line);
    }
    std::filesystem::remove(reportFile);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "movie: 64 x 48, 30 frames, played 25 at 50 frames/s");
    unsigned shown = 0, late = 0, dropped = 0;
    ASSERT_EQ(std::sscanf(lines[1].c_str(), "frames: %u shown, %u late, %u dropped", &shown, &late, &dropped), 3);
    EXPECT_EQ(shown + dropped, 25u);
    EXPECT_LE(late, shown);
    double median = 0, percentile = 0, bridgePeak = 0;
    EXPECT_EQ(std::sscanf(lines[2].c_str(), "frame time: median %lf ms, 99th percentile %lf ms", &median, &percentile),
              2);
    EXPECT_LE(median, percentile);
    EXPECT_EQ(std::sscanf(lines[3].c_str(), "peak memory: moviehost %lf MiB", &bridgePeak), 1);
    EXPECT_GT(bridgePeak, 0);
    EXPECT_EQ(lines[4].rfind(late + dropped == 0 ? "real time: yes" : "real time: no", 0), 0u) << lines[4];

    // Words it cannot take are refused with the usage; a movie it cannot open fails.
    const std::string movie = " '" + path + "'";
    for (const std::string& words :
         {std::string(), movie + " --fps 0", movie + " --seconds x", movie + " --fps", movie + " extra"}) {
        EXPECT_EQ(WEXITSTATUS(std::system((client + " play" + words + " >/dev/null 2>&1").c_str())), 2) << words;
    }
    EXPECT_EQ(WEXITSTATUS(std::system((client + " play '" + path + ".missing' >/dev/null 2>&1").c_str())), 1);
}

} // namespace
