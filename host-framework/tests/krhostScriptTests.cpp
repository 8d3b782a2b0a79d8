// SPDX-License-Identifier: Apache-2.0
#include "krhostSession.h"

#include <Kr/PxImage.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace fs = std::filesystem;

namespace {

struct ScriptRun {
    int status;
    std::string output;
};

// Runs the real krhost on a script, standard error folded into the output.
ScriptRun runKrhost(const fs::path& dir, const std::string& script) {
    std::ofstream(dir / "script.kr") << script;
    const std::string command = "cd '" + dir.string() + "' && '" + std::string(KR_BIN_DIR) + "/krhost' script.kr 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ScriptRun run{-1, {}};
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.output.append(buffer, n);
    const int status = ::pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class KrhostScripts : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("krhostScriptTests-" + std::to_string(::getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

TEST_F(KrhostScripts, AScriptErrorNamesTheLineAndWhatWasWrongAndStopsTheScript) {
    ScriptRun run = runKrhost(dir, "# a document\ncreate Constant A\n\nset A Width many\necho never\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("krhost: script.kr:4: set: "), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("\"many\""), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("never"), std::string::npos);

    run = runKrhost(dir, "frobnicate\n");
    EXPECT_NE(run.output.find("script.kr:1: frobnicate: unknown command"), std::string::npos) << run.output;
    run = runKrhost(dir, "create Constant \"A\n");
    EXPECT_NE(run.output.find("script.kr:1: "), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("not closed"), std::string::npos) << run.output;
    run = runKrhost(dir, "open /dev/zero\n");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("script.kr:1: open: cannot load the document \"/dev/zero\": it is not a regular file"),
              std::string::npos)
        << run.output;
}

TEST_F(KrhostScripts, WritesANodesPixelsAsPng) {
    ScriptRun run = runKrhost(dir, "create Constant C\nset C Color \"0 1 0 1\"\nset C Width 6\nset C Height 2\n"
                                   "png C out.png\n");
    ASSERT_EQ(run.status, 0) << run.output;
    Kr::PxImage image = Kr::pxReadPng((dir / "out.png").string());
    EXPECT_EQ(image.width, 6);
    EXPECT_EQ(image.height, 2);
    EXPECT_FLOAT_EQ(image.at(5, 1)[1], 1.0f);
    EXPECT_FLOAT_EQ(image.at(5, 1)[0], 0.0f);
}

TEST_F(KrhostScripts, SessionCommandsDriveUndoSaveAndOpen) {
    std::ostringstream out;
    Krhost::Session session(out);
    const std::string file = (dir / "doc.xml").string();
    for (const char* line : {"create Constant A", "create Constant B", "set B Width 3", "undo", "undo"})
        session.run(line);
    session.run("save \"" + file + "\"");
    session.run("redo");
    session.run("print history");
    EXPECT_NE(out.str().find("undo history (2 steps, oldest first)\n  Create A\n  Create B\nredo (1 steps)\n"
                             "  Set Width\n"),
              std::string::npos)
        << out.str();
    session.run("open \"" + file + "\"");
    EXPECT_EQ(session.getGraph().getNodes().size(), 1u);
    EXPECT_FALSE(session.getGraph().getCommandStack().canUndo());
    EXPECT_THROW(session.run("connect A Output A Input"), Krhost::KrhostError);
}

// What a user typed or picked, whatever its bytes, comes back from the saved document.
TEST_F(KrhostScripts, ValuesOfAnyBytesAndNestedGroupsComeBackFromTheSavedDocument) {
    ScriptRun run = runKrhost(dir, "create Notes N\nset N Notes \"caf\xE9\x01\x07\f <&> \\\\x41\"\n"
                                   "group Inner\ngroup Outer\ningroup Inner Outer\ningroup N Inner\n"
                                   "save doc.xml\nopen doc.xml\nprint value N Notes\nprint graph\n");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("N.Notes = caf\xE9\x01\x07\f <&> \\x41\n"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("node N (Notes) in Inner\n"), std::string::npos) << run.output;
}

// Vertical tabs and form feeds are white space to the blank-line test and the reader alike.
TEST_F(KrhostScripts, LinesOfAnyWhiteSpaceAreBlank) {
    ScriptRun run = runKrhost(dir, "\v\n\f\n \v\f\t\r\n\f# a comment\n\vcreate\fConstant\vA\f\nprint\vgraph\n");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("node A (Constant)"), std::string::npos) << run.output;
}

TEST(KrhostTokens, QuotedTextsKeepTheirBlanksAndEscapes) {
    EXPECT_EQ(Krhost::Session::tokenize("connect P \"Selected Image\"  S\t\"a \\\"b\\\"\\n\""),
              (std::vector<std::string>{"connect", "P", "Selected Image", "S", "a \"b\"\n"}));
    EXPECT_TRUE(Krhost::Session::tokenize("   ").empty());
    for (const char* blank : {"", "\v", "\f", " \t\r\n\v\f", "  # comment", "\f#"})
        EXPECT_TRUE(Krhost::Session::readLine(blank).empty()) << blank;
    EXPECT_EQ(Krhost::Session::readLine("\vecho\f\"a\vb\""), (std::vector<std::string>{"echo", "a\vb"}));
}

} // namespace
