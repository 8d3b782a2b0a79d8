// SPDX-License-Identifier: Apache-2.0
#include "bridgeFailure.h"
#include "channel.h"
#include "exitCodes.h"
#include "recordingPlatform.h"
#include "records.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace bridge;
using bridge::testing::RecordingPlatform;
using ::testing::ElementsAre;

namespace {

class ChannelTest : public ::testing::Test {
protected:
    // Runs a step and returns the failure text ("" when it passed).
    template <typename Step> std::string failureOf(Step step) {
        try {
            step();
        } catch (const BridgeFailure& failure) {
            return failure.what();
        }
        return "";
    }

    RecordingPlatform platform;
    std::int32_t exitCode = 0;
    Channel channel{platform, exitCode};
};

} // namespace

TEST_F(ChannelTest, ReceivesARecordOfExactlyTheExpectedSize) {
    platform.queueControlWord(42);
    EXPECT_EQ(channel.receiveControlWord(), 42);
    EXPECT_EQ(exitCode, 0);
    EXPECT_THAT(platform.calls, ElementsAre("waitForRequest", "bytesInPipe", "readPipe 4"));
}

TEST_F(ChannelTest, AnyOtherPipeContentAfterTheEventIsRefusedUnread) {
    const char* text = "unexpected pipe contents after event";
    platform.queueRequest({});
    EXPECT_EQ(failureOf([&] { channel.receiveControlWord(); }), text);
    EXPECT_EQ(exitCode, exitCodes::unexpectedPipeContents);

    // Half a control word: the host set the event too early.
    platform.queueRequest({0xFF, 0xFF});
    EXPECT_EQ(failureOf([&] { channel.receiveControlWord(); }), text);

    // Two queued control words, or a record of another step's size.
    RecordingPlatform twoQueued;
    Channel second(twoQueued, exitCode);
    twoQueued.queueRequest({1, 0, 0, 0, 2, 0, 0, 0});
    EXPECT_EQ(failureOf([&] { second.receiveControlWord(); }), text);
    EXPECT_EQ(std::count(twoQueued.calls.begin(), twoQueued.calls.end(), "readPipe 4"), 0);
}

TEST_F(ChannelTest, AFailedPipeQueryCountsAsEmpty) {
    platform.failing.insert("bytesInPipe");
    platform.queueControlWord(1);
    EXPECT_EQ(failureOf([&] { channel.receiveControlWord(); }), "unexpected pipe contents after event");
    EXPECT_EQ(exitCode, -9);
}

TEST_F(ChannelTest, FailedOrShortReadsAreReadFailures) {
    platform.failing.insert("readPipe");
    platform.queueControlWord(1);
    EXPECT_EQ(failureOf([&] { channel.receiveControlWord(); }), "failed to read pipe");
    EXPECT_EQ(exitCode, exitCodes::pipeReadFailed);

    RecordingPlatform shortRead;
    shortRead.shortReadBy = 1;
    std::int32_t code = 0;
    Channel other(shortRead, code);
    shortRead.queueControlWord(1);
    EXPECT_EQ(failureOf([&] { other.receiveControlWord(); }), "failed to read pipe");
    EXPECT_EQ(code, -10);
}

TEST_F(ChannelTest, AFailedWaitComposesTheSystemErrorText) {
    platform.queueWaitFailure(6);
    EXPECT_EQ(failureOf([&] { channel.receiveControlWord(); }),
              "197, failed to wait for event : 6 system error 6.\r\n");
    EXPECT_EQ(exitCode, exitCodes::waitFailed);
}

TEST_F(ChannelTest, WritesAndSignalsMustFullySucceed) {
    const auto reply = encode(WriteReply{1, 2});
    channel.sendReply(reply);
    ASSERT_EQ(platform.replies.size(), 1u);
    EXPECT_EQ(platform.replies[0], std::vector<std::uint8_t>(reply.begin(), reply.end()));

    platform.shortWriteBy = 1;
    EXPECT_EQ(failureOf([&] { channel.sendReply(reply); }), "failed to write to pipe");
    EXPECT_EQ(exitCode, exitCodes::pipeWriteFailed);

    platform.failing.insert("setReplyEvent");
    EXPECT_EQ(failureOf([&] { channel.signalHost(); }), "failed to set event");
    EXPECT_EQ(exitCode, exitCodes::eventSetFailed);
}

TEST_F(ChannelTest, PipeNamesUpToTwoHundredFiftyCharactersAreOpenedLongerOnesRefused) {
    const std::string longest(250, 'p');
    channel.open(longest, "req", "rep");
    EXPECT_EQ(platform.calls.front(), "openPipe \\\\.\\pipe\\" + longest);

    RecordingPlatform fresh;
    Channel other(fresh, exitCode);
    EXPECT_EQ(failureOf([&] { other.open(std::string(251, 'p'), "req", "rep"); }), "failed to open pipe");
    EXPECT_EQ(exitCode, exitCodes::pipeOpenFailed);
    EXPECT_TRUE(fresh.calls.empty()); // not truncated into another pipe's name
}

TEST_F(ChannelTest, AMissingRequestEventFailsBeforeTheReplyEventIsTried) {
    platform.failing.insert("openRequestEvent");
    EXPECT_EQ(failureOf([&] { channel.open("pipe", "req", "rep"); }), "failed to open event");
    EXPECT_EQ(exitCode, exitCodes::eventOpenFailed);
    EXPECT_THAT(platform.calls, ElementsAre("openPipe \\\\.\\pipe\\pipe", "openRequestEvent req"));
}

TEST_F(ChannelTest, ASectionThatCannotBeMadeIsAMapFailureAndLeavesTheViewEmpty) {
    SharedView view;
    EXPECT_EQ(failureOf([&] { channel.createJobSection(0, view); }), "failed to map memory");
    EXPECT_EQ(exitCode, exitCodes::mapFailed);
    EXPECT_EQ(view.address, nullptr);

    const SectionMapping section = channel.createJobSection(64, view);
    EXPECT_EQ(view.address, section.view);
    EXPECT_EQ(view.size, 64u);
}
