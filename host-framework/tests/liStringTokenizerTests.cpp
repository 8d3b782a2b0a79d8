// SPDX-License-Identifier: Apache-2.0
#include <Kr/LiString.h>
#include <Kr/LiStringTokenizer.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> tokens(const Kr::LiStringTokenizer& tokenizer) {
    return {tokenizer.begin(), tokenizer.end()};
}

// Keeps every token, so the tests can see the empty ones too.
class KeepAll : public Kr::UnaryFunctor<std::string, bool> {
public:
    bool operator()(const std::string&) override {
        ++calls;
        return true;
    }
    int calls = 0;
};

TEST(LiStringTokenizer, EveryDelimiterSplitsAndAdjacentOnesYieldEmptyTokens) {
    KeepAll keepAll;
    const Kr::LiStringTokenizer tokenizer(" a,b  c,", " ,", keepAll);
    EXPECT_EQ(tokens(tokenizer), (std::vector<std::string>{"", "a", "b", "", "c", ""}));
    EXPECT_EQ(keepAll.calls, 6);
}

TEST(LiStringTokenizer, NotEmptyKeepsOnlyRealTokens) {
    Kr::LiStringTokenizer::NotEmpty notEmpty;
    EXPECT_EQ(tokens(Kr::LiStringTokenizer("  GL_A GL_B   GL_C ", Kr::LiString(" "), notEmpty)),
              (std::vector<std::string>{"GL_A", "GL_B", "GL_C"}));
    EXPECT_EQ(tokens(Kr::LiStringTokenizer("", Kr::LiString(" "), notEmpty)), std::vector<std::string>{});
    EXPECT_EQ(tokens(Kr::LiStringTokenizer("   ", Kr::LiString(" "), notEmpty)), std::vector<std::string>{});
}

TEST(LiStringTokenizer, WithoutDelimitersTheWholeTextIsOneToken) {
    Kr::LiStringTokenizer::NotEmpty notEmpty;
    EXPECT_EQ(tokens(Kr::LiStringTokenizer("GL_A GL_B", "", notEmpty)), std::vector<std::string>{"GL_A GL_B"});
}

} // namespace
