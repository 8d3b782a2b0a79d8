// SPDX-License-Identifier: Apache-2.0
// The read matrix: small movies of every kind the ffmpeg command makes, read through moviehost
// and the real channel, each frame compared with the ffmpeg command's own decode and BGRA
// conversion of the same file (`ffmpeg -i F -fps_mode passthrough -pix_fmt bgra`): in order,
// backwards, at random and twice. Timecodes are compared with libavutil's timecode arithmetic.
// One table of cases; a case that cannot be byte-exact names its bound and the reason.

#include "movieReadClient.h"
#include "readTestMovies.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <unistd.h>

extern "C" {
#include <libavutil/timecode.h>
}

using namespace bridge::client;
using readtest::MovieRecipe;

namespace {

// A QuickTime track matrix (a b u / c d v / x y w), 16.16 except u, v, w at 2.30.
using TrackMatrix = std::array<std::int32_t, 9>;
constexpr std::int32_t one = 0x10000;
constexpr std::int32_t w = 0x40000000;

struct MatrixCase {
    std::string name;
    MovieRecipe recipe;
    // A second ffmpeg command making the movie read from the first: {before -i, after}.
    std::array<std::string, 2> derive = {};
    // A display matrix written over the track's own.
    std::optional<TrackMatrix> matrix = {};
    // The upright size when a display matrix turns the picture.
    bool turned = false;
    // The timecode rate and start ("30000/1001", "00:00:59;28") for the timecode oracle.
    std::array<std::string, 2> timecode = {};
    // The largest difference allowed, with why it cannot be 0.
    int bound = 0;
    std::string why = {};
    // The frame rate the reply must give; 0 leaves it unchecked.
    std::uint32_t rate = 0;
};

void PrintTo(const MatrixCase& c, std::ostream* os) {
    *os << c.name;
}

// Writes a track matrix over the first track header of a copy of the movie (version 0
// header: the matrix lies 40 bytes into its contents).
std::string withTrackMatrix(const std::string& source, const std::string& name, const TrackMatrix& matrix) {
    const std::string path = readtest::mediaDirectory() + "/" + name;
    std::ifstream in(source, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto tkhd = std::search(bytes.begin(), bytes.end(), "tkhd", "tkhd" + 4);
    if (tkhd == bytes.end() || tkhd[4] != 0) {
        throw std::runtime_error("no version 0 track header in " + source);
    }
    auto at = tkhd + 4 + 40;
    for (const std::int32_t value : matrix) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            *at++ = static_cast<char>(static_cast<std::uint32_t>(value) >> shift);
        }
    }
    const std::string partial = path + ".part" + std::to_string(getpid()) + ".mov";
    std::ofstream(partial, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::filesystem::rename(partial, path);
    return path;
}

std::string movieOf(const MatrixCase& c) {
    std::string path = readtest::makeMovie(c.recipe);
    if (!c.derive[0].empty() || !c.derive[1].empty()) {
        path = readtest::deriveMovie(path, "derived-" + c.recipe.name, c.derive[0], c.derive[1]);
    }
    if (c.matrix) {
        path = withTrackMatrix(path, "matrix-" + c.recipe.name, *c.matrix);
    }
    return path;
}

// The timecode of frame n as libavutil counts it.
std::string expectedTimecode(const MatrixCase& c, std::size_t frame) {
    const auto slash = c.timecode[0].find('/');
    const AVRational rate = slash == std::string::npos
                                ? AVRational{std::stoi(c.timecode[0]), 1}
                                : AVRational{std::stoi(c.timecode[0]), std::stoi(c.timecode[0].substr(slash + 1))};
    AVTimecode tc{};
    if (av_timecode_init_from_string(&tc, rate, c.timecode[1].c_str(), nullptr) < 0) {
        throw std::runtime_error("bad timecode " + c.timecode[1]);
    }
    char text[AV_TIMECODE_STR_SIZE];
    return av_timecode_make_string(&tc, text, static_cast<int>(frame));
}

BridgeJobOptions options() {
    BridgeJobOptions o;
    o.moviehostPath = std::string(KR_BIN_DIR) + "/moviehost";
    return o;
}

class ReadMatrix : public ::testing::TestWithParam<MatrixCase> {};

TEST_P(ReadMatrix, EveryFrameEqualsTheIndependentDecodeInAnyOrder) {
    const MatrixCase& c = GetParam();
    const std::string path = movieOf(c);
    const int width = c.turned ? c.recipe.height : c.recipe.width;
    const int height = c.turned ? c.recipe.width : c.recipe.height;
    const auto reference = readtest::decodeWithFfmpeg(path, width, height);
    ASSERT_FALSE(reference.empty());

    MovieReadClient movie(path, options());
    ASSERT_EQ(movie.reply().width, static_cast<std::uint32_t>(width));
    ASSERT_EQ(movie.reply().height, static_cast<std::uint32_t>(height));
    const std::size_t count = movie.reply().frameCount;
    ASSERT_EQ(count, reference.size());
    if (c.rate != 0) {
        EXPECT_EQ(movie.reply().frameRate, c.rate);
    }

    std::vector<std::size_t> order(count);
    for (std::size_t i = 0; i < count; ++i) {
        order[i] = i;
    }
    for (std::size_t i = count; i-- > 0;) {
        order.push_back(i);
    }
    std::vector<std::size_t> shuffled(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(count));
    std::mt19937 random(static_cast<unsigned>(count));
    for (int round = 0; round < 2; ++round) {
        std::shuffle(shuffled.begin(), shuffled.end(), random);
        order.insert(order.end(), shuffled.begin(), shuffled.end());
    }

    // Requests past the end, and negative ones, give the last frame.
    const std::int32_t pastTheEnd[] = {static_cast<std::int32_t>(count), static_cast<std::int32_t>(count) + 1000, -5};
    std::vector<std::int32_t> requests(order.begin(), order.end());
    requests.insert(requests.end(), std::begin(pastTheEnd), std::end(pastTheEnd));

    int largest = 0;
    std::vector<std::vector<std::uint8_t>> first(count);
    for (const std::int32_t request : requests) {
        const std::size_t index = request >= 0 && static_cast<std::size_t>(request) < count ? request : count - 1;
        const ReadFrameView frame = movie.readFrame(request);
        const int difference = readtest::largestDifference(frame.pixels, reference[index], width, height);
        largest = std::max(largest, difference);
        ASSERT_LE(difference, c.bound) << "frame " << index << (c.why.empty() ? "" : ": bound because " + c.why);
        // A frame asked again is the same bytes, whatever was read in between.
        const std::size_t bytes = std::size_t{movie.reply().width} * movie.reply().height * 4;
        if (first[index].empty()) {
            first[index].assign(frame.pixels, frame.pixels + bytes);
        } else {
            ASSERT_EQ(std::memcmp(first[index].data(), frame.pixels, bytes), 0) << "frame " << index << " changed";
        }
        if (!c.timecode[0].empty()) {
            ASSERT_EQ(timecodeText(frame.header), expectedTimecode(c, index)) << "frame " << index;
        } else {
            ASSERT_FALSE(frame.hasTimecode());
        }
    }
    EXPECT_EQ(movie.close(), 0);
    RecordProperty("frames_compared", static_cast<int>(requests.size()));
    RecordProperty("max_difference", largest);
    std::printf("matrix %s: %zu frames compared, max difference %d\n", c.name.c_str(), requests.size(), largest);
}

const std::string x265 = " -x265-params log-level=error";
const std::string bframes = " -g 8 -bf 2 -pix_fmt yuv420p";
const std::string fragmented = " -movflags frag_keyframe+empty_moov";

// A movie in another container: read by what its demuxer and decoder report, never by its name.
// libxvid loses its last pictures: the frame count is what the decoder gives and the rate
// (count over the header's duration) falls with it.
MatrixCase inContainer(const std::string& name, const std::string& file, const std::string& encoding,
                       const std::string& container, int frames = 20, std::uint32_t rate = 25) {
    return {.name = name, .recipe = {file, 96, 64, "25", frames, encoding, {}, container}, .rate = rate};
}

// clang-format off
const MatrixCase cases[] = {
    // Pixel formats, range and colour tags.
    {"mjpeg420Full", {"m-mjpeg420.mov", 96, 64, "25", 4, "-c:v mjpeg -pix_fmt yuvj420p"}},
    {"mjpeg422FullOddHeight", {"m-mjpeg422.mov", 96, 63, "25", 4, "-c:v mjpeg -pix_fmt yuvj422p"}},
    {"mjpeg444FullOddWidth", {"m-mjpeg444.mov", 95, 64, "25", 4, "-c:v mjpeg -pix_fmt yuvj444p"}},
    {"x264_420Untagged", {"m-x264-420.mov", 96, 64, "25", 6, "-c:v libx264 -pix_fmt yuv420p"}},
    {"x264_444FullBt709", {"m-x264-444full.mov", 96, 64, "25", 6,
        "-c:v libx264 -pix_fmt yuv444p -color_range pc -colorspace bt709 -color_primaries bt709 -color_trc bt709"}},
    {"x264_444FullBt709OddWidth", {"m-x264-444fullodd.mov", 98, 64, "25", 6,
        "-c:v libx264 -pix_fmt yuv444p -color_range pc -colorspace bt709"}},
    {"x264_420_10bitBt601", {"m-x264-420-10.mov", 96, 64, "25", 6,
        "-c:v libx264 -pix_fmt yuv420p10le -colorspace smpte170m"}},
    {"x264_422_10bitBt709", {"m-x264-422-10.mov", 96, 64, "25", 6, "-c:v libx264 -pix_fmt yuv422p10le -colorspace bt709"}},
    {"x264_444_10bitFull", {"m-x264-444-10.mov", 96, 64, "25", 6, "-c:v libx264 -pix_fmt yuv444p10le -color_range pc"}},
    {"x265_420", {"m-x265-420.mov", 96, 64, "25", 8, "-c:v libx265 -pix_fmt yuv420p -tag:v hvc1" + x265}},
    {"x265_444_10bit", {"m-x265-444-10.mov", 96, 64, "25", 6, "-c:v libx265 -pix_fmt yuv444p10le -tag:v hvc1" + x265}},
    {"proresProxy", {"m-prores0.mov", 130, 96, "25", 3, "-c:v prores_ks -profile:v 0"}},
    {"proresLt", {"m-prores1.mov", 130, 96, "25", 3, "-c:v prores_ks -profile:v 1"}},
    {"proresStandard", {"m-prores2.mov", 130, 96, "25", 3, "-c:v prores_ks -profile:v 2"}},
    {"proresHq", {"m-prores3.mov", 128, 96, "25", 3, "-c:v prores_ks -profile:v 3"}},
    {"prores4444Alpha", {"m-prores4.mov", 130, 96, "25", 3, "-c:v prores_ks -profile:v 4 -pix_fmt yuva444p10le",
        "format=yuva444p10le,colorchannelmixer=aa=0.5"}},
    {"prores4444Xq", {"m-prores5.mov", 130, 96, "25", 3, "-c:v prores_ks -profile:v 5 -pix_fmt yuv444p10le"}},
    {"dnxhrHq", {"m-dnxhrhq.mov", 256, 144, "25", 2, "-c:v dnxhd -profile:v dnxhr_hq -pix_fmt yuv422p"}},
    {"dnxhrHqx10bit", {"m-dnxhrhqx.mov", 256, 144, "25", 2, "-c:v dnxhd -profile:v dnxhr_hqx -pix_fmt yuv422p10le"}},
    {"dnxhr444", {"m-dnxhr444.mov", 256, 144, "25", 2, "-c:v dnxhd -profile:v dnxhr_444 -pix_fmt yuv444p10le"}},
    {"pngRgb24", {"m-png-rgb24.mov", 97, 65, "25", 3, "-c:v png -pix_fmt rgb24"}},
    {"pngRgbaHalfAlpha", {"m-png-rgba.mov", 64, 48, "25", 3, "-c:v png -pix_fmt rgba", "format=rgba,colorchannelmixer=aa=0.5"}},
    {"pngGrey", {"m-png-gray.mov", 64, 48, "25", 3, "-c:v png -pix_fmt gray"}},
    {"pngGrey16", {"m-png-gray16.mov", 64, 48, "25", 3, "-c:v png -pix_fmt gray16be"}},
    {"pngRgb48", {"m-png-rgb48.mov", 64, 48, "25", 3, "-c:v png -pix_fmt rgb48be"}},
    {"pngRgba64", {"m-png-rgba64.mov", 64, 48, "25", 3, "-c:v png -pix_fmt rgba64be"}},
    {"pngPalette", {"m-png-pal8.mov", 64, 48, "25", 3, "-c:v png -pix_fmt pal8"}},
    {"qtrleRgb24", {"m-qtrle-rgb24.mov", 64, 48, "25", 4, "-c:v qtrle -pix_fmt rgb24"}},
    {"qtrleArgb", {"m-qtrle-argb.mov", 64, 48, "25", 4, "-c:v qtrle -pix_fmt argb"}},
    {"qtrleRgb555", {"m-qtrle-rgb555.mov", 64, 48, "25", 4, "-c:v qtrle -pix_fmt rgb555be"}},
    // Palette in the sample description, sent with the first packet only.
    {"qtrleGreyPalette", {"m-qtrle-gray.mov", 64, 48, "25", 4, "-c:v qtrle -pix_fmt gray"}},
    {"rawPalette", {"m-raw-pal8.mov", 64, 48, "25", 4, "-c:v rawvideo -pix_fmt pal8"}},
    {"raw2vuy", {"m-raw-uyvy.mov", 64, 48, "25", 3, "-c:v rawvideo -pix_fmt uyvy422"}},
    {"rawRgb24", {"m-raw-rgb24.mov", 64, 48, "25", 3, "-c:v rawvideo -pix_fmt rgb24"}},
    // Sizes.
    {"size1x1", {"m-1x1.mov", 1, 1, "25", 3, "-c:v png -pix_fmt rgba"}},
    {"size2x2", {"m-2x2.mov", 2, 2, "25", 3, "-c:v mjpeg -pix_fmt yuvj420p"}},
    {"size2x2Raw", {"m-2x2raw.mov", 2, 2, "25", 3, "-c:v rawvideo -pix_fmt pal8"}},
    // The section ends 4 bytes before a page boundary: a row writer that spills past the
    // last row would fault.
    {"size638x451", {"m-638x451.mov", 638, 451, "25", 2, "-c:v mjpeg -pix_fmt yuvj420p"}},
    {"size1918x1080", {"m-1918x1080.mov", 1918, 1080, "25", 2, "-c:v mjpeg -pix_fmt yuvj420p"}},
    // Long groups of pictures, containers and timing.
    {"x264BframesOpenGop", {"m-x264-opengop.mov", 160, 90, "25", 40,
        "-c:v libx264 -g 12 -bf 3 -x264-params open-gop=1 -pix_fmt yuv420p"}},
    {"x264Mp4", {"m-x264.mp4", 160, 90, "25", 30, "-c:v libx264 -g 10 -bf 2 -pix_fmt yuv420p", {}, "mp4"}},
    {"editListIntoAGroup", {"m-x264-src.mov", 160, 90, "25", 40, "-c:v libx264 -g 12 -bf 3 -pix_fmt yuv420p"},
        {"-ss 0.52", "-c copy"}},
    {"startTimeTwoSeconds", {"m-start2.mov", 96, 64, "25", 6, "-c:v mjpeg -output_ts_offset 2"}},
    {"variableFrameRate", {"m-vfr.mov", 96, 64, "25", 8, "-c:v mjpeg -fps_mode passthrough",
        "setpts=(N+N*N/5)/(25*TB)"}},
    // Samples closer than a tick of the movie's time scale still are a frame each.
    {"samplesWithinOneTick", {"m-tiny-steps.mov", 96, 64, "25", 8,
        "-c:v mjpeg -fps_mode passthrough -enc_time_base 1/90000 -video_track_timescale 90000",
        "settb=1/90000,setpts=N*7"}},
    // Display matrices: quarter turns, upside down, mirrors.
    {"turned90", {"m-rot90.mov", 96, 64, "25", 6, "-c:v libx264 -pix_fmt yuv420p"}, {},
        TrackMatrix{0, one, 0, -one, 0, 0, 64 * one, 0, w}, true},
    {"turned180", {"m-rot180.mov", 96, 64, "25", 3, "-c:v png -pix_fmt rgb24"}, {},
        TrackMatrix{-one, 0, 0, 0, -one, 0, 96 * one, 64 * one, w}},
    {"turned270", {"m-rot270.mov", 97, 64, "25", 3, "-c:v mjpeg -pix_fmt yuvj444p"}, {},
        TrackMatrix{0, -one, 0, one, 0, 0, 0, 97 * one, w}, true},
    {"mirroredLeftRight", {"m-hflip.mov", 96, 64, "25", 3, "-c:v png -pix_fmt rgb24"}, {},
        TrackMatrix{-one, 0, 0, 0, one, 0, 96 * one, 0, w}},
    {"mirroredUpDown", {"m-vflip.mov", 96, 64, "25", 3, "-c:v mjpeg -pix_fmt yuvj420p"}, {},
        TrackMatrix{one, 0, 0, 0, -one, 0, 0, 64 * one, w}},
    {"transposed", {"m-transpose.mov", 96, 64, "25", 3, "-c:v png -pix_fmt rgb24"}, {},
        TrackMatrix{0, one, 0, one, 0, 0, 0, 0, w}, true},
    // Timecode tracks.
    {"timecode23976", {"m-tc23976.mov", 64, 48, "24000/1001", 5, "-c:v mjpeg -timecode 01:00:00:00"}, {}, {}, false,
        {"24000/1001", "01:00:00:00"}},
    {"timecode25", {"m-tc25.mov", 64, 48, "25", 5, "-c:v mjpeg -timecode 10:59:59:23"}, {}, {}, false,
        {"25", "10:59:59:23"}},
    {"timecode2997DropFrame", {"m-tc2997df.mov", 64, 48, "30000/1001", 6, "-c:v mjpeg -timecode '00:00:59;28'"}, {},
        {}, false, {"30000/1001", "00:00:59;28"}},
    {"timecode5994DropFrame", {"m-tc5994df.mov", 64, 48, "60000/1001", 8, "-c:v mjpeg -timecode '00:09:59;56'"}, {},
        {}, false, {"60000/1001", "00:09:59;56"}},
    {"timecode30NonDrop", {"m-tc30.mov", 64, 48, "30", 5, "-c:v mjpeg -timecode 00:00:59:28"}, {}, {}, false,
        {"30", "00:00:59:28"}},
    // Containers other than MOV and MP4, each with an intra-only codec and one that reorders
    // frames; the movies carry no file name extension that could tell their container.
    inContainer("mkvMjpeg", "c-mjpeg-mkv", "-c:v mjpeg", "matroska", 6),
    inContainer("mkvFfv1", "c-ffv1-mkv", "-c:v ffv1", "matroska", 6),
    inContainer("mkvX264", "c-x264-mkv", "-c:v libx264" + bframes, "matroska"),
    inContainer("webmVp9Intra", "c-vp9i-webm", "-c:v libvpx-vp9 -g 1 -deadline realtime -cpu-used 8", "webm", 6),
    inContainer("webmVp9AltRef", "c-vp9-webm", "-c:v libvpx-vp9 -g 8 -lag-in-frames 8 -auto-alt-ref 1 -cpu-used 8",
                "webm"),
    inContainer("aviMjpeg", "c-mjpeg-avi", "-c:v mjpeg", "avi", 6),
    inContainer("aviMpeg4Bframes", "c-mpeg4-avi", "-c:v mpeg4" + bframes, "avi"),
    inContainer("aviXvidBframes", "c-xvid-avi", "-c:v libxvid" + bframes, "avi", 20, 0),
    inContainer("aviX264Bframes", "c-x264-avi", "-c:v libx264" + bframes, "avi"),
    inContainer("tsMpeg2Intra", "c-m2i-ts", "-c:v mpeg2video -g 1 -q:v 2", "mpegts", 6),
    inContainer("tsX264Bframes", "c-x264-ts", "-c:v libx264" + bframes, "mpegts"),
    inContainer("tsMpeg2Bframes", "c-m2-ts", "-c:v mpeg2video -q:v 2" + bframes, "mpegts"),
    inContainer("psMpeg1Intra", "c-m1i-ps", "-c:v mpeg1video -g 1 -q:v 2", "mpeg", 6),
    inContainer("psMpeg1Bframes", "c-m1-ps", "-c:v mpeg1video -q:v 2" + bframes, "mpeg"),
    inContainer("psMpeg2Bframes", "c-m2-ps", "-c:v mpeg2video -q:v 2" + bframes, "vob"),
    inContainer("fragmentedMp4Mjpeg", "c-mjpeg-fmp4", "-c:v mjpeg" + fragmented, "mp4", 6),
    inContainer("fragmentedMp4X264", "c-x264-fmp4", "-c:v libx264" + bframes + fragmented, "mp4"),
    inContainer("fragmentedMovX264", "c-x264-fmov", "-c:v libx264" + bframes + fragmented, "mov"),
    // B-frames the container gives no composition offsets for: its times are decode times.
    inContainer("movXvidBframesWithoutOffsets", "c-xvid-mov", "-c:v libxvid" + bframes, "mov", 20, 0),
    // Pairs of samples closer than the millisecond time scale share their presentation times.
    {.name = "mp4X264SharedTimes",
     .recipe = {"c-x264-shared-mp4", 96, 64, "25", 20,
                "-c:v libx264" + bframes + " -fps_mode passthrough -enc_time_base 1/1000 -video_track_timescale 1000",
                "setpts=(floor(N/2)/25+mod(N\\,2)*0.0004)/TB", "mp4"}},
    // A stream cut in a group of pictures: the decoder drops the pictures before the first key
    // frame, so there are fewer frames than packets.
    {.name = "tsCutInAGroup",
     .recipe = {"c-x264-long-ts", 96, 64, "25", 40, "-c:v libx264 -g 12 -bf 2 -pix_fmt yuv420p", {}, "mpegts"},
     .derive = {"-skip_initial_bytes 7520", "-c copy -copyinkf -f mpegts"}},
    {"dvRaw", {"c-dv", 720, 480, "30000/1001", 4, "-c:v dvvideo -pix_fmt yuv411p", {}, "dv"}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Movies, ReadMatrix, ::testing::ValuesIn(cases),
                         [](const auto& info) { return info.param.name; });

} // namespace
