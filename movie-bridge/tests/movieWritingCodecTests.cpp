// SPDX-License-Identifier: Apache-2.0
// Every codec moviehost lists, written through the real channel and read back by FFmpeg
// alone and by moviehost r; and the encoder cases that once failed: ProRes profiles and
// alpha, MPEG frame rates, encoders that take only some sizes, odd sizes, long names, a
// crash mid-write, deep sound.

#include "bridgeJob.h"
#include "codecQueryClient.h"
#include "movieReadClient.h"
#include "movieWriteClient.h"
#include "records.h"
#include "writtenMovieProbe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <unistd.h>
#include <utility>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace bridge::client {
namespace {

using testing::decodeRgba;
using testing::probeMovie;

BridgeJobOptions moviehostInBuild() {
    BridgeJobOptions options;
    options.moviehostPath = std::string(KR_BIN_DIR) + "/moviehost";
    return options;
}

// Red, green, blue, alpha of pixel (x, y) of frame n, y counted from the top: smooth enough
// for every lossy encoder, different in every frame.
std::vector<std::uint8_t> testFrame(int width, int height, int bytesPerPixel, int n) {
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint8_t rgba[] = {std::uint8_t(x * 3 + n * 20), std::uint8_t(y * 5),
                                         std::uint8_t(128 + n * 30 - x), std::uint8_t(255 - y * 2)};
            pixels.insert(pixels.end(), rgba, rgba + bytesPerPixel);
        }
    }
    return pixels;
}

struct FrameSize {
    int width;
    int height;
};

// Encoders that take only some frame sizes are written at one they take.
FrameSize sizeFor(const std::string& encoder) {
    static const std::map<std::string, FrameSize> restricted{
        {"h263", {128, 96}}, {"dvvideo", {720, 480}}, {"dnxhd", {256, 120}}};
    const auto found = restricted.find(encoder);
    return found == restricted.end() ? FrameSize{48, 32} : found->second;
}

// Encoders whose stored pictures are the RGB(A) they were given: mode r must give back
// every byte.
const std::set<std::string> losslessRgb{"png",  "qtrle", "rawvideo", "tiff", "targa", "sgi",     "dpx",    "magicyuv",
                                        "r210", "r10k",  "avrp",     "exr",  "ffv1",  "ffvhuff", "huffyuv"};

class MovieWritingCodecTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory = std::filesystem::temp_directory_path() / ("movieWritingCodecTest-" + std::to_string(getpid()));
        std::filesystem::create_directories(directory);
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    std::string write(const std::string& name, const MovieWriteSettings& settings, int frames) {
        const std::string path = (directory / (name + ".mov")).string();
        MovieWriteClient movie(path, settings, moviehostInBuild());
        for (int n = 0; n < frames; ++n) {
            movie.addFrame(testFrame(settings.width, settings.height, settings.bytesPerPixel, n).data(),
                           PixelRows::topFirst);
        }
        movie.finish();
        return path;
    }

    // Only the movies are in the folder.
    std::vector<std::string> strayFiles() {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(directory)) {
            if (entry.path().extension() != ".mov") {
                names.push_back(entry.path().filename().string());
            }
        }
        return names;
    }

    std::filesystem::path directory;
};

// The largest and the mean difference of red, green and blue between two RGBA pictures.
std::pair<int, double> colourDifference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    int largest = 0;
    double sum = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (i % 4 != 3) {
            const int d = std::abs(int(a[i]) - int(b[i]));
            largest = std::max(largest, d);
            sum += d;
        }
    }
    return {largest, sum / double(a.size() / 4 * 3)};
}

TEST_F(MovieWritingCodecTest, EveryListedCodecWritesAMovieThatFfmpegAndModeRReadBack) {
    const auto names = queryCodecs((directory / "query.txt").string(), moviehostInBuild());
    ASSERT_FALSE(names.empty());
    int lossless = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        const FrameSize size = sizeFor(name);
        // Both pixel sizes through FFmpeg's own decode; mode r reads one of them, in turn.
        for (const int bytesPerPixel : {3, 4}) {
            SCOPED_TRACE(name + " from " + std::to_string(bytesPerPixel) + "-byte pixels");
            std::string path;
            try {
                path = write(name, {size.width, size.height, 24, bytesPerPixel, 100, name}, 3);
            } catch (const std::exception& error) {
                ADD_FAILURE() << error.what();
                continue;
            }

            const auto movie = probeMovie(path);
            ASSERT_EQ(movie.tracks.size(), 1u);
            const auto& video = movie.tracks[0];
            EXPECT_EQ(video.codec, avcodec_get_name(avcodec_find_encoder_by_name(name.c_str())->id));
            EXPECT_EQ(video.width, size.width);
            EXPECT_EQ(video.height, size.height);
            std::vector<std::int64_t> pts = video.pts;
            std::sort(pts.begin(), pts.end());
            EXPECT_EQ(pts, (std::vector<std::int64_t>{0, 100, 200}));

            // Lossless encoders give back every byte; lossy ones at quality 100 stay near (GIF's
            // palette and VC-2 the farthest, a mean of 20; bytes laid out wrongly are far off).
            const auto decoded = decodeRgba(path);
            ASSERT_EQ(decoded.size(), 3u);
            for (int n = 0; n < 3; ++n) {
                const auto [largest, mean] = colourDifference(decoded[n], testFrame(size.width, size.height, 4, n));
                if (losslessRgb.count(name)) {
                    EXPECT_EQ(largest, 0) << "frame " << n;
                } else {
                    EXPECT_LT(mean, 32) << "frame " << n;
                }
            }

            if (bytesPerPixel == 3 + int(i % 2)) {
                MovieReadClient reading(path, moviehostInBuild());
                ASSERT_EQ(reading.reply().frameCount, 3u);
                if (losslessRgb.count(name)) {
                    ++lossless;
                    for (int n = 0; n < 3; ++n) {
                        const auto expected = testFrame(size.width, size.height, 4, n);
                        const ReadFrameView frame = reading.readFrame(n);
                        int differing = 0;
                        for (int y = 0; y < size.height; ++y) {
                            const std::uint8_t* row = frame.pixels + std::size_t(size.height - 1 - y) * size.width * 4;
                            for (int x = 0; x < size.width; ++x) {
                                const std::uint8_t* want = &expected[(std::size_t(y) * size.width + x) * 4];
                                differing +=
                                    row[4 * x + 2] != want[0] || row[4 * x + 1] != want[1] || row[4 * x] != want[2];
                            }
                        }
                        EXPECT_EQ(differing, 0) << "frame " << n;
                    }
                } else {
                    reading.readFrame(2);
                }
                EXPECT_EQ(reading.close(), 0);
            }
            std::filesystem::remove(path);
        }
    }
    EXPECT_GT(lossless, 3);
    EXPECT_EQ(strayFiles(), std::vector<std::string>{});
}

TEST_F(MovieWritingCodecTest, ProresCarriesItsProfilesTypeAndKeepsAlphaIn4444) {
    const std::pair<int, const char*> profiles[] = {
        {0, "apco"}, {20, "apcs"}, {40, "apcn"}, {60, "apch"}, {100, "ap4h"}};
    for (const auto& [quality, tag] : profiles) {
        const std::string path = write(tag, {64, 32, 25, 4, quality, "prores_ks"}, 2);
        const auto movie = probeMovie(path);
        ASSERT_EQ(movie.tracks.size(), 1u);
        EXPECT_EQ(movie.tracks[0].tag, tag) << "quality " << quality;
    }
    const auto decoded = decodeRgba((directory / "ap4h.mov").string());
    ASSERT_EQ(decoded.size(), 2u);
    const auto given = testFrame(64, 32, 4, 1);
    for (std::size_t p = 3; p < given.size(); p += 4) {
        ASSERT_NEAR(decoded[1][p], given[p], 1) << "alpha of pixel " << p / 4;
    }
}

TEST_F(MovieWritingCodecTest, MpegVideoIsToldTheFrameRateAndTheTrackKeepsItsTimeScale) {
    for (const char* encoder : {"mpeg1video", "mpeg2video"}) {
        for (const double rate : {23.976, 24.0, 25.0, 29.97, 30.0}) {
            SCOPED_TRACE(std::string(encoder) + " at " + std::to_string(rate));
            const std::string path = write("mpeg", {64, 48, rate, 3, 50, encoder}, 3);
            const auto movie = probeMovie(path);
            ASSERT_EQ(movie.tracks.size(), 1u);
            EXPECT_EQ(movie.tracks[0].codec, encoder);
            EXPECT_EQ(movie.tracks[0].timeBaseDen, int(rate * 100));
            std::vector<std::int64_t> pts = movie.tracks[0].pts;
            std::sort(pts.begin(), pts.end());
            EXPECT_EQ(pts, (std::vector<std::int64_t>{0, 100, 200}));
            EXPECT_EQ(decodeRgba(path).size(), 3u);
        }
    }
}

TEST_F(MovieWritingCodecTest, EncodersThatTakeOnlySomeSizesRefuseOthersAtOnceNamingThem) {
    const struct {
        const char* encoder;
        FrameSize size;
        const char* named;
    } cases[] = {{"h263", {100, 100}, "128 x 96, 176 x 144, 352 x 288"},
                 {"dvvideo", {640, 480}, "720 x 480, 720 x 576"},
                 {"dnxhd", {200, 100}, "at least 256 x 120"},
                 {"v210", {47, 32}, "a width that is a multiple of 2, not 47 x 32"},
                 {"cinepak", {48, 30}, "a height that is a multiple of 4"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.encoder);
        const std::string path = (directory / "refused.mov").string();
        BridgeJob job("w", path, moviehostInBuild());
        job.waitForReply();
        WriteSetup setup;
        setup.width = c.size.width;
        setup.height = c.size.height;
        setup.frameRate = 25;
        setup.bytesPerPixel = 3;
        setup.setCodecName(c.encoder);
        job.send(encode(setup));
        EXPECT_EQ(job.waitForExit(), -58);
        std::ifstream file(path);
        const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        EXPECT_EQ(text.rfind("failed to create compression session: ", 0), 0u) << text;
        EXPECT_NE(text.find(c.named), std::string::npos) << text;
    }
}

TEST_F(MovieWritingCodecTest, Libx264WritesOddSizes) {
    for (const FrameSize size : {FrameSize{33, 17}, FrameSize{32, 17}, FrameSize{33, 16}}) {
        SCOPED_TRACE(std::to_string(size.width) + " x " + std::to_string(size.height));
        const std::string path = write("odd", {size.width, size.height, 25, 3, 100, "libx264"}, 3);
        const auto decoded = decodeRgba(path);
        ASSERT_EQ(decoded.size(), 3u);
        const auto given = testFrame(size.width, size.height, 4, 2);
        EXPECT_NEAR(decoded[2][0], given[0], 8);
    }
}

TEST_F(MovieWritingCodecTest, AnOutputNameOf255CharactersIsWrittenWithNothingBesideIt) {
    const std::string name = std::string(251, 'n') + ".mov";
    const std::string path = (directory / name).string();
    MovieWriteClient movie(path, {16, 16, 25, 3, 50, "png"}, moviehostInBuild());
    movie.addFrame(testFrame(16, 16, 3, 0).data(), PixelRows::topFirst);
    movie.finish();
    EXPECT_EQ(probeMovie(path).tracks.at(0).pts.size(), 1u);
    EXPECT_EQ(strayFiles(), std::vector<std::string>{});
}

TEST_F(MovieWritingCodecTest, AKillMidWriteLeavesNothingBesideTheOutput) {
    const std::string path = (directory / "killed.mov").string();
    BridgeJob job("w", path, moviehostInBuild());
    job.waitForReply();
    WriteSetup setup;
    setup.width = 64;
    setup.height = 64;
    setup.frameRate = 25;
    setup.bytesPerPixel = 3;
    setup.setCodecName("mjpeg");
    job.send(encode(setup));
    job.receive<WriteReply::size>();
    for (int n = 0; n < 5; ++n) {
        job.sendControlWord(n);
        job.waitForReply();
    }
    ::kill(job.process().pid(), SIGKILL);
    EXPECT_THROW(job.waitForExit(), BridgeError); // ended by a signal, not with an exit code
    EXPECT_EQ(strayFiles(), std::vector<std::string>{});
}

TEST_F(MovieWritingCodecTest, DeepSoundIsStoredLosslesslyAsIntegerSamples) {
    const struct {
        std::uint32_t bits;
        const char* tag;
        const char* codec;
    } cases[] = {{24, "in24", "pcm_s24le"}, {32, "in32", "pcm_s32le"}, {16, "sowt", "pcm_s16le"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        const std::string path = (directory / (std::string(c.tag) + ".mov")).string();
        MovieWriteClient movie(path, {16, 16, 25, 3, 50, "mjpeg"}, moviehostInBuild());
        movie.finishVideo();
        movie.addSoundTrack({2, c.bits, 48000});
        std::vector<std::uint8_t> samples(2 * c.bits / 8 * 1000);
        for (std::size_t i = 0; i < samples.size(); ++i) {
            samples[i] = std::uint8_t(i * 7 + i / 251);
        }
        movie.addSamples(samples.data(), samples.size());
        movie.finishSoundTrack();
        movie.finish();
        const auto written = probeMovie(path);
        ASSERT_EQ(written.tracks.size(), 2u);
        EXPECT_EQ(written.tracks[1].tag, c.tag);
        EXPECT_EQ(written.tracks[1].codec, c.codec);
        EXPECT_EQ(written.tracks[1].samples, samples);
    }
}

} // namespace
} // namespace bridge::client
