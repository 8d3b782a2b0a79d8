// SPDX-License-Identifier: Apache-2.0
// `syscheck graphics` run as a user runs it, on an Xvfb server started by xvfb-run, and judged
// against glxinfo on the same server.
#include "graphicsDriverVersion.h"
#include "processRun.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using testing::HasSubstr;

namespace {

namespace fs = std::filesystem;

const std::string syscheck = std::string(KR_BIN_DIR) + "/syscheck";
const std::string heading = "Available OpenGL Extensions:";

std::string readFile(const fs::path& file) {
    std::ifstream in(file);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The value after "label" on the line of text that starts with it.
std::string valueAfter(const std::string& text, const std::string& label) {
    for (const auto& line : splitLines(text)) {
        if (line.rfind(label, 0) == 0) {
            return line.substr(label.size());
        }
    }
    return "(no line " + label + ")";
}

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        result.push_back(word);
    }
    return result;
}

// What syscheck and glxinfo print on one and the same 1024x768 server at depth 24.
struct SameServerRun {
    int syscheckExit = -1;
    std::string syscheckOut;
    std::string syscheckErr;
    std::string glxinfoBrief;
    std::string glxinfoSingle;
};

// Runs a command under xvfb-run with the given server options. Each test process starts its
// search for a free display at a number of its own, so that parallel test processes do not
// pick the same display at the same moment.
ProcessResult runUnderXvfb(const std::string& serverOptions, const std::vector<std::string>& command) {
    std::vector<std::string> args = {
        "/usr/bin/xvfb-run", "-a", "-n", std::to_string(100 + getpid() % 400), "-s", serverOptions + " -nolisten tcp"};
    args.insert(args.end(), command.begin(), command.end());
    // Sanitizer builds only: Mesa's process-lifetime allocations are not syscheck's leaks.
    return runProcess(args, {{"ASAN_OPTIONS", "fast_unwind_on_malloc=0"},
                             {"LSAN_OPTIONS", "print_suppressions=0:suppressions=" KR_SOURCE_DIR
                                              "/host-framework/tests/gfxMesaLeaks.supp"}});
}

SameServerRun runOnXvfb() {
    char pattern[] = "/tmp/krGraphicsCheckXXXXXX";
    if (!mkdtemp(pattern)) {
        return {};
    }
    const fs::path directory = pattern;
    const std::string script = "\"$1\" graphics >\"$2/out\" 2>\"$2/err\"; echo $? >\"$2/rc\"; "
                               "glxinfo -B >\"$2/brief\"; glxinfo -s >\"$2/single\"";
    const ProcessResult xvfb =
        runUnderXvfb("-screen 0 1024x768x24", {"/bin/sh", "-c", script, "sh", syscheck, directory.string()});
    SameServerRun run;
    if (xvfb.exitCode == 0) {
        run.syscheckExit = std::stoi(readFile(directory / "rc"));
        run.syscheckOut = readFile(directory / "out");
        run.syscheckErr = readFile(directory / "err");
        run.glxinfoBrief = readFile(directory / "brief");
        run.glxinfoSingle = readFile(directory / "single");
    }
    fs::remove_all(directory);
    return run;
}

class GraphicsCheckOnXvfb : public ::testing::Test {
protected:
    static void SetUpTestSuite() { run = runOnXvfb(); }

    void SetUp() override {
        ASSERT_EQ(run.syscheckExit, 0) << "stderr: " << run.syscheckErr;
        lines = splitLines(run.syscheckOut);
    }

    // The lines of the extension block, from the heading to the line before the empty one.
    std::vector<std::string> extensionBlock() const {
        const auto start = std::find_if(lines.begin(), lines.end(),
                                        [](const std::string& line) { return line.rfind(heading, 0) == 0; });
        const auto end = std::find(start, lines.end(), "");
        return {start, end};
    }

    static SameServerRun run;
    std::vector<std::string> lines;
};

SameServerRun GraphicsCheckOnXvfb::run;

TEST_F(GraphicsCheckOnXvfb, ReportLinesComeInOrderWithTheirLabels) {
    EXPECT_EQ(run.syscheckErr, "");
    ASSERT_GE(lines.size(), 12u) << run.syscheckOut;
    EXPECT_EQ(lines[0], "Screen resolution: 1024x768");
    EXPECT_EQ(lines[1], "Screen bit depth: 24 bpp");
    EXPECT_EQ(lines[2], "Screen bits per pixel: 32 bits");
    // Xvfb gives its mode no timings: the rate is unknown.
    EXPECT_EQ(lines[3], "Screen refresh rate: 0 Hz");
    EXPECT_EQ(lines[4].rfind("OpenGL vendor string: ", 0), 0u) << lines[4];
    EXPECT_EQ(lines[5].rfind("OpenGL renderer string: ", 0), 0u) << lines[5];
    EXPECT_EQ(lines[6].rfind("OpenGL version: ", 0), 0u) << lines[6];
    EXPECT_EQ(lines[7], "Driver version: " + queryDriverVersion());

    const auto block = extensionBlock();
    ASSERT_FALSE(block.empty());
    EXPECT_EQ(lines[8], block.front());
    const std::size_t afterBlock = 8 + block.size();
    ASSERT_EQ(lines.size(), afterBlock + 3) << run.syscheckOut;
    EXPECT_EQ(lines[afterBlock], "");
    EXPECT_EQ(lines[afterBlock + 1], "RGBA 32bpp with Z buffer: Supported (including stencil support)");
    EXPECT_EQ(lines[afterBlock + 2], "Pbuffer support: Yes");
    EXPECT_EQ(run.syscheckOut.back(), '\n');
}

TEST_F(GraphicsCheckOnXvfb, IdentificationIsWhatGlxinfoPrints) {
    EXPECT_EQ(valueAfter(run.syscheckOut, "OpenGL vendor string: "),
              valueAfter(run.glxinfoBrief, "OpenGL vendor string: "));
    EXPECT_EQ(valueAfter(run.syscheckOut, "OpenGL renderer string: "),
              valueAfter(run.glxinfoBrief, "OpenGL renderer string: "));
    // glxinfo opens a compatibility-profile context as the check does.
    EXPECT_EQ(valueAfter(run.syscheckOut, "OpenGL version: "), valueAfter(run.glxinfoBrief, "OpenGL version string: "));
}

TEST_F(GraphicsCheckOnXvfb, ExtensionsAreExactlyThoseOfTheContext) {
    std::vector<std::string> printed;
    for (const auto& line : extensionBlock()) {
        const auto lineWords = words(line == extensionBlock().front() ? line.substr(heading.size()) : line);
        printed.insert(printed.end(), lineWords.begin(), lineWords.end());
    }

    // glxinfo -s lists the compatibility context's extensions one per line after this heading.
    const auto glxinfoLines = splitLines(run.glxinfoSingle);
    const auto start = std::find(glxinfoLines.begin(), glxinfoLines.end(), "OpenGL extensions:");
    ASSERT_NE(start, glxinfoLines.end()) << run.glxinfoSingle;
    std::vector<std::string> expected;
    for (auto it = start + 1; it != glxinfoLines.end() && !it->empty(); ++it) {
        const auto lineWords = words(*it);
        expected.insert(expected.end(), lineWords.begin(), lineWords.end());
    }

    ASSERT_GT(expected.size(), 100u);
    EXPECT_EQ(printed.size(), expected.size());
    EXPECT_EQ(std::set<std::string>(printed.begin(), printed.end()),
              std::set<std::string>(expected.begin(), expected.end()));
}

TEST_F(GraphicsCheckOnXvfb, RealListIsWrappedAtEightyColumns) {
    const auto block = extensionBlock();
    ASSERT_GT(block.size(), 10u);
    for (std::size_t i = 0; i < block.size(); ++i) {
        const auto lineWords = words(block[i]);
        if (i > 0) {
            EXPECT_EQ(block[i].rfind("    ", 0), 0u) << block[i];
            EXPECT_NE(block[i][4], ' ') << block[i];
        }
        if (block[i].size() > 80) {
            EXPECT_EQ(lineWords.size(), 1u) << "only a single token may overflow: " << block[i];
        }
        if (i + 1 < block.size()) {
            EXPECT_GT(block[i].size() + 1 + words(block[i + 1]).front().size(), 80u)
                << "the next token would have fitted: " << block[i];
        }
    }
}

TEST(GraphicsCheckWithoutDisplay, WindowAssertionEndsTheRunWithCodeFour) {
    const ProcessResult result = runProcess({syscheck, "graphics"}, {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}});
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_EQ(result.out, "");
    EXPECT_THAT(result.err, HasSubstr("!win.isNull()"));
    EXPECT_THAT(result.err, HasSubstr("app\\checkutil\\src\\graphicsKrcheckInit"));
    EXPECT_THAT(result.err, HasSubstr("94"));
}

TEST(GraphicsCheckWithoutGlx, ContextAssertionEndsTheRunWithCodeFour) {
    const ProcessResult result = runUnderXvfb("-screen 0 640x480x24 -extension GLX", {syscheck, "graphics"});
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_EQ(result.out, "");
    EXPECT_THAT(result.err, HasSubstr("!ctx.isNull()"));
    EXPECT_THAT(result.err, HasSubstr("98"));
}

} // namespace
