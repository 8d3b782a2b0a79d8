// SPDX-License-Identifier: Apache-2.0
#include "media/movieWriter.h"
#include "media/movieWriterYuvRows.h"
#include "outputLinkName.h"
#include "writeModeRules.h"
#include "writtenMovieProbe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <unistd.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

namespace bridge::media {
namespace {

using testing::decodeNative;
using testing::decodeRgba;
using testing::filesContaining;
using testing::gamaAtom;
using testing::probeMovie;

class MovieWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        directory = std::filesystem::temp_directory_path() / ("movieWriterTest-" + std::to_string(getpid()));
        std::filesystem::create_directories(directory);
        path = (directory / "movie.mov").string();
    }
    void TearDown() override { std::filesystem::remove_all(directory); }

    std::unique_ptr<MovieWriter> create() {
        int result = 0;
        auto writer = createMovieFile(path, result);
        EXPECT_EQ(result, 0);
        return writer;
    }

    // A video track of frames whose pixels are a function of position and frame number,
    // 100 units each at the given time scale.
    void writeVideo(MovieWriter& writer, const std::string& encoder, int frames, int width = 32, int height = 16,
                    std::int32_t timeScale = 2500, std::uint32_t quality = 0x300) {
        writer.setTimeScale(timeScale);
        ASSERT_EQ(writer.newVideoTrack(width, height, timeScale), 0);
        CompressionOptions options;
        options.codecQuality = quality;
        options.depth = 32;
        ASSERT_EQ(writer.createCompressionSession(encoder, options,
                                                  [&writer](const EncodedFrame& frame) {
                                                      ASSERT_GT(frame.decodeDuration, 0);
                                                      ASSERT_EQ(writer.addEncodedFrame(frame), 0);
                                                  }),
                  0);
        std::vector<std::uint8_t> section(std::size_t(width) * height * 4 + sectionFrameReadSlack);
        for (int n = 0; n < frames; ++n) {
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    std::uint8_t* p = &section[(std::size_t(height - 1 - y) * width + x) * 4];
                    p[0] = std::uint8_t(n * 40);
                    p[1] = std::uint8_t(y * 13);
                    p[2] = std::uint8_t(x * 7 + n);
                    p[3] = std::uint8_t(x + y);
                }
            }
            ASSERT_EQ(writer.encodeFrame(SectionFrame{section.data(), width, height, 4}, n * 100, 100), 0);
        }
        ASSERT_EQ(writer.completeFrames(), 0);
        writer.finishVideoTrack();
    }

    std::filesystem::path directory;
    std::string path;
};

TEST_F(MovieWriterTest, WritesTheVideoTrackInItsTimeScaleWithEverySampleOneHundredUnitsLong) {
    auto writer = create();
    writeVideo(*writer, "mjpeg", 5);
    ASSERT_EQ(writer->writeMovieResource(), 0);

    const auto movie = probeMovie(path);
    ASSERT_EQ(movie.tracks.size(), 1u);
    const auto& video = movie.tracks[0];
    EXPECT_EQ(video.kind, "video");
    EXPECT_EQ(video.codec, "mjpeg");
    EXPECT_EQ(video.tag, "jpeg");
    EXPECT_EQ(video.timeBaseNum, 1);
    EXPECT_EQ(video.timeBaseDen, 2500);
    EXPECT_EQ(video.width, 32);
    EXPECT_EQ(video.height, 16);
    EXPECT_EQ(video.pts, (std::vector<std::int64_t>{0, 100, 200, 300, 400}));
    EXPECT_EQ(video.durations, (std::vector<std::int64_t>(5, 100)));
}

TEST_F(MovieWriterTest, KeepsDisplayTimesOfAnEncoderThatReordersFrames) {
    if (!avcodec_find_encoder_by_name("libx264")) {
        GTEST_SKIP() << "libx264 is not in this FFmpeg";
    }
    auto writer = create();
    writeVideo(*writer, "libx264", 12, 32, 16, 2397);
    ASSERT_EQ(writer->writeMovieResource(), 0);
    auto video = probeMovie(path).tracks.at(0);
    EXPECT_EQ(video.codec, "h264");
    EXPECT_EQ(video.timeBaseDen, 2397);
    std::sort(video.pts.begin(), video.pts.end());
    std::vector<std::int64_t> expected;
    for (int n = 0; n < 12; ++n) {
        expected.push_back(n * 100);
    }
    EXPECT_EQ(video.pts, expected);
}

TEST_F(MovieWriterTest, StoresPixelsExactlyWithALosslessCodec) {
    for (const std::string encoder : {"png", "qtrle"}) {
        auto writer = create();
        writeVideo(*writer, encoder, 2, 19, 7);
        ASSERT_EQ(writer->writeMovieResource(), 0);
        const auto frames = decodeRgba(path);
        ASSERT_EQ(frames.size(), 2u) << encoder;
        for (int n = 0; n < 2; ++n) {
            const auto& rgba = frames[n];
            for (int y = 0; y < 7; ++y) {
                for (int x = 0; x < 19; ++x) {
                    const std::uint8_t* p = &rgba[(y * 19 + x) * 4];
                    ASSERT_EQ(p[0], std::uint8_t(n * 40)) << encoder << " " << x << "," << y;
                    ASSERT_EQ(p[1], std::uint8_t(y * 13));
                    ASSERT_EQ(p[2], std::uint8_t(x * 7 + n));
                    ASSERT_EQ(p[3], std::uint8_t(x + y));
                }
            }
        }
    }
}

// The encoder is handed the section's picture converted to its format, read here from
// encoders that store their pictures as given: even and odd sizes, with and without alpha.
// Planar Y'CbCr is what convertBottomUpRgbToYuv makes of the section (its own tests hold it
// to the BT.601 formulas); any other format is what libswscale makes of the same picture
// laid out top row first as BGRA (BGR0 without alpha) with zero bytes after each row.
TEST_F(MovieWriterTest, HandsTheEncoderTheSectionsPictureAtEveryWidth) {
    struct Row {
        const char* encoder;
        AVPixelFormat format;
        int width;
        int height;
        int bytesPerPixel;
        // How the session converts: itself, to this layout, or through libswscale.
        std::optional<YuvRowsLayout> direct;
    };
    const YuvRowsLayout yuv420{1, 1, false};
    const YuvRowsLayout yuv444{0, 0, false};
    const YuvRowsLayout yuv444Deep{0, 0, false, 10};
    for (const Row& row :
         {Row{"yuv4", AV_PIX_FMT_YUV420P, 48, 16, 4, yuv420}, Row{"yuv4", AV_PIX_FMT_YUV420P, 47, 15, 3, yuv420},
          Row{"yuv4", AV_PIX_FMT_YUV420P, 638, 6, 3, yuv420}, Row{"yuv4", AV_PIX_FMT_YUV420P, 1919, 3, 4, yuv420},
          Row{"v308", AV_PIX_FMT_YUV444P, 46, 9, 3, yuv444}, Row{"v410", AV_PIX_FMT_YUV444P10LE, 64, 5, 4, yuv444Deep},
          Row{"v408", AV_PIX_FMT_YUVA444P, 47, 5, 3, std::nullopt},
          Row{"v408", AV_PIX_FMT_YUVA444P, 64, 4, 4, std::nullopt}}) {
        SCOPED_TRACE(std::string(row.encoder) + " " + std::to_string(row.width) + "x" + std::to_string(row.height) +
                     " " + std::to_string(row.bytesPerPixel));
        const int width = row.width;
        const int height = row.height;
        std::vector<std::uint8_t> section(std::size_t(width) * height * row.bytesPerPixel + sectionFrameReadSlack);
        std::uint32_t noise = 12345;
        for (auto& byte : section) {
            noise = noise * 1664525u + 1013904223u;
            byte = std::uint8_t(noise >> 24);
        }
        auto writer = create();
        writer->setTimeScale(2500);
        ASSERT_EQ(writer->newVideoTrack(width, height, 2500), 0);
        CompressionOptions options;
        options.depth = row.bytesPerPixel * 8;
        ASSERT_EQ(writer->createCompressionSession(row.encoder, options,
                                                   [&](const EncodedFrame& frame) { writer->addEncodedFrame(frame); }),
                  0);
        ASSERT_EQ(writer->encodeFrame(SectionFrame{section.data(), width, height, row.bytesPerPixel}, 0, 100), 0);
        ASSERT_EQ(writer->completeFrames(), 0);
        writer->finishVideoTrack();
        ASSERT_EQ(writer->writeMovieResource(), 0);

        std::vector<std::uint8_t> planes(std::size_t(av_image_get_buffer_size(row.format, width, height, 1)));
        if (row.direct) {
            const int shift = row.direct->chromaShiftX;
            const int sampleBytes = row.direct->bitDepth > 8 ? 2 : 1;
            const std::ptrdiff_t chromaWidth = -(-width >> shift);
            std::uint8_t* u = planes.data() + std::size_t(width) * height * sampleBytes;
            convertBottomUpRgbToYuv(section.data(), width, height, row.bytesPerPixel, *row.direct,
                                    {{planes.data(), u, u + chromaWidth * -(-height >> shift) * sampleBytes},
                                     {width * sampleBytes, chromaWidth * sampleBytes, chromaWidth * sampleBytes}});
        } else {
            AVFrame* bgra = av_frame_alloc();
            bgra->format = row.bytesPerPixel == 4 ? AV_PIX_FMT_BGRA : AV_PIX_FMT_BGR0;
            bgra->width = width;
            bgra->height = height;
            ASSERT_EQ(av_frame_get_buffer(bgra, 0), 0);
            for (int y = 0; y < height; ++y) {
                std::uint8_t* to = bgra->data[0] + y * bgra->linesize[0];
                std::fill_n(to, bgra->linesize[0], 0);
                const std::uint8_t* from = &section[std::size_t(height - 1 - y) * width * row.bytesPerPixel];
                for (int x = 0; x < width; ++x, from += row.bytesPerPixel, to += 4) {
                    to[0] = from[2];
                    to[1] = from[1];
                    to[2] = from[0];
                    to[3] = row.bytesPerPixel == 4 ? from[3] : 0;
                }
            }
            AVFrame* expected = av_frame_alloc();
            expected->format = row.format;
            expected->width = width;
            expected->height = height;
            ASSERT_EQ(av_frame_get_buffer(expected, 0), 0);
            SwsContext* scale = sws_getContext(width, height, AVPixelFormat(bgra->format), width, height, row.format,
                                               SWS_BICUBIC, nullptr, nullptr, nullptr);
            sws_scale(scale, bgra->data, bgra->linesize, 0, height, expected->data, expected->linesize);
            av_image_copy_to_buffer(planes.data(), int(planes.size()), expected->data, expected->linesize, row.format,
                                    width, height, 1);
            sws_freeContext(scale);
            av_frame_free(&expected);
            av_frame_free(&bgra);
        }

        const auto decoded = decodeNative(path);
        ASSERT_EQ(decoded.size(), 1u);
        EXPECT_TRUE(decoded[0] == planes);
    }
}

TEST_F(MovieWriterTest, WritesTheGamaAtomWithTheVideoTrack) {
    auto writer = create();
    writer->setGamma(1.0f);
    writeVideo(*writer, "mjpeg", 1);
    ASSERT_EQ(writer->writeMovieResource(), 0);
    const auto gamma = gamaAtom(path);
    ASSERT_TRUE(gamma.has_value());
    EXPECT_DOUBLE_EQ(*gamma, 1.0);

    auto defaultGammaWriter = create();
    writeVideo(*defaultGammaWriter, "prores_ks", 1);
    ASSERT_EQ(defaultGammaWriter->writeMovieResource(), 0);
    ASSERT_TRUE(gamaAtom(path).has_value());
    EXPECT_NEAR(*gamaAtom(path), 2.2, 1.0 / 65536);
    EXPECT_EQ(probeMovie(path).tracks.at(0).codec, "prores");
}

TEST_F(MovieWriterTest, AddsSoundTracksAfterTheVideoInOrder) {
    auto writer = create();
    writeVideo(*writer, "mjpeg", 2);
    const std::vector<std::uint8_t> chunk(19200, 0x11);
    ASSERT_EQ(writer->newSoundTrack({2, 16, 48000, SampleFormat::signedLittleEndian16}), 0);
    ASSERT_EQ(writer->addSoundSamples(chunk.data(), 4800), 0);
    ASSERT_EQ(writer->addSoundSamples(chunk.data(), 4800), 0);
    writer->finishSoundTrack();
    ASSERT_EQ(writer->newSoundTrack({1, 8, 22050, SampleFormat::unsigned8}), 0);
    ASSERT_EQ(writer->addSoundSamples(chunk.data(), 1000), 0);
    writer->finishSoundTrack();
    ASSERT_EQ(writer->writeMovieResource(), 0);

    const auto movie = probeMovie(path);
    ASSERT_EQ(movie.tracks.size(), 3u);
    EXPECT_EQ(movie.tracks[0].kind, "video");
    const auto& stereo = movie.tracks[1];
    EXPECT_EQ(stereo.tag, "sowt");
    EXPECT_EQ(stereo.sampleRate, 48000);
    EXPECT_EQ(stereo.channels, 2);
    EXPECT_EQ(stereo.sampleCount, 9600);
    const auto& mono = movie.tracks[2];
    EXPECT_EQ(mono.tag, "raw ");
    EXPECT_EQ(mono.codec, "pcm_u8");
    EXPECT_EQ(mono.channels, 1);
    EXPECT_EQ(mono.sampleCount, 1000);
}

TEST_F(MovieWriterTest, KeepsTracksThatReceivedNothing) {
    auto writer = create();
    writeVideo(*writer, "mjpeg", 0);
    ASSERT_EQ(writer->newSoundTrack({2, 16, 48000, SampleFormat::signedLittleEndian16}), 0);
    writer->finishSoundTrack();
    ASSERT_EQ(writer->newSoundTrack({1, 16, 8000, SampleFormat::signedLittleEndian16}), 0);
    const std::vector<std::uint8_t> chunk(200);
    ASSERT_EQ(writer->addSoundSamples(chunk.data(), 100), 0);
    writer->finishSoundTrack();
    ASSERT_EQ(writer->writeMovieResource(), 0);

    const auto movie = probeMovie(path);
    ASSERT_EQ(movie.tracks.size(), 3u);
    EXPECT_EQ(movie.tracks[0].kind, "video");
    EXPECT_EQ(movie.tracks[0].codec, "mjpeg");
    EXPECT_TRUE(movie.tracks[0].pts.empty());
    EXPECT_EQ(movie.tracks[1].kind, "audio");
    EXPECT_EQ(movie.tracks[1].sampleCount, 0);
    EXPECT_EQ(movie.tracks[2].sampleRate, 8000);
    EXPECT_EQ(movie.tracks[2].sampleCount, 100);
}

TEST_F(MovieWriterTest, LeavesNoStagingFileBehindWhetherItFinishesOrNot) {
    {
        auto abandoned = create();
        writeVideo(*abandoned, "mjpeg", 3);
        EXPECT_EQ(filesContaining(directory.string(), "staging"), std::vector<std::string>{});
    }
    EXPECT_EQ(std::filesystem::directory_iterator(directory)->path().filename(), "movie.mov");
    auto finished = create();
    writeVideo(*finished, "mjpeg", 1);
    ASSERT_EQ(finished->writeMovieResource(), 0);
    finished.reset();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory), {}), 1);
}

// Until the movie resource is written the path holds the empty file made at the start and
// nothing else is in the folder; then the whole movie replaces it in one step, keeping the
// file's permissions, and through a link the file the link names. The second name a
// writer killed in that step left is taken over.
TEST_F(MovieWriterTest, TheMovieTakesThePathWholeOnlyAtTheEnd) {
    namespace fs = std::filesystem;
    const fs::path target = directory / "target.mov";
    std::ofstream(target) << "old";
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(target, directory / "link.mov");
    for (const fs::path& output : {fs::path(path), directory / "link.mov"}) {
        int result = 0;
        auto writer = createMovieFile(output.string(), result);
        ASSERT_EQ(result, 0);
        writeVideo(*writer, "mjpeg", 3);
        EXPECT_EQ(fs::file_size(output), 0u) << output;
        EXPECT_EQ(std::distance(fs::directory_iterator(directory), {}), 3);
        std::ofstream(outputLinkName(fs::canonical(output).string())) << "left by a killed writer";
        ASSERT_EQ(writer->writeMovieResource(), 0);
        EXPECT_EQ(probeMovie(output.string()).tracks.at(0).pts.size(), 3u);
        writer.reset();
        EXPECT_EQ(std::distance(fs::directory_iterator(directory), {}), 3);
    }
    EXPECT_TRUE(fs::is_symlink(directory / "link.mov"));
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(MovieWriterTest, ReportsWhatItCannotDo) {
    int result = 0;
    EXPECT_EQ(createMovieFile((directory / "missing" / "movie.mov").string(), result), nullptr);
    EXPECT_EQ(result, AVERROR(ENOENT));

    auto writer = create();
    ASSERT_EQ(writer->newVideoTrack(32, 16, 2400), 0);
    EXPECT_EQ(writer->createCompressionSession("no-such-encoder", {}, [](const EncodedFrame&) {}),
              AVERROR_ENCODER_NOT_FOUND);
    EXPECT_EQ(writer->createCompressionSession("pcm_s16le", {}, [](const EncodedFrame&) {}), AVERROR_ENCODER_NOT_FOUND);
    // A palette the converter cannot write; under the sanitizers this also proves nothing leaks.
    EXPECT_EQ(writer->createCompressionSession("smc", {}, [](const EncodedFrame&) {}), AVERROR(ENOSYS));

    // A frame that is not the session's size or layout is refused, not read.
    ASSERT_EQ(writer->createCompressionSession("mjpeg", {}, [](const EncodedFrame&) {}), 0);
    const std::vector<std::uint8_t> section(32 * 16 * 4 + sectionFrameReadSlack);
    EXPECT_EQ(writer->encodeFrame(SectionFrame{section.data(), 16, 16, 4}, 0, 100), AVERROR(EINVAL));
    EXPECT_EQ(writer->encodeFrame(SectionFrame{section.data(), 32, 16, 3}, 0, 100), AVERROR(EINVAL));
    EXPECT_EQ(writer->encodeFrame(SectionFrame{nullptr, 32, 16, 4}, 0, 100), AVERROR(EINVAL));
}

TEST_F(MovieWriterTest, HandsOnWhatTheOutputRaisesAndStillCleansUp) {
    auto writer = create();
    writer->setTimeScale(2400);
    ASSERT_EQ(writer->newVideoTrack(16, 16, 2400), 0);
    ASSERT_EQ(
        writer->createCompressionSession("mjpeg", {}, [](const EncodedFrame&) { throw std::runtime_error("full"); }),
        0);
    const std::vector<std::uint8_t> section(16 * 16 * 4 + sectionFrameReadSlack);
    EXPECT_THROW(
        {
            writer->encodeFrame(SectionFrame{section.data(), 16, 16, 4}, 0, 100);
            writer->completeFrames();
        },
        std::runtime_error);
    writer.reset();
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory), {}), 1);
}

} // namespace
} // namespace bridge::media
