// SPDX-License-Identifier: Apache-2.0
#include "bridgeFailure.h"
#include "exitCodes.h"
#include "media/fake/fakeEngine.h"
#include "moviehostEntry.h"
#include "recordingPlatform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <new>
#include <unistd.h>

using namespace bridge;
using bridge::testing::RecordingPlatform;
using ::testing::ElementsAre;
using ::testing::IsSupersetOf;

namespace {

std::vector<std::string>* modeCalls = nullptr;

// Shows that the mode runs with the entry point's engine: the fake engine records the call.
void recordMode(std::int32_t&, const std::string& jobFile, MediaEngine& engine, Channel&, SharedView& view) {
    static std::uint8_t section[16];
    view = SharedView{section, sizeof section};
    modeCalls->push_back("mode " + jobFile);
    engine.codecTypeNames();
}

void failingMode(std::int32_t& exitCode, const std::string&, MediaEngine&, Channel&, SharedView&) {
    raiseFailure(exitCode, exitCodes::pipeReadFailed, "failed to read pipe");
}

void exhaustedMode(std::int32_t&, const std::string&, MediaEngine&, Channel&, SharedView&) {
    throw std::bad_alloc();
}

void foreignMode(std::int32_t&, const std::string&, MediaEngine&, Channel&, SharedView&) {
    throw 42;
}

class MoviehostEntryTest : public ::testing::Test {
protected:
    void SetUp() override {
        modeCalls = &platform.calls;
        jobFile =
            std::filesystem::temp_directory_path() / ("moviehostEntryTest-" + std::to_string(getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::ofstream(jobFile) << "user data";
        errorOut = std::tmpfile();
    }
    void TearDown() override {
        std::filesystem::remove(jobFile);
        std::fclose(errorOut);
    }

    std::int32_t run(std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), "moviehost");
        std::vector<const char*> argv;
        for (const auto& argument : arguments) {
            argv.push_back(argument.c_str());
        }
        return runMoviehost(static_cast<int>(argv.size()), argv.data(), engine, platform, errorOut, modes);
    }
    std::int32_t runMode(const std::string& mode) { return run({mode, "pipe", "req", "rep", jobFile.string()}); }

    std::string errorText() {
        std::fflush(errorOut);
        std::rewind(errorOut);
        std::string text;
        for (int c; (c = std::fgetc(errorOut)) != EOF;) {
            text += static_cast<char>(c);
        }
        return text;
    }
    std::string jobFileText() {
        std::ifstream in(jobFile);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    RecordingPlatform platform;
    media::fake::FakeEngine engine{platform.calls};
    ModeProcedures modes{recordMode, recordMode, recordMode};
    std::filesystem::path jobFile;
    std::FILE* errorOut = nullptr;
};

} // namespace

TEST_F(MoviehostEntryTest, ASuccessfulJobStartsInOrderAndShutsDownInOrder) {
    EXPECT_EQ(runMode("q"), 0);
    EXPECT_THAT(platform.calls,
                ElementsAre("initialize", "enterMovies", "openPipe \\\\.\\pipe\\pipe", "openRequestEvent req",
                            "openReplyEvent rep", "mode " + jobFile.string(), "codecTypeNames", "closeRequestEvent",
                            "closeReplyEvent", "unmapView 16", "exitMovies", "terminate"));
    EXPECT_EQ(errorText(), "");
    EXPECT_EQ(jobFileText(), "user data");
}

TEST_F(MoviehostEntryTest, WrongArgumentCountFailsBeforeTheEngineStartsAndTouchesNoFile) {
    for (const auto& arguments : {std::vector<std::string>{"q", "pipe", "req", "rep"},
                                  std::vector<std::string>{"q", "pipe", "req", "rep", jobFile.string(), "extra"}}) {
        platform.calls.clear();
        EXPECT_EQ(run(arguments), exitCodes::incorrectArgCount);
        EXPECT_THAT(platform.calls, ElementsAre("sleep 2000", "exitMovies", "terminate"));
    }
    EXPECT_EQ(errorText(), "exception: 'incorrect arg count'exception: 'incorrect arg count'");
    EXPECT_EQ(jobFileText(), "user data");
}

TEST_F(MoviehostEntryTest, EngineStartUpFailuresCarryTheirResultCode) {
    engine.initializeResult = -2093;
    EXPECT_EQ(runMode("q"), exitCodes::engineInitializeFailed);
    EXPECT_EQ(errorText(), "exception: 'InitializeQTML failed: -2093'");
    EXPECT_EQ(jobFileText(), "InitializeQTML failed: -2093\n");
    EXPECT_THAT(platform.calls, ElementsAre("initialize", "sleep 2000", "exitMovies", "terminate"));

    platform.calls.clear();
    engine.initializeResult = 0;
    engine.enterResult = -108;
    EXPECT_EQ(runMode("w"), exitCodes::engineEnterFailed);
    EXPECT_EQ(jobFileText(), "EnterMovies failed: -108\n");
    EXPECT_THAT(platform.calls, ElementsAre("initialize", "enterMovies", "sleep 2000", "exitMovies", "terminate"));
}

// A mistyped mode owns no job file: neither its own failure nor an earlier one writes there.
TEST_F(MoviehostEntryTest, TheModeIsJudgedOnlyOnceTheChannelIsOpen) {
    for (const char* mode : {"R", "read", "x", "", "ww", "Q"}) {
        platform.calls.clear();
        EXPECT_EQ(runMode(mode), exitCodes::unknownMode) << mode;
        EXPECT_THAT(platform.calls,
                    IsSupersetOf({"openPipe \\\\.\\pipe\\pipe", "openRequestEvent req", "openReplyEvent rep"}));
        EXPECT_EQ(jobFileText(), "user data") << mode;
    }
    platform.failing.insert("openPipe");
    for (const char* mode : {"R", "read", "x", ""}) {
        EXPECT_EQ(runMode(mode), exitCodes::pipeOpenFailed) << mode;
        EXPECT_EQ(jobFileText(), "user data") << mode;
    }
}

TEST_F(MoviehostEntryTest, FailureTextGoesToTheJobFileExceptInReadMode) {
    modes = ModeProcedures{failingMode, failingMode, failingMode};
    EXPECT_EQ(runMode("w"), exitCodes::pipeReadFailed);
    EXPECT_EQ(jobFileText(), "failed to read pipe\n");

    std::ofstream(jobFile) << "user data";
    EXPECT_EQ(runMode("q"), exitCodes::pipeReadFailed);
    EXPECT_EQ(jobFileText(), "failed to read pipe\n");

    std::ofstream(jobFile) << "user movie";
    EXPECT_EQ(runMode("r"), exitCodes::pipeReadFailed);
    EXPECT_EQ(jobFileText(), "user movie");
    EXPECT_EQ(errorText(), "exception: 'failed to read pipe'exception: 'failed to read pipe'"
                           "exception: 'failed to read pipe'");
}

TEST_F(MoviehostEntryTest, EveryFailureLingersTwoSecondsBeforeShutDown) {
    modes = ModeProcedures{failingMode, failingMode, failingMode};
    runMode("q");
    EXPECT_THAT(platform.calls, ElementsAre("initialize", "enterMovies", "openPipe \\\\.\\pipe\\pipe",
                                            "openRequestEvent req", "openReplyEvent rep", "sleep 2000",
                                            "closeRequestEvent", "closeReplyEvent", "exitMovies", "terminate"));
}

TEST_F(MoviehostEntryTest, AFailureThatStoredNoCodeIsNeverReportedAsSuccess) {
    modes = ModeProcedures{exhaustedMode, exhaustedMode, exhaustedMode};
    EXPECT_EQ(runMode("q"), exitCodes::failureWithoutCode);
    EXPECT_EQ(jobFileText(), std::string(std::bad_alloc().what()) + "\n");

    modes = ModeProcedures{foreignMode, foreignMode, foreignMode};
    std::ofstream(jobFile) << "user data";
    platform.sleeps.clear();
    EXPECT_EQ(runMode("q"), exitCodes::failureWithoutCode);
    EXPECT_THAT(errorText(), ::testing::EndsWith("unknown exception"));
    EXPECT_EQ(jobFileText(), "user data");
    EXPECT_THAT(platform.sleeps, ElementsAre(2000u));
}

TEST(ExitCodes, AllSurviveAnEightBitSignedExitStatus) {
    for (const std::int32_t code : {exitCodes::incorrectArgCount, exitCodes::pipeReadFailed,
                                    exitCodes::addMediaSampleFailed, exitCodes::failureWithoutCode}) {
        EXPECT_EQ(static_cast<std::int8_t>(code & 0xFF), code);
    }
}
