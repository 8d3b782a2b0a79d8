// SPDX-License-Identifier: Apache-2.0
#include "graphicsExtensionList.h"

#include <gtest/gtest.h>

#include <random>

namespace {

const std::string heading = "Available OpenGL Extensions:";

TEST(GraphicsExtensionList, NoExtensionsLeaveTheHeadingAlone) {
    EXPECT_EQ(wrapExtensionList({}), std::vector<std::string>{heading});
}

TEST(GraphicsExtensionList, OnlyACandidateLongerThanEightyStartsANewLine) {
    const std::string fits(80 - heading.size() - 1, 'a');
    EXPECT_EQ(wrapExtensionList({fits}), std::vector<std::string>{heading + " " + fits});

    const std::string overflows = fits + "b";
    EXPECT_EQ(wrapExtensionList({overflows}), (std::vector<std::string>{heading, "    " + overflows}));
}

TEST(GraphicsExtensionList, ATokenLongerThanSeventySixGetsALineOfItsOwn) {
    const std::string huge = "GL_" + std::string(74, 'x');
    const auto lines = wrapExtensionList({"GL_A", huge, "GL_B"});
    EXPECT_EQ(lines, (std::vector<std::string>{heading + " GL_A", "    " + huge, "    GL_B"}));
    EXPECT_EQ(lines[1].size(), 81u);
}

TEST(GraphicsExtensionList, LinesAreFilledAndKeepEveryTokenInOrder) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> length(4, 40);
    std::vector<std::string> tokens;
    for (int i = 0; i < 300; ++i) {
        tokens.push_back("GL_" + std::string(length(random), static_cast<char>('a' + i % 26)));
    }

    const auto lines = wrapExtensionList(tokens);
    ASSERT_GT(lines.size(), 1u);
    EXPECT_EQ(lines.front().rfind(heading, 0), 0u);

    std::vector<std::string> rejoined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_LE(lines[i].size(), 80u) << lines[i];
        if (i > 0) {
            EXPECT_EQ(lines[i].rfind("    GL_", 0), 0u) << lines[i];
        }
        // A line was broken only because the next token did not fit on it.
        if (i + 1 < lines.size()) {
            const std::string nextToken = lines[i + 1].substr(4, lines[i + 1].find(' ', 4) - 4);
            EXPECT_GT(lines[i].size() + 1 + nextToken.size(), 80u) << lines[i];
        }
        const std::string body = i == 0 ? lines[i].substr(heading.size()) : lines[i];
        std::string::size_type start = body.find_first_not_of(' ');
        while (start != std::string::npos) {
            const auto end = body.find(' ', start);
            rejoined.push_back(body.substr(start, end == std::string::npos ? std::string::npos : end - start));
            start = body.find_first_not_of(' ', end);
        }
    }
    EXPECT_EQ(rejoined, tokens);
}

} // namespace
