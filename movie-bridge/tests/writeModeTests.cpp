// SPDX-License-Identifier: Apache-2.0
#include "writeMode.h"

#include "bridgeFailure.h"
#include "exitCodes.h"
#include "media/fake/fakeEngine.h"
#include "recordingPlatform.h"
#include "records.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace bridge {
namespace {

using testing::RecordingPlatform;

using media::fake::FakeEngine;

// The engine's calls with the checksums of frames and chunks left out, for tests about order.
std::vector<std::string> withoutChecksums(const std::vector<std::string>& calls) {
    std::vector<std::string> stripped;
    for (const std::string& call : calls) {
        stripped.push_back(call.substr(0, call.find(" checksum ")));
    }
    return stripped;
}

WriteSetup setupOf(std::int32_t width, std::int32_t height, double rate, std::int32_t bytesPerPixel,
                   std::int32_t quality, const std::string& codec) {
    WriteSetup setup;
    setup.width = width;
    setup.height = height;
    setup.frameRate = rate;
    setup.bytesPerPixel = bytesPerPixel;
    setup.quality = quality;
    setup.setCodecName(codec);
    return setup;
}

class WriteModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        jobFile = (std::filesystem::temp_directory_path() / ("writeModeTest-" + std::to_string(getpid()))).string();
    }
    void TearDown() override { std::filesystem::remove(jobFile); }

    void queueSetup(const WriteSetup& setup) {
        const auto bytes = encode(setup);
        platform.queueRequest({bytes.begin(), bytes.end()});
    }
    void queueAudio(std::uint32_t channels, std::uint32_t bits, std::uint32_t rate) {
        const auto bytes = encode(AudioSetup{channels, bits, rate, 0});
        platform.queueRequest({bytes.begin(), bytes.end()});
    }
    // Runs the job; returns the failure text, empty when the job succeeded.
    std::string run(const char* gamma = nullptr) {
        try {
            serveWriteJob(exitCode, jobFile, channel, view, engine, gamma);
            return {};
        } catch (const BridgeFailure& failure) {
            return failure.what();
        }
    }
    std::size_t signalsAfter(const std::string& call) const {
        const auto& calls = platform.calls;
        auto at = std::find(calls.begin(), calls.end(), call);
        return static_cast<std::size_t>(std::count(at, calls.end(), "setReplyEvent"));
    }
    bool engineCalled(const std::string& call) const {
        const auto calls = withoutChecksums(engine.calls);
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }

    std::string jobFile;
    RecordingPlatform platform;
    std::int32_t exitCode = 0;
    Channel channel{platform, exitCode};
    SharedView view;
    FakeEngine engine;
};

// The host fills the section with a new frame after every reply event; the engine must
// receive each one as BGRA, top row first, alpha 0 from 3-byte pixels.
TEST_F(WriteModeTest, WritesOneVideoTrackInTheOrderOfTheJob) {
    const int width = 4;
    const int height = 2;
    std::vector<std::string> frameChecksums;
    platform.onReplyEvent = [&] {
        if (view.address == nullptr) {
            return;
        }
        auto* section = static_cast<std::uint8_t*>(view.address);
        const auto frame = static_cast<int>(frameChecksums.size());
        std::vector<std::uint8_t> expected;
        for (std::size_t i = 0; i < view.size; ++i) {
            section[i] = static_cast<std::uint8_t>(i * 7 + frame * 13);
        }
        for (int row = 0; row < height; ++row) {
            const std::uint8_t* pixel = section + (height - 1 - row) * width * 3;
            for (int x = 0; x < width; ++x, pixel += 3) {
                expected.insert(expected.end(), {pixel[2], pixel[1], pixel[0], 0});
            }
        }
        frameChecksums.push_back(media::fake::checksumText(media::fake::checksumOf(expected.data(), expected.size())));
    };
    queueSetup(setupOf(width, height, 25, 3, 50, "png"));
    platform.queueControlWord(0);
    platform.queueControlWord(7);
    platform.queueControlWord(endMarker);
    platform.queueControlWord(endMarker);
    EXPECT_EQ(run("1.0"), "");
    EXPECT_EQ(exitCode, 0);

    EXPECT_EQ(platform.calls.front(), "setReplyEvent");
    ASSERT_GE(frameChecksums.size(), 2u);
    EXPECT_EQ(engine.calls,
              (std::vector<std::string>{"createMovieFile " + jobFile, "setTimeScale 2500", "newVideoTrack 4x2 2500",
                                        "codecTypeNames", "createCompressionSession png q768 key24 depth24",
                                        "setGamma 1.000000", "encodeFrame 0 100 checksum " + frameChecksums[0],
                                        "addEncodedFrame 0", "encodeFrame 100 100 checksum " + frameChecksums[1],
                                        "addEncodedFrame 100", "completeFrames", "finishVideoTrack",
                                        "writeMovieResource", "writer gone"}));
    ASSERT_EQ(platform.replies.size(), 1u);
    WriteReplyBytes bytes;
    std::copy(platform.replies[0].begin(), platform.replies[0].end(), bytes.begin());
    EXPECT_EQ(decodeWriteReply(bytes).sectionSize, 24u);
    // First signal, the reply, one per frame, the end of video; none after the last -1.
    EXPECT_EQ(std::count(platform.calls.begin(), platform.calls.end(), "setReplyEvent"), 5);
    EXPECT_EQ(platform.calls.back(), "readPipe 4");
}

TEST_F(WriteModeTest, FallsBackToJpegForUnknownNamesAndNamesDifferingInCase) {
    // The last case fills the whole 32-byte name field with no zero byte in it.
    std::vector<WriteSetupBytes> setups;
    for (const std::string name : {"PNG", "h.264", "png"}) {
        setups.push_back(encode(setupOf(2, 2, 24, 4, 0, name)));
    }
    std::fill(setups.back().begin() + 28, setups.back().end(), 'p');
    for (const WriteSetupBytes& bytes : setups) {
        RecordingPlatform script;
        std::int32_t code = 0;
        Channel scriptChannel{script, code};
        FakeEngine recording;
        script.queueRequest({bytes.begin(), bytes.end()});
        script.queueControlWord(endMarker);
        script.queueControlWord(endMarker);
        SharedView scriptView;
        serveWriteJob(code, jobFile, scriptChannel, scriptView, recording, nullptr);
        EXPECT_EQ(recording.calls[4], "createCompressionSession mjpeg q0 key24 depth32");
    }
}

TEST_F(WriteModeTest, DropsEncodedFramesWithoutADecodeDuration) {
    engine.writerScript.decodeDuration = 0;
    queueSetup(setupOf(2, 2, 24, 3, 50, "mjpeg"));
    platform.queueControlWord(0);
    platform.queueControlWord(endMarker);
    platform.queueControlWord(endMarker);
    EXPECT_EQ(run(), "");
    EXPECT_TRUE(engineCalled("encodeFrame 0 100"));
    EXPECT_FALSE(engineCalled("addEncodedFrame 0"));
}

TEST_F(WriteModeTest, AFailedAddEndsTheJobThroughTheEncodeCall) {
    engine.writerScript.addResult = -28;
    queueSetup(setupOf(2, 2, 24, 3, 50, "mjpeg"));
    platform.queueControlWord(0);
    EXPECT_EQ(run(), "error from AddMediaSample: -28");
    EXPECT_EQ(exitCode, exitCodes::addMediaSampleFailed);
    EXPECT_EQ(engine.calls.back(), "writer gone");
}

TEST_F(WriteModeTest, EngineFailuresCarryTheirCodesAndResults) {
    engine.writerScript.encodeResult = -22;
    queueSetup(setupOf(2, 2, 24, 3, 50, "mjpeg"));
    platform.queueControlWord(0);
    EXPECT_EQ(run(), "error from ICMCompressionSessionEncodeFrame: -22");
    EXPECT_EQ(exitCode, exitCodes::encodeFrameFailed);

    RecordingPlatform script;
    std::int32_t code = 0;
    Channel scriptChannel{script, code};
    FakeEngine failingSession;
    failingSession.writerScript.sessionResult = -1;
    const auto bytes = encode(setupOf(2, 2, 24, 3, 50, "mjpeg"));
    script.queueRequest({bytes.begin(), bytes.end()});
    SharedView scriptView;
    EXPECT_THROW(serveWriteJob(code, jobFile, scriptChannel, scriptView, failingSession, nullptr), BridgeFailure);
    EXPECT_EQ(code, exitCodes::compressionSessionFailed);
    EXPECT_TRUE(script.replies.empty());
}

TEST_F(WriteModeTest, AMovieFileThatCannotBeCreatedIsAnOpenFailure) {
    engine.createResult = -13;
    EXPECT_EQ(run(), "failed to open movie file '" + jobFile + "' for write: -13");
    EXPECT_EQ(exitCode, exitCodes::movieOpenFailed);

    const std::string missing = "/nonexistent-directory/movie.mov";
    std::int32_t code = 0;
    RecordingPlatform script;
    Channel scriptChannel{script, code};
    SharedView scriptView;
    FakeEngine unused;
    try {
        serveWriteJob(code, missing, scriptChannel, scriptView, unused, nullptr);
        FAIL() << "no failure";
    } catch (const BridgeFailure& failure) {
        EXPECT_STREQ(failure.what(), "failed to open file '/nonexistent-directory/movie.mov' for write");
    }
    EXPECT_EQ(code, exitCodes::movieOpenFailed);
    EXPECT_TRUE(unused.calls.empty());
}

TEST_F(WriteModeTest, RefusesFrameSizesBeforeAnySectionIsMade) {
    for (const WriteSetup& setup : {setupOf(0, 10, 24, 3, 50, "png"), setupOf(10, -1, 24, 3, 50, "png"),
                                    setupOf(10, 10, 24, 2, 50, "png"), setupOf(65536, 65536, 24, 4, 50, "png")}) {
        RecordingPlatform script;
        std::int32_t code = 0;
        Channel scriptChannel{script, code};
        const auto bytes = encode(setup);
        script.queueRequest({bytes.begin(), bytes.end()});
        SharedView scriptView;
        FakeEngine recording;
        EXPECT_THROW(serveWriteJob(code, jobFile, scriptChannel, scriptView, recording, nullptr), BridgeFailure);
        EXPECT_EQ(code, exitCodes::mapFailed);
        for (const auto& call : script.calls) {
            EXPECT_EQ(call.rfind("createSection", 0), std::string::npos);
        }
    }
}

TEST_F(WriteModeTest, RefusesAFrameRateWithoutATimeScale) {
    queueSetup(setupOf(2, 2, 0.001, 3, 50, "png"));
    EXPECT_EQ(run().rfind("failed to create media", 0), 0u);
    EXPECT_EQ(exitCode, exitCodes::mediaCreateFailed);
    EXPECT_FALSE(engineCalled("newVideoTrack 2x2 0"));
}

TEST_F(WriteModeTest, AddsSoundTracksWithWholeSampleFramesOnly) {
    queueSetup(setupOf(80, 60, 25, 4, 50, "mjpeg")); // a section of 19200 bytes
    platform.queueControlWord(endMarker);
    platform.queueControlWord(1);
    queueAudio(2, 16, 48000);
    platform.queueControlWord(19200);
    platform.queueControlWord(19199);
    platform.queueControlWord(3);
    platform.queueControlWord(endMarker);
    platform.queueControlWord(1);
    queueAudio(1, 8, 22050);
    platform.queueControlWord(endMarker);
    platform.queueControlWord(endMarker);
    EXPECT_EQ(run(), "");
    const std::vector<std::string> expected{
        "newSoundTrack 2 16 48000 sowt", "addSoundSamples 4800", "addSoundSamples 4799", "finishSoundTrack",
        "newSoundTrack 1 8 22050 raw",   "finishSoundTrack",     "writeMovieResource"};
    const auto calls = withoutChecksums(engine.calls);
    EXPECT_EQ(std::vector<std::string>(calls.end() - 8, calls.end() - 1), expected);
    EXPECT_EQ(signalsAfter("readPipe 16"), 8u);
}

// A job of its own that ends the video at once and asks for one sound track.
void queueSoundTrackJob(RecordingPlatform& script, const WriteSetup& setup, const AudioSetup& audio) {
    const auto setupBytes = encode(setup);
    script.queueRequest({setupBytes.begin(), setupBytes.end()});
    script.queueControlWord(endMarker);
    script.queueControlWord(1);
    const auto audioBytes = encode(audio);
    script.queueRequest({audioBytes.begin(), audioBytes.end()});
}

TEST_F(WriteModeTest, RefusesChunksOutsideTheSectionWithoutReadingThem) {
    for (const std::int32_t bytes : {19201, -2, INT32_MIN}) {
        RecordingPlatform script;
        std::int32_t code = 0;
        Channel scriptChannel{script, code};
        FakeEngine recording;
        queueSoundTrackJob(script, setupOf(80, 60, 25, 4, 50, "mjpeg"), AudioSetup{2, 16, 48000, 0});
        script.queueControlWord(bytes);
        SharedView scriptView;
        try {
            serveWriteJob(code, jobFile, scriptChannel, scriptView, recording, nullptr);
            FAIL() << bytes;
        } catch (const BridgeFailure& failure) {
            EXPECT_EQ(std::string(failure.what()), "error from AddMediaSample: chunk of " + std::to_string(bytes) +
                                                       " bytes does not fit the section of 19200 bytes");
        }
        EXPECT_EQ(code, exitCodes::addMediaSampleFailed);
        EXPECT_EQ(recording.calls.back(), "writer gone");
        EXPECT_EQ(std::count_if(recording.calls.begin(), recording.calls.end(),
                                [](const std::string& c) { return c.rfind("addSoundSamples", 0) == 0; }),
                  0);
    }
}

// Fields too wide for the sound description are refused as sent, not cut to 16 bits.
TEST_F(WriteModeTest, RefusesSoundTheMovieCannotDescribe) {
    const std::pair<AudioSetup, std::string> rows[] = {
        {{2, 16, 96000, 0}, "sample rate 96000 Hz, not 1 to 65535"},
        {{0x10002, 16, 48000, 0}, "65538 channels, not 1 to 65535"},
        {{2, 0x10010, 48000, 0}, "65552 bits per sample, not 8, 16, 24 or 32"},
        {{0x10002, 0x10010, 48000, 0}, "65538 channels, not 1 to 65535"},
    };
    for (const auto& [audio, problem] : rows) {
        RecordingPlatform script;
        std::int32_t code = 0;
        Channel scriptChannel{script, code};
        FakeEngine recording;
        queueSoundTrackJob(script, setupOf(2, 2, 25, 3, 50, "mjpeg"), audio);
        SharedView scriptView;
        try {
            serveWriteJob(code, jobFile, scriptChannel, scriptView, recording, nullptr);
            FAIL() << problem;
        } catch (const BridgeFailure& failure) {
            EXPECT_EQ(std::string(failure.what()), "failed to create media: " + problem);
        }
        EXPECT_EQ(code, exitCodes::mediaCreateFailed);
        EXPECT_EQ(std::count_if(recording.calls.begin(), recording.calls.end(),
                                [](const std::string& c) { return c.rfind("newSoundTrack", 0) == 0; }),
                  0);
    }
}

TEST_F(WriteModeTest, AMovieResourceThatCannotBeWrittenIsNotReportedAsSuccess) {
    engine.writerScript.resourceResult = -28;
    queueSetup(setupOf(2, 2, 25, 3, 50, "mjpeg"));
    platform.queueControlWord(endMarker);
    platform.queueControlWord(endMarker);
    EXPECT_EQ(run(), "failed to open movie file '" + jobFile + "' for write: -28");
    EXPECT_EQ(exitCode, exitCodes::movieOpenFailed);
}

} // namespace
} // namespace bridge
