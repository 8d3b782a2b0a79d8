// SPDX-License-Identifier: Apache-2.0
// syscheck as a user runs it: command line, plug-in file name, exit codes and what appears
// on standard output and standard error. Stand-in checks (in KR_CHECK_PROBE_DIR) print the
// command line they were given and fail as their third word asks.

#include "processRun.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using testing::HasSubstr;
using testing::StartsWith;

namespace {

const std::string syscheck = std::string(KR_BIN_DIR) + "/syscheck";
const std::string probeOption = std::string("--kr-plugin-path=") + KR_CHECK_PROBE_DIR;
const std::string usage = "usage: syscheck {cpu, graphics, xml}\n"
                          "usage: syscheck cpu [ full ]\n"
                          "usage: syscheck graphics\n"
                          "usage: syscheck xml <filename>\n";

ProcessResult runWithProbes(std::vector<std::string> words) {
    std::vector<std::string> args = {syscheck, probeOption};
    args.insert(args.end(), words.begin(), words.end());
    return runProcess(args, {{"KR_PLUGIN_PATH", ""}});
}

// A copy of syscheck alone in a directory, so that no check is found next to it.
class LonelySyscheck : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/krSyscheckXXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        _directory = pattern;
        std::filesystem::copy_file(syscheck, _directory / "syscheck");
    }
    void TearDown() override { std::filesystem::remove_all(_directory); }

    ProcessResult run(std::vector<std::string> words) {
        std::vector<std::string> args = {(_directory / "syscheck").string()};
        args.insert(args.end(), words.begin(), words.end());
        // The framework libraries stay where they were built.
        return runProcess(args, {{"LD_LIBRARY_PATH", KR_BIN_DIR}, {"KR_PLUGIN_PATH", ""}});
    }

    std::filesystem::path _directory;
};

TEST(SyscheckCommandLine, InvalidLinesPrintTheUsageAndLoadNothing) {
    const std::vector<std::vector<std::string>> invalid = {
        {},                        // no subcommand
        {"graphics", "extra"},     // graphics takes no word
        {"xml"},                   // xml needs a file name
        {"cpu", "full", "more"},   // four words
        {"xml", "a.xml", "b.xml"}, // four words
        {"disk"},                  // not a check
        {"CPU"},                   // case matters
        {"Xml", "a.xml"},
    };
    for (const auto& words : invalid) {
        ProcessResult result = runWithProbes(words);
        std::string line = testing::PrintToString(words);
        EXPECT_EQ(result.exitCode, 2) << line;
        EXPECT_EQ(result.out, usage) << line; // a stand-in check would have printed too
        EXPECT_EQ(result.err, "") << line;
    }
}

TEST(SyscheckCommandLine, ValidLinesLoadTheNamedCheckWhichReadsTheRest) {
    const std::vector<std::vector<std::string>> valid = {
        {"cpu"}, {"cpu", "full"}, {"cpu", "verbose"}, {"graphics"}, {"xml", "any file.xml"},
    };
    for (const auto& words : valid) {
        ProcessResult result = runWithProbes(words);
        std::string expected = "probe loaded: " + syscheck;
        for (const std::string& word : words)
            expected += " " + word;
        EXPECT_EQ(result.exitCode, 0) << expected;
        EXPECT_EQ(result.out, expected + "\n");
        EXPECT_EQ(result.err, "");
    }
}

TEST(SyscheckExitCodes, ProcessRcFromTheCheckBecomesTheExitCode) {
    ProcessResult result = runWithProbes({"xml", "rc7"});
    EXPECT_EQ(result.exitCode, 7);
    EXPECT_EQ(result.out, "probe loaded: " + syscheck + " xml rc7\n");
    EXPECT_EQ(result.err, "");
}

TEST(SyscheckExitCodes, FrameworkFailureInTheCheckExitsFourAndSaysWhy) {
    ProcessResult result = runWithProbes({"cpu", "assert"});
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_EQ(result.out, "probe loaded: " + syscheck + " cpu assert\n");
    EXPECT_THAT(result.err, HasSubstr("word != \"assert\""));
}

TEST(SyscheckExitCodes, StandardExceptionFromTheRunIsReportedAndExitsThree) {
    ProcessResult result = runWithProbes({"xml", "std"});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.out, "probe loaded: " + syscheck +
                              " xml std\n"
                              "Exception encountered: std::runtime_error: probe failure\n");
}

TEST_F(LonelySyscheck, MissingCheckExitsFourWithTheLoadersMessageOnStandardError) {
    ProcessResult result = run({"graphics"});
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_EQ(result.out, "");
    EXPECT_THAT(result.err,
                HasSubstr("cannot load \"libKRgraphics.krcheck\": file not found in " + _directory.string()));
}

TEST_F(LonelySyscheck, UnloadableCheckExitsFourWithTheSystemsReason) {
    std::ofstream(_directory / "libKRxml.krcheck") << std::string(4096, 'x');
    ProcessResult result = run({"xml", "file.xml"});
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_EQ(result.out, "");
    EXPECT_THAT(result.err, HasSubstr((_directory / "libKRxml.krcheck").string()));
    EXPECT_THAT(result.err, HasSubstr("invalid ELF header"));
}

TEST(SyscheckFrameworkOptions, BuildInfoIsListedAndUnknownOptionsEndTheRun) {
    ProcessResult listed = runWithProbes({"--kr-build-info", "graphics"});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_EQ(listed.out,
              "Build information:\n"
              "  Corvath Zantor System Check Utility 8.0 (2013), build 2600 of Jun 12 2012, opt.x86_64.intel\n"
              "probe loaded: " +
                  syscheck + " graphics\n");

    ProcessResult unknown = runWithProbes({"--kr-verbose", "cpu"});
    EXPECT_EQ(unknown.exitCode, 3);
    EXPECT_THAT(unknown.out, StartsWith("Exception encountered: "));
    EXPECT_THAT(unknown.out, HasSubstr("\"--kr-verbose\""));
}

TEST(SyscheckWithTheCpuCheck, ReportsThisMachine) {
    ProcessResult result = runProcess({syscheck, "cpu"}, {{"KR_PLUGIN_PATH", ""}});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "");
    EXPECT_THAT(result.out, testing::ContainsRegex("^      CPU-Type: \\[[0-9]+\\]\\.\n      CPU-Name: \\["));
    EXPECT_THAT(result.out, testing::ContainsRegex("\n     L/P Ratio: \\[[0-9]+\\]\\.\n"));
}

} // namespace
