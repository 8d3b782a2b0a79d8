// SPDX-License-Identifier: Apache-2.0
// Mode w through the real moviehost, driven by the host-side client; the movies are
// checked with FFmpeg's demuxer and read back through moviehost r.

#include "bridgeJob.h"
#include "movieReadClient.h"
#include "movieWriteClient.h"
#include "records.h"
#include "writtenMovieProbe.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace bridge::client {
namespace {

using testing::filesContaining;
using testing::gamaAtom;
using testing::probeMovie;

BridgeJobOptions moviehostInBuild() {
    BridgeJobOptions options;
    options.moviehostPath = std::string(KR_BIN_DIR) + "/moviehost";
    return options;
}

std::string contentsOf(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

// Red, green, blue (and alpha) of pixel (x, y) of frame n, y counted from the top.
std::uint8_t component(int x, int y, int n, int c) {
    return static_cast<std::uint8_t>(c == 0 ? x * 11 + n : c == 1 ? y * 17 : c == 2 ? n * 50 + x : 200 - y);
}

std::vector<std::uint8_t> testFrame(int width, int height, int bytesPerPixel, int n) {
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < bytesPerPixel; ++c) {
                pixels.push_back(component(x, y, n, c));
            }
        }
    }
    return pixels;
}

class MovieWritingTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory = std::filesystem::temp_directory_path() / ("movieWritingTest-" + std::to_string(getpid()));
        std::filesystem::create_directories(directory);
        path = (directory / "movie.mov").string();
        unsetenv("ZEPH_QUICKTIME_ENCODING_GAMMA");
    }
    void TearDown() override {
        unsetenv("ZEPH_QUICKTIME_ENCODING_GAMMA");
        std::filesystem::remove_all(directory);
    }

    // Only the movie (or its failure text) is left in the directory.
    void expectNoStagingFile() {
        EXPECT_EQ(filesContaining(directory.string(), "staging"), std::vector<std::string>{});
    }

    std::filesystem::path directory;
    std::string path;
};

TEST_F(MovieWritingTest, RoundTripsPixelsExactlyWithALosslessCodec) {
    const int width = 19;
    const int height = 7;
    MovieWriteClient movie(path, {width, height, 25, 3, 100, "png"}, moviehostInBuild());
    for (int n = 0; n < 3; ++n) {
        movie.addFrame(testFrame(width, height, 3, n).data(), PixelRows::topFirst);
    }
    movie.finish();
    expectNoStagingFile();

    MovieReadClient reading(path, moviehostInBuild());
    ASSERT_EQ(reading.reply().width, 19u);
    ASSERT_EQ(reading.reply().height, 7u);
    ASSERT_EQ(reading.reply().frameCount, 3u);
    EXPECT_EQ(reading.reply().frameRate, 25u);
    for (int n = 0; n < 3; ++n) {
        const ReadFrameView frame = reading.readFrame(n);
        for (int row = 0; row < height; ++row) {
            const int y = height - 1 - row; // rows come bottom first
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* p = frame.pixels + (row * width + x) * 4;
                ASSERT_EQ(p[2], component(x, y, n, 0)) << "frame " << n << " at " << x << "," << y;
                ASSERT_EQ(p[1], component(x, y, n, 1));
                ASSERT_EQ(p[0], component(x, y, n, 2));
            }
        }
    }
    EXPECT_EQ(reading.close(), 0);
}

TEST_F(MovieWritingTest, WritesVideoThenSoundTracksWithTheGammaOfTheEnvironment) {
    setenv("ZEPH_QUICKTIME_ENCODING_GAMMA", "1.0", 1);
    MovieWriteClient movie(path, {80, 60, 25, 4, 50, "mjpeg"}, moviehostInBuild());
    ASSERT_EQ(movie.sectionSize(), 19200u);
    for (int n = 0; n < 3; ++n) {
        movie.addFrame(testFrame(80, 60, 4, n).data(), PixelRows::topFirst);
    }
    movie.finishVideo();
    movie.addSoundTrack({2, 16, 48000});
    const std::vector<std::uint8_t> samples(19200 * 2 + 400, 0x40);
    movie.addSamples(samples.data(), samples.size()); // two chunks of exactly the section size, then 400 bytes
    movie.finishSoundTrack();
    movie.addSoundTrack({1, 8, 8000});
    movie.addSamples(samples.data(), 800);
    movie.finishSoundTrack();
    movie.finish();

    const auto written = probeMovie(path);
    ASSERT_EQ(written.tracks.size(), 3u);
    const auto& video = written.tracks[0];
    EXPECT_EQ(video.codec, "mjpeg");
    EXPECT_EQ(video.timeBaseDen, 2500);
    EXPECT_EQ(video.pts, (std::vector<std::int64_t>{0, 100, 200}));
    EXPECT_EQ(video.durations, (std::vector<std::int64_t>{100, 100, 100}));
    EXPECT_EQ(written.tracks[1].tag, "sowt");
    EXPECT_EQ(written.tracks[1].sampleCount, 4800 * 2 + 100);
    EXPECT_EQ(written.tracks[2].tag, "raw ");
    EXPECT_EQ(written.tracks[2].sampleCount, 800);
    ASSERT_TRUE(gamaAtom(path).has_value());
    EXPECT_DOUBLE_EQ(*gamaAtom(path), 1.0);
}

TEST_F(MovieWritingTest, KeepsAnEmptyVideoTrackFallsBackToJpegAndKeepsTheDefaultGamma) {
    setenv("ZEPH_QUICKTIME_ENCODING_GAMMA", "bright", 1);
    MovieWriteClient movie(path, {16, 16, 24, 3, 50, "PNG"}, moviehostInBuild());
    movie.finish(); // -1 for the video at once, then -1: no sound track
    const auto written = probeMovie(path);
    ASSERT_EQ(written.tracks.size(), 1u);
    EXPECT_EQ(written.tracks[0].kind, "video");
    EXPECT_EQ(written.tracks[0].codec, "mjpeg");
    EXPECT_EQ(written.tracks[0].timeBaseDen, 2400);
    EXPECT_TRUE(written.tracks[0].pts.empty());
    ASSERT_TRUE(gamaAtom(path).has_value());
    EXPECT_NEAR(*gamaAtom(path), 2.2, 1.0 / 65536);
}

TEST_F(MovieWritingTest, AFailureLeavesOnlyItsTextInTheMovieFileAndItsExitCode) {
    BridgeJob job("w", path, moviehostInBuild());
    job.waitForReply();
    WriteSetup setup;
    setup.width = 65536;
    setup.height = 65536;
    setup.frameRate = 24;
    setup.bytesPerPixel = 4;
    setup.setCodecName("png");
    job.send(encode(setup));
    EXPECT_EQ(job.waitForExit(), -7);
    EXPECT_EQ(contentsOf(path), "failed to map memory: frame of 65536 x 65536 x 4 bytes does not fit 32 bits\n");
    expectNoStagingFile();
}

TEST_F(MovieWritingTest, AChunkLargerThanTheSectionFailsTheJobAfterFramesWereStaged) {
    BridgeJob job("w", path, moviehostInBuild());
    job.waitForReply();
    WriteSetup setup;
    setup.width = 8;
    setup.height = 8;
    setup.frameRate = 30;
    setup.bytesPerPixel = 3;
    setup.setCodecName("mjpeg");
    job.send(encode(setup));
    const WriteReply reply = decodeWriteReply(job.receive<WriteReply::size>());
    EXPECT_EQ(reply.sectionSize, 192u);
    job.sendControlWord(0);
    job.waitForReply();
    job.sendControlWord(endMarker);
    job.waitForReply();
    job.sendControlWord(1);
    job.waitForReply();
    job.send(encode(AudioSetup{2, 16, 44100, 0}));
    job.waitForReply();
    job.sendControlWord(193);
    EXPECT_EQ(job.waitForExit(), -101);
    EXPECT_EQ(contentsOf(path),
              "error from AddMediaSample: chunk of 193 bytes does not fit the section of 192 bytes\n");
    expectNoStagingFile();
}

} // namespace
} // namespace bridge::client
