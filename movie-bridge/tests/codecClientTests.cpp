// SPDX-License-Identifier: Apache-2.0
// The codec query end to end: moviehost's list through the client library and through
// the moviehost-client program.

#include "codecQueryClient.h"
#include "media/codecList.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <unistd.h>

using namespace bridge::client;

namespace {

const std::string binDir = KR_BIN_DIR;

std::filesystem::path jobFilePath() {
    return std::filesystem::temp_directory_path() / ("codecClientTest-" + std::to_string(getpid()) + ".txt");
}

} // namespace

TEST(CodecListParsing, SplitsAtEverySeparatorAndRejectsAnUnendedName) {
    EXPECT_THAT(parseCodecListText("A@B@"), ::testing::ElementsAre("A", "B"));
    EXPECT_THAT(parseCodecListText(""), ::testing::ElementsAre());
    EXPECT_THAT(parseCodecListText("x@x@"), ::testing::ElementsAre("x", "x"));
    EXPECT_THROW(parseCodecListText("A@B"), BridgeError);
}

TEST(CodecQueryClient, ReturnsExactlyTheEncodersOfThisMachine) {
    const auto names = queryCodecs(jobFilePath().string(), BridgeJobOptions{binDir + "/moviehost"});
    EXPECT_EQ(names, *bridge::listMovieEncoderNames());
    EXPECT_FALSE(std::filesystem::exists(jobFilePath()));
}

TEST(CodecQueryClient, AMissingProgramIsAClearError) {
    try {
        queryCodecs(jobFilePath().string(), BridgeJobOptions{binDir + "/no-such-moviehost"});
        FAIL() << "no error";
    } catch (const BridgeError& error) {
        EXPECT_THAT(error.what(), ::testing::HasSubstr("no-such-moviehost"));
    }
}

TEST(MoviehostClientProgram, CodecsPrintsOneNamePerLine) {
    const std::string command = binDir + "/moviehost-client codecs";
    std::FILE* output = popen(command.c_str(), "r");
    ASSERT_NE(output, nullptr);
    std::vector<std::string> lines;
    char line[256];
    while (std::fgets(line, sizeof line, output) != nullptr) {
        lines.emplace_back(line, std::strlen(line) - 1);
    }
    EXPECT_EQ(pclose(output), 0);
    EXPECT_EQ(lines, *bridge::listMovieEncoderNames());
}
