// SPDX-License-Identifier: Apache-2.0
// `syscheck xml FILE` run as a process on files the tests write.

#include "processRun.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

class XmlCheck : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/xmlCheckTests.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        _dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(_dir); }

    std::string write(const std::string& content, const std::string& name = "doc.xml") {
        const std::string path = _dir + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    static ProcessResult syscheckXml(const std::string& path) {
        return runProcess({std::string(KR_BIN_DIR) + "/syscheck", "xml", path});
    }

    static std::string header(const std::string& path) { return "\nParsing " + path + " ...\n"; }
    static std::string failure(const std::string& text) { return "Unable to parse XML file : " + text + "\n"; }

    std::string _dir;
};

TEST_F(XmlCheck, ValidFileGivesTheThreeLines) {
    const std::string path = write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                   "<!DOCTYPE scene>\n"
                                   "<scene name=\"a &amp; b\" id='&#x31;'>\n"
                                   "  <node label=\"&lt;in&gt;\"/>\n"
                                   "  <text>caf\xC3\xA9 &quot;x&quot;<![CDATA[<raw/>]]></text>\n"
                                   "  <!-- comment --><?pi skipped?>\n"
                                   "</scene>\n");
    const ProcessResult run = syscheckXml(path);
    EXPECT_EQ(run.out, header(path) + "XML file valid.\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exitCode, 0);
}

TEST_F(XmlCheck, VersionOtherThanOnePointZeroIsRefused) {
    const std::string path = write("<?xml version=\"1.1\"?>\n<a/>\n");
    const ProcessResult run = syscheckXml(path);
    EXPECT_EQ(run.out, header(path) + failure("XML version not supported (file \"" + path +
                                              "\", XML line 1) [app\\checkutil\\src\\xmlKrcheckInit:163]"));
    EXPECT_EQ(run.exitCode, 0);
}

TEST_F(XmlCheck, SwappedEndTagsNameTheTagMetAndTheTagMissing) {
    const std::string path = write("<a>\n  <b>\n  </a>\n</b>\n");
    const ProcessResult run = syscheckXml(path);
    EXPECT_EQ(run.out, header(path) + failure("at \"a\" element end tag. End tag \"b\" missing (file \"" + path +
                                              "\", XML line 3) [app\\checkutil\\src\\xmlKrcheckInit:216]"));
    EXPECT_EQ(run.exitCode, 0);
}

TEST_F(XmlCheck, MissingFileGivesTheFileOpenFailure) {
    const std::string path = _dir + "/absent.xml";
    const ProcessResult run = syscheckXml(path);
    EXPECT_EQ(run.out, header(path) + failure("cannot open \"" + path + "\" for reading: No such file or directory"));
    EXPECT_EQ(run.exitCode, 0);
}

// A file that ends with elements open is not valid, and the check must not say it is first.
TEST_F(XmlCheck, OpenElementsAtTheEndGiveOnlyTheFailure) {
    const std::string path = write("<a>\n<b>\n</b>\n");
    const ProcessResult run = syscheckXml(path);
    EXPECT_EQ(run.out, header(path) + failure("_elementStack.empty()"));
    EXPECT_EQ(run.exitCode, 0);
}

TEST_F(XmlCheck, MillionNestingLevelsAreChecked) {
    constexpr int depth = 1000000;
    std::string doc = "<?xml version=\"1.0\"?>\n";
    for (int i = 0; i < depth; ++i) {
        doc += "<e>";
    }
    for (int i = 0; i < depth; ++i) {
        doc += "</e>";
    }
    const std::string path = write(doc);
    EXPECT_EQ(syscheckXml(path).out, header(path) + "XML file valid.\n");

    doc.resize(doc.size() - 4);
    doc += "</f>";
    const ProcessResult swapped = syscheckXml(write(doc, "swapped.xml"));
    EXPECT_NE(swapped.out.find("at \"f\" element end tag. End tag \"e\" missing"), std::string::npos) << swapped.out;
    EXPECT_EQ(swapped.exitCode, 0);
}

// The text between the root's children accumulates in the root; each piece must cost only
// its own length, or a file like this one takes hours instead of a moment.
TEST_F(XmlCheck, RootWithHalfAMillionChildrenIsChecked) {
    std::string doc = "<root>";
    for (int i = 0; i < 500000; ++i) {
        doc += "\n  <child/>";
    }
    doc += "\n</root>\n";
    const std::string path = write(doc);
    EXPECT_EQ(syscheckXml(path).out, header(path) + "XML file valid.\n");
}

TEST_F(XmlCheck, MalformedFilesGiveOneFailureLineAndExitNormally) {
    const char* const cases[] = {
        "",
        "<a",
        "<a x=\"1></a>",
        "<a>1 < 2</a>",
        "<a>&bogus;</a>",
        "<a></a><b/>",
        "<a/>trailing",
        "</a>",
        "<a><!-- never closed</a>",
        "<a>\xFF</a>",
        "\xFF\xFE<",
        "<?xml version=\"1.0\" encoding=\"no-such-code\"?><a/>",
        "<!DOCTYPE a [ <not> a declaration ]><a/>",
    };
    for (const char* content : cases) {
        SCOPED_TRACE(content);
        const std::string path = write(content);
        const ProcessResult run = syscheckXml(path);
        EXPECT_EQ(run.exitCode, 0);
        const std::string expectedStart = header(path) + "Unable to parse XML file : ";
        ASSERT_EQ(run.out.substr(0, expectedStart.size()), expectedStart);
        const std::string rest = run.out.substr(expectedStart.size());
        EXPECT_NE(rest.find("(file \"" + path + "\", XML line 1)"), std::string::npos) << rest;
        EXPECT_EQ(rest.find('\n'), rest.size() - 1) << "one line expected";
    }
}

} // namespace

// Every check plug-in exports its package type, as the framework's loader and other
// libraries look it up by name; nm reads the plug-in's dynamic symbol table.
TEST(CheckPlugins, ExportTheirPackageType) {
    for (const std::string name : {"cpu", "graphics", "xml"}) {
        SCOPED_TRACE(name);
        const ProcessResult run = runProcess(
            {"/usr/bin/nm", "-D", "--defined-only", "-C", std::string(KR_BIN_DIR) + "/libKR" + name + ".krcheck"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.out.find("Kr::InInit<KrInit::" + name + "Krcheck>::getType()"), std::string::npos);
    }
}
