// SPDX-License-Identifier: Apache-2.0
#include <Kr/Ex.h>
#include <Kr/In.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing::ElementsAre;
using testing::HasSubstr;

namespace {

// argv as a program receives it: writable words and a terminating null.
struct CommandLine {
    explicit CommandLine(std::vector<std::string> words) : storage(std::move(words)) {
        for (std::string& word : storage)
            pointers.push_back(word.data());
        pointers.push_back(nullptr);
        argc = static_cast<int>(storage.size());
        argv = pointers.data();
    }
    std::vector<std::string> storage;
    std::vector<char*> pointers;
    int argc;
    char** argv;
};

TEST(FrameworkOptions, AreTakenOutAndTheRestKeepsItsOrder) {
    CommandLine line({"syscheck", "--kr-plugin-path=/a", "xml", "--kr-plugin-path", "/b", "--kr-build-info", "f.xml"});

    EXPECT_TRUE(Kr::InContextAliasMgrBase::takeFrameworkOptions(line.argc, line.argv));

    EXPECT_THAT(Kr::InContextAliasMgrBase::getUnboundArgs(), ElementsAre("syscheck", "xml", "f.xml"));
    EXPECT_THAT(Kr::InContextAliasMgrBase::getPluginDirectories(), ElementsAre("/a", "/b"));
    ASSERT_EQ(line.argc, 3);
    EXPECT_STREQ(line.argv[1], "xml");
    EXPECT_STREQ(line.argv[2], "f.xml");
    EXPECT_EQ(line.argv[3], nullptr);
}

TEST(FrameworkOptions, ProgramNameAndOrdinaryWordsAreNeverTaken) {
    CommandLine line({"--kr-build-info", "cpu", "-kr-x", "full"});
    EXPECT_FALSE(Kr::InContextAliasMgrBase::takeFrameworkOptions(line.argc, line.argv));
    EXPECT_THAT(Kr::InContextAliasMgrBase::getUnboundArgs(), ElementsAre("--kr-build-info", "cpu", "-kr-x", "full"));
}

TEST(FrameworkOptions, UnknownOrIncompleteOptionsAreRefusedByName) {
    CommandLine unknown({"syscheck", "--kr-verbose", "cpu"});
    try {
        Kr::InContextAliasMgrBase::takeFrameworkOptions(unknown.argc, unknown.argv);
        FAIL() << "an unknown framework option was accepted";
    } catch (const Kr::ExBase& ex) {
        EXPECT_THAT(ex.getText(), HasSubstr("\"--kr-verbose\""));
    }
    for (const char* option : {"--kr-plugin-path", "--kr-plugin-path="}) {
        CommandLine incomplete({"syscheck", option});
        EXPECT_THROW(Kr::InContextAliasMgrBase::takeFrameworkOptions(incomplete.argc, incomplete.argv), Kr::ExBase)
            << option;
    }
}

} // namespace
