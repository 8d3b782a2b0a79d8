// SPDX-License-Identifier: Apache-2.0
#include "bridgeFailure.h"
#include "codecQuery.h"
#include "exitCodes.h"
#include "media/codecList.h"
#include "media/fake/fakeEngine.h"
#include "modes.h"
#include "recordingPlatform.h"
#include "records.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

using namespace bridge;
using bridge::testing::RecordingPlatform;
using ::testing::ElementsAre;

TEST(CodecListText, EveryNameEndsWithTheSeparatorUnescaped) {
    EXPECT_EQ(buildCodecListText({"A", "B"}), "A@B@");
    EXPECT_EQ(buildCodecListText({}), "");
    const std::string longest(31, 'n');
    EXPECT_EQ(buildCodecListText({longest, "x", "x"}), longest + "@x@x@");
    EXPECT_EQ(buildCodecListText({"a@b"}), "a@b@");
}

namespace {

class ServeCodecListTest : public ::testing::Test {
protected:
    // Mode q as the entry point runs it, with the names the engine lists.
    std::string modeFailureOf(const std::optional<std::vector<std::string>>& names) {
        media::fake::FakeEngine engine;
        engine.codecs = names;
        try {
            runQueryMode(exitCode, "unused job file", engine, channel, view);
        } catch (const BridgeFailure& failure) {
            return failure.what();
        }
        return "";
    }
    std::string failureOf(const std::optional<std::vector<std::string>>& names) {
        try {
            serveCodecList(exitCode, channel, view, names);
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

} // namespace

TEST_F(ServeCodecListTest, HandsTheTextOverAndAnswersEveryControlWordUntilTheEnd) {
    platform.queueControlWord(5);
    platform.queueControlWord(0);
    platform.queueControlWord(-2);
    platform.queueControlWord(endMarker);
    EXPECT_EQ(failureOf(std::vector<std::string>{"A", "B"}), "");

    const auto section = platform.sectionBytes();
    EXPECT_EQ(std::string(section.begin(), section.end()), "A@B@");
    EXPECT_EQ(view.size, 4u);
    ASSERT_EQ(platform.replies.size(), 1u);
    const auto reply = encode(CodecListReply{4, 77});
    EXPECT_EQ(platform.replies[0], std::vector<std::uint8_t>(reply.begin(), reply.end()));
    // One signal after the reply record and one per control word, none after -1.
    EXPECT_EQ(countOf("setReplyEvent"), 4);
    EXPECT_EQ(platform.calls.back(), "readPipe 4");
}

TEST_F(ServeCodecListTest, NoListAndAnEmptyListFailWithTheirCodes) {
    EXPECT_EQ(failureOf(std::nullopt), "unable to get the codec list");
    EXPECT_EQ(exitCode, exitCodes::codecListFailed);

    EXPECT_EQ(failureOf(std::vector<std::string>{}), "failed to map memory");
    EXPECT_EQ(exitCode, exitCodes::mapFailed);
    EXPECT_EQ(countOf("writePipe 8"), 0);
}

TEST_F(ServeCodecListTest, ModeQHandsOverWhatTheEngineLists) {
    struct Case {
        std::optional<std::vector<std::string>> names;
        std::string failure;
        std::int32_t exitCode;
        std::string text;
    };
    const std::string longest(31, 'n');
    for (const Case& c : {Case{std::vector<std::string>{"mjpeg", "png", "prores_ks"}, "", 0, "mjpeg@png@prores_ks@"},
                          Case{std::vector<std::string>{longest, "x", "x"}, "", 0, longest + "@x@x@"},
                          Case{std::nullopt, "unable to get the codec list", exitCodes::codecListFailed, ""},
                          Case{std::vector<std::string>{}, "failed to map memory", exitCodes::mapFailed, ""}}) {
        platform = RecordingPlatform{};
        exitCode = 0;
        platform.queueControlWord(endMarker);
        EXPECT_EQ(modeFailureOf(c.names), c.failure);
        EXPECT_EQ(exitCode, c.exitCode);
        if (c.failure.empty()) {
            const auto section = platform.sectionBytes();
            EXPECT_EQ(std::string(section.begin(), section.end()), c.text);
            EXPECT_EQ(platform.replies.size(), 1u);
        } else {
            EXPECT_TRUE(platform.replies.empty());
        }
    }
}

TEST(MovieEncoderList, OffersOnlyEncodersTheMovMuxerStoresIncludingTheFallback) {
    const auto names = listMovieEncoderNames();
    ASSERT_TRUE(names.has_value());
    EXPECT_THAT(*names, ::testing::Contains("mjpeg"));
    const AVOutputFormat* mov = av_guess_format("mov", nullptr, nullptr);
    for (const auto& name : *names) {
        const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
        ASSERT_NE(codec, nullptr) << name;
        EXPECT_EQ(codec->type, AVMEDIA_TYPE_VIDEO) << name;
        EXPECT_EQ(avformat_query_codec(mov, codec->id, FF_COMPLIANCE_NORMAL), 1) << name;
        // The list text is split at '@'.
        EXPECT_EQ(name.find('@'), std::string::npos) << name;
    }
}

TEST(MovieEncoderList, NeverOffersEncodersThatTakeOnlyDeviceFrames) {
    const auto names = listMovieEncoderNames();
    ASSERT_TRUE(names.has_value());
    for (const auto& name : *names) {
        EXPECT_FALSE(name.ends_with("_vaapi")) << name;
        EXPECT_FALSE(name.ends_with("_videotoolbox")) << name;
    }
}
