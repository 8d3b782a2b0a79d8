// SPDX-License-Identifier: Apache-2.0
#include <Kr/OsFileReader.h>
#include <Kr/Utf8.h>
#include <Kr/WideStringUtil.h>
#include <Kr/Xml.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Writes each test's files into a directory of its own, removed afterwards.
class XmlFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/xmlParserTests.XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        _dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(_dir); }

    std::string write(const std::string& content, const std::string& name = "doc.xml") {
        const std::string path = _dir + "/" + name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    std::string _dir;
};

// Keeps every notification as one line of text, so a test can compare a whole parse at once.
class Recorder : public Kr::XmlParserProtocol {
public:
    void notifyXmlVersion(const std::string& v, std::int64_t line) override { add(line, "version " + v); }
    void notifyDocType(const std::string& name) override { add(0, "doctype " + name); }
    void notifyStartTag(const std::string& name) override { add(0, "start " + name); }
    void notifyEmptyTagEnd() override { add(0, "empty end"); }
    void notifyStartTagEnd(std::int64_t line) override { add(line, "start end"); }
    void notifyEndTag(const std::string& name, std::int64_t line) override { add(line, "end " + name); }
    void notifyAttribute(const std::string& name, const std::string& value, std::int64_t line) override {
        add(line, "attr " + name + "=" + value);
    }
    void notifyTextData(const std::string& text, std::int64_t line) override {
        add(line, "text " + text);
        pieces.push_back(text);
    }
    void notifyCharacterData(const std::string& text, std::int64_t line) override { add(line, "cdata " + text); }
    bool keepParsing() override { return ++markups != stopAfter; }

    std::vector<std::string> events;
    std::vector<std::string> pieces;
    int markups = 0;
    int stopAfter = -1;

private:
    void add(std::int64_t line, const std::string& what) {
        events.push_back(line == 0 ? what : std::to_string(line) + ": " + what);
    }
};

void parseFile(const std::string& path, Kr::XmlParserProtocol& protocol) {
    Kr::OsFileReader reader(path, false);
    Kr::XmlParser::parse(protocol, reader);
}

// The syntax error a file raises; fails the test when it parses.
Kr::XmlEx::ExSyntaxError syntaxErrorOf(const std::string& path) {
    Kr::XmlParserProtocol ignoring;
    try {
        parseFile(path, ignoring);
    } catch (const Kr::XmlEx::ExSyntaxError& error) {
        return error;
    }
    throw std::runtime_error("no syntax error for " + path);
}

TEST_F(XmlFiles, ReportsEveryConstructInDocumentOrderWithItsLine) {
    Recorder recorder;
    parseFile(write("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                    "<!DOCTYPE scene SYSTEM \"scene.dtd\" [ <!ENTITY x \"]>\"> <!-- ' ] --> ]>\n"
                    "<scene name=\"main\"\n"
                    "       size='2'>\n"
                    "  <node/><!-- skipped --><?skipped too?>"
                    "<label>one<![CDATA[<two>]]></label>\n"
                    "</scene>\n"),
              recorder);
    EXPECT_THAT(recorder.events,
                ElementsAre("1: version 1.0", "doctype scene", "start scene", "3: attr name=main", "4: attr size=2",
                            "4: start end", "start node", "empty end", "start label", "5: start end", "5: text one",
                            "5: cdata <two>", "5: end label", "6: end scene"));
}

TEST_F(XmlFiles, DecodesReferencesAndNormalisesAsXmlRequires) {
    Recorder recorder;
    parseFile(write("\xEF\xBB\xBF<a v=\"&lt;&gt;&amp;&apos;&quot; &#65;&#x42;\ttab\nline\">"
                    "x&#xE9;&#x1F600;&#10;y\r\nz\rw</a>"),
              recorder);
    EXPECT_THAT(recorder.events, ElementsAre("start a", "1: attr v=<>&'\" AB tab line", "2: start end",
                                             "2: text x\xC3\xA9\xF0\x9F\x98\x80\ny\nz\nw", "4: end a"));
}

TEST_F(XmlFiles, ExpandsInternalEntitiesAndReadsTheSubsetsDeclarations) {
    Recorder recorder;
    parseFile(write("<!DOCTYPE a [\n"
                    "  <!ELEMENT a (#PCDATA|b)*> <!ELEMENT b ((c, d?)+ | e)*> <!ELEMENT c EMPTY>\n"
                    "  <!ATTLIST b x CDATA #IMPLIED y (one|two) 'one' z NOTATION (n) #FIXED \"n\">\n"
                    "  <!NOTATION n PUBLIC \"-//n//EN\">\n"
                    "  <!ENTITY inner \"<b x='&amp;'>in&#38;amp;</b>\">\n"
                    "  <!ENTITY outer 'one &inner; two'>\n"
                    "  <!ENTITY % decls \"<!ENTITY viaPe 'pe'>\">\n"
                    "  %decls;\n"
                    "  <!ENTITY ext SYSTEM \"never-fetched.xml\">\n"
                    "  <?pi with ] and \" inside?> <!-- a comment with ' and ] -->\n"
                    "]>\n"
                    "<a v=\"&viaPe;&#38;\">&outer;&ext;</a>"),
              recorder);
    EXPECT_THAT(recorder.events, ElementsAre("doctype a", "start a", "12: attr v=pe&", "12: start end", "12: text one ",
                                             "start b", "12: attr x=&", "12: start end", "12: text in&", "12: end b",
                                             "12: text  two", "12: end a"));
}

TEST_F(XmlFiles, SkipsEntitiesItCannotSeeOnlyWhenTheyMayBeDeclaredElsewhere) {
    Recorder external;
    parseFile(write("<!DOCTYPE a SYSTEM \"a.dtd\"><a>x&undeclared;y</a>"), external);
    EXPECT_THAT(external.events, ElementsAre("doctype a", "start a", "1: start end", "1: text xy", "1: end a"));

    // After a parameter entity that is not read, declarations are checked but not used.
    Recorder afterUnread;
    parseFile(write("<!DOCTYPE a [ <!ENTITY % p SYSTEM \"p.ent\"> %p; <!ENTITY later 'x'> ]><a>&later;</a>"),
              afterUnread);
    EXPECT_THAT(afterUnread.events, ElementsAre("doctype a", "start a", "1: start end", "1: end a"));
}

TEST_F(XmlFiles, RefusesEntityExpansionAttacksQuickly) {
    std::string laughs = "<!DOCTYPE a [ <!ENTITY l0 \"lol\">";
    for (int i = 1; i <= 9; ++i) {
        const std::string previous = "&l" + std::to_string(i - 1) + ";";
        std::string value;
        for (int k = 0; k < 10; ++k) {
            value += previous;
        }
        laughs += " <!ENTITY l" + std::to_string(i) + " \"" + value + "\">";
    }
    EXPECT_THAT(syntaxErrorOf(write(laughs + " ]><a>&l9;</a>")).getXmlMessage(), HasSubstr("expansion attack"));

    std::string chain = "<!DOCTYPE a [ <!ENTITY e0 \"x\">";
    for (int i = 1; i <= 50; ++i) {
        chain += " <!ENTITY e" + std::to_string(i) + " \"&e" + std::to_string(i - 1) + ";\">";
    }
    EXPECT_THAT(syntaxErrorOf(write(chain + " ]><a>&e50;</a>")).getXmlMessage(), HasSubstr("nested more than 40"));
}

// The same document in several encodings, long enough that the conversion runs over many
// read chunks; the UTF-16 and Latin-9 bytes are made here by hand, not by the converter used.
TEST_F(XmlFiles, ReadsUtf16BothWaysAndDeclaredEncodings) {
    std::u32string text;
    for (int i = 0; i < 40000; ++i) {
        text += U"caf\u00E9 \u20AC ";
    }
    const std::u32string emoji = U"\U0001F600";
    const auto utf16 = [](const std::u32string& chars, bool bigEndian) {
        std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        const auto unit = [&](unsigned u) {
            const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
            out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
        };
        for (const char32_t c : chars) {
            if (c >= 0x10000) {
                unit(0xD800 + ((c - 0x10000) >> 10));
                unit(0xDC00 + ((c - 0x10000) & 0x3FF));
            } else {
                unit(static_cast<unsigned>(c));
            }
        }
        return out;
    };
    const auto latin9 = [](const std::u32string& chars) {
        std::string out;
        for (const char32_t c : chars) {
            out.push_back(static_cast<char>(c == U'\u20AC' ? 0xA4 : c));
        }
        return out;
    };
    const auto document = [&](const std::u32string& encoding, const std::u32string& body) {
        return U"<?xml version=\"1.0\" encoding=\"" + encoding + U"\"?>\r\n<a>" + body + U"</a>";
    };
    std::string expected;
    for (const char32_t c : text) {
        expected += Kr::WideStringUtil::narrowMB(std::wstring(1, static_cast<wchar_t>(c)));
    }
    const std::string emojiUtf8 = "\xF0\x9F\x98\x80";
    const struct {
        const char* name;
        std::string bytes;
        std::string text;
    } files[] = {
        {"UTF-16LE", utf16(document(U"UTF-16", text + emoji), false), expected + emojiUtf8},
        {"UTF-16BE", utf16(document(U"utf-16", text + emoji), true), expected + emojiUtf8},
        {"Latin-9", latin9(document(U"ISO-8859-15", text)), expected},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.name);
        Recorder recorder;
        parseFile(write(file.bytes), recorder);
        std::string joined;
        for (const std::string& piece : recorder.pieces) {
            joined += piece;
        }
        EXPECT_EQ(joined, file.text);
        EXPECT_EQ(recorder.events.front(), "1: version 1.0");
        EXPECT_EQ(recorder.events.back(), "2: end a");
    }
}

TEST_F(XmlFiles, ReportsTextButNotIndentation) {
    Recorder recorder;
    parseFile(write("<a>\n  <b/> x <c/>&#32;<d/>\t<![CDATA[ ]]>\n</a>"), recorder);
    EXPECT_THAT(recorder.events,
                ElementsAre("start a", "1: start end", "start b", "empty end", "2: text  x ", "start c", "empty end",
                            "2: text  ", "start d", "empty end", "2: cdata  ", "3: end a"));

    // A reader whose texts are data hears the blanks too, and where each tag began; text in
    // memory reads as the same file does.
    class Keeper : public Recorder {
        bool keepsBlankText() const override { return true; }
        void notifyStartTag(const std::string& name) override {
            events.push_back(std::to_string(getTagLine()) + ": start " + name);
        }
    } keeper;
    Kr::XmlParser::parseText(keeper, "<a>\n  <b\n/> x <c/>&#32;<d/>\t<![CDATA[ ]]>\n</a>", "memory.xml");
    EXPECT_THAT(keeper.events, ElementsAre("1: start a", "1: start end", "1: text \n  ", "2: start b", "empty end",
                                           "3: text  x ", "3: start c", "empty end", "3: text  ", "3: start d",
                                           "empty end", "3: text \t", "3: cdata  ", "3: text \n", "4: end a"));
    EXPECT_EQ(keeper.getFileName(), "memory.xml");
}

TEST_F(XmlFiles, LeavesNestingToTheProtocol) {
    Recorder recorder;
    parseFile(write("<a>\n<b>\n</a>\n</b>"), recorder);
    EXPECT_THAT(recorder.events,
                ElementsAre("start a", "1: start end", "start b", "2: start end", "3: end a", "4: end b"));

    Recorder unclosed;
    parseFile(write("<a><b>text"), unclosed);
    EXPECT_THAT(unclosed.events, ElementsAre("start a", "1: start end", "start b", "1: start end", "1: text text"));
}

TEST_F(XmlFiles, StopsQuietlyWhenTheProtocolAsks) {
    Recorder recorder;
    recorder.stopAfter = 2;
    parseFile(write("<a><b/><c/>broken <</a>"), recorder);
    EXPECT_THAT(recorder.events, ElementsAre("start a", "1: start end", "start b", "empty end"));
}

TEST_F(XmlFiles, CutsLongTextOnlyBetweenCharacters) {
    // Long enough for several pieces and several read chunks; the odd-sized 'x' prefix puts
    // the two-byte characters across every power-of-two boundary.
    std::string text = "x";
    while (text.size() < 3 * 1024 * 1024) {
        text += "\xC3\xA9";
    }
    Recorder recorder;
    parseFile(write("<a>" + text + "</a>"), recorder);
    ASSERT_GT(recorder.pieces.size(), 1u);
    std::string joined;
    for (const std::string& piece : recorder.pieces) {
        EXPECT_EQ(Kr::WideStringUtil::narrowMB(Kr::WideStringUtil::widenMB(piece)), piece)
            << "piece cut in a character";
        joined += piece;
    }
    EXPECT_EQ(joined, text);
}

TEST_F(XmlFiles, ReadsAMillionNestedElementsWithoutRecursion) {
    constexpr int depth = 1000000;
    std::string doc;
    doc.reserve(depth * 8);
    for (int i = 0; i < depth; ++i) {
        doc += "<e>";
    }
    for (int i = 0; i < depth; ++i) {
        doc += "</e>";
    }
    struct Counter : Kr::XmlParserProtocol {
        void notifyStartTag(const std::string&) override { maxDepth = std::max(maxDepth, ++open); }
        void notifyEndTag(const std::string&, std::int64_t) override { --open; }
        int open = 0;
        int maxDepth = 0;
    } counter;
    parseFile(write(doc), counter);
    EXPECT_EQ(counter.maxDepth, depth);
    EXPECT_EQ(counter.open, 0);
}

TEST_F(XmlFiles, PassesNotificationFailuresOnUnchanged) {
    struct Refusing : Kr::XmlParserProtocol {
        void notifyAttribute(const std::string&, const std::string&, std::int64_t line) override {
            throw Kr::ExProcessRc(static_cast<int>(line));
        }
    } refusing;
    try {
        parseFile(write("<a\n\nx='1'/>"), refusing);
        FAIL() << "the notification's exception was lost";
    } catch (const Kr::ExProcessRc& e) {
        EXPECT_EQ(e.getReturnCode(), 3);
    }
}

TEST_F(XmlFiles, NamesTheFileBeingParsed) {
    Kr::XmlParserProtocol protocol;
    const std::string path = write("<a/>", "named.xml");
    parseFile(path, protocol);
    EXPECT_EQ(protocol.getFileName(), path);
}

struct Malformed {
    const char* content;
    const char* message;
    std::int64_t line;
};

TEST_F(XmlFiles, MalformedInputRaisesSyntaxErrorWithFileAndLine) {
    const Malformed cases[] = {
        {"", "no root element", 1},
        {"<!-- only a comment -->\n", "no root element", 2},
        {"<a>\n<b", "ends inside start tag \"b\"", 2},
        {"<a x=\"1></a>", "\"<\" is not allowed in the value of attribute \"x\"", 1},
        {"<a x=1/>", "must be quoted", 1},
        {"<a x/>", "has no value", 1},
        {"<a x='1'y='2'/>", "separated by white space", 1},
        {"<a x='1' x='2'/>", "appears twice", 1},
        {"<a>\n\n 1 < 2</a>", "\"<\" is not followed by a tag name", 3},
        {"<a>&nbsp;</a>", "undefined entity \"&nbsp;\"", 1},
        {"<a>AT&T</a>", "not closed by \";\"", 1},
        {"<a>& </a>", "does not begin a reference", 1},
        {"<a>&#xD800;</a>", "names a character XML does not allow", 1},
        {"<a>&#99999999999999999999;</a>", "names a character XML does not allow", 1},
        {"<a>&#x;</a>", "has no digits", 1},
        {"<a>&#12a;</a>", "malformed character reference", 1},
        {"<a>]]></a>", "\"]]>\" is not allowed in text", 1},
        {"<a></a>\n<b/>", "follows the root element", 2},
        {"<a/>\ntail", "text outside the root element", 2},
        {"lead<a/>", "text outside the root element", 1},
        {"</a>", "closes no open element", 1},
        {"<a></a></a>", "closes no open element", 1},
        {"<a></a >x", "text outside the root element", 1},
        {"<a></a x>", "expected \">\" to close end tag \"a\"", 1},
        {"<a/ >", "expected \">\" after \"/\"", 1},
        {"<a><!-- a -- b --></a>", "\"--\" is not allowed inside a comment", 1},
        {"<a><!-- open</a>", "not closed by \"-->\"", 1},
        {"<a><![CDATA[open</a>", "not closed by \"]]>\"", 1},
        {"<![CDATA[x]]><a/>", "CDATA section outside the root element", 1},
        {"<a><!DOCTYPE a></a>", "before the root element", 1},
        {"<!DOCTYPE a><!DOCTYPE a><a/>", "second document type", 1},
        {"<!DOCTYPE a [ <!ENTITY x 'y'> <a/>", "internal subset", 1},
        {"<a><?pi unterminated</a>", "not closed by \"?>\"", 1},
        {"\n<?xml version=\"1.0\"?><a/>", "only at the very start", 2},
        {"<?xml encoding=\"UTF-8\"?><a/>", "must begin with the version", 1},
        {"<?xml version=\"1.0\" encoding=\"no-such-code\"?><a/>", "encoding \"no-such-code\" is not supported", 1},
        {"<?xml version=\"1.0\" encoding=\"UTF-16\"?><a/>", "is not in UTF-16", 1},
        {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a/>", "UTF-8 byte-order mark", 1},
        {"<?xml version=\"1.0\" encoding=\"US-ASCII\"?><a>\xC3\xA9</a>", "not a character in encoding", 1},
        {"<?xml version=\"1.0&#x30;\"?><a/>", "in the value of \"version\"", 1},
        {"<?xml version=\"2.0\"?><a/>", "malformed version number", 1},
        {"<?xml version=\"1.0\" encoding=\"8bit\"?><a/>", "malformed encoding name", 1},
        {"<?XML version=\"1.0\"?><a/>", "target \"XML\" is reserved", 1},
        {"<a><?xMl x?></a>", "target \"xMl\" is reserved", 1},
        {"<a>\xEF\xBF\xBE</a>", "U+FFFE and U+FFFF", 1},
        {"<a>\xEF\xBF\xBF</a>", "U+FFFE and U+FFFF", 1},
        {"<a\xC3\x97/>", "U+00D7 is not allowed in a name", 1},
        {"<\xCC\x80\x61/>", "U+0300 cannot begin a name", 1},
        {"<!DOCTYPE a SYSTEM \"a.dtd\" junk><a/>", "unexpected \"j\" in the document type declaration", 1},
        {"<!DOCTYPE a PUBLIC \"{x}\" \"a.dtd\"><a/>", "in a public identifier", 1},
        {"<!DOCTYPE a [ this is <not> a declaration ]><a/>", "unexpected \"t\" in the internal subset", 1},
        {"<!DOCTYPE a [ <!ELEMENT a (b,c|d)> ]><a/>", "mixes \",\" and \"|\"", 1},
        {"<!DOCTYPE a [ <!ELEMENT a (#PCDATA|b)> ]><a/>", "must end with \")*\"", 1},
        {"<!DOCTYPE a [ <!ELEMENT a (b|)> ]><a/>", "expected an element name or \"(\"", 1},
        {"<!DOCTYPE a [ <!ATTLIST a x CDATA #DEFAULT> ]><a/>", "unknown default \"#DEFAULT\"", 1},
        {"<!DOCTYPE a [ <!ATTLIST a x CDATA \"&u;\"> ]><a/>", "undefined entity \"&u;\"", 1},
        {"<!DOCTYPE a [ <!ENTITY e \"%p;\"> ]><a/>", "parameter entity reference may not stand inside", 1},
        {"<!DOCTYPE a [ <!ENTITY % p \"<!ELEMENT a\"> %p; ANY> ]><a/>", "end of an entity's text", 1},
        {"<!DOCTYPE a [ <!ENTITY e \"<b>\"> ]><a>&e;</b></a>", "does not end in it", 1},
        {"<!DOCTYPE a [ <!ENTITY e \"</a>\"> ]><a>&e;", "closes an element begun outside it", 1},
        {"<!DOCTYPE a [ <!ENTITY e \"x&e;\"> ]><a>&e;</a>", "refers to itself", 1},
        {"<!DOCTYPE a [ <!ENTITY e \"<\"> ]><a x=\"&e;\"/>", "\"<\" is not allowed in the value", 1},
        {"<!DOCTYPE a [ <!ENTITY e SYSTEM \"e.xml\"> ]><a x=\"&e;\"/>", "external entity", 1},
        {"<!DOCTYPE a [ <!NOTATION n SYSTEM \"n\"> <!ENTITY e SYSTEM \"e\" NDATA n> ]><a>&e;</a>", "unparsed entity",
         1},
        // Line ends in an entity's text are not lines of the file.
        {"<!DOCTYPE a [ <!ENTITY e \"x&#10;&#10;&#10;y\"> ]><a>&e;\n<</a>", "not followed by a tag name", 2},
        {"<?xml version=\"1.0\" standalone=\"yes\"?><!DOCTYPE a SYSTEM \"a.dtd\"><a>&u;</a>",
         "undefined entity \"&u;\"", 1},
        {"<?xml version=\"1.0\" standalone=\"maybe\"?><a/>", "standalone must be", 1},
        {"<?xml?><a/>", "has no version", 1},
        {"<!ELEMENT a><a/>", "\"<!\" must begin", 1},
        {"<a>\n\xFF</a>", "byte 0xFF cannot start a character", 2},
        {"<a>\xC3(</a>", "where a continuation byte was expected", 1},
        {"<a>\xE0\x80\x80</a>", "where a continuation byte was expected", 1},
        {"<a>\xED\xA0\x80</a>", "where a continuation byte was expected", 1},
        {"<a>\xC3", "ends inside a UTF-8 byte sequence", 1},
        {"<a>\x01</a>", "control character 0x01", 1},
    };
    for (const Malformed& m : cases) {
        SCOPED_TRACE(m.content);
        const std::string path = write(m.content);
        const Kr::XmlEx::ExSyntaxError error = syntaxErrorOf(path);
        EXPECT_THAT(error.getXmlMessage(), HasSubstr(m.message));
        EXPECT_EQ(error.getXmlLine(), m.line);
        EXPECT_EQ(error.getFileName(), path);
    }
}

TEST(XmlEx, TextComposesMessageFileXmlLineAndSourcePosition) {
    const Kr::XmlEx::ExSyntaxError error("app\\checkutil\\src\\xmlKrcheckInit", 216, "bad end tag", 12, "/d/a.xml");
    EXPECT_EQ(error.getText(),
              "bad end tag (file \"/d/a.xml\", XML line 12) [app\\checkutil\\src\\xmlKrcheckInit:216]");
    EXPECT_THAT(error.getMessage(), HasSubstr("ExSyntaxError: bad end tag (file"));

    const Kr::XmlEx::ExXmlVersionNotSupported version("src", 163, 1, "");
    EXPECT_EQ(version.getText(), "XML version not supported (XML line 1) [src:163]");

    // A copy made by the framework's exception wrapper keeps the kind and the texts.
    const std::unique_ptr<Kr::ExBase> copy(error.clone());
    EXPECT_NE(dynamic_cast<Kr::XmlEx::ExSyntaxError*>(copy.get()), nullptr);
    EXPECT_EQ(copy->getText(), error.getText());
}

TEST_F(XmlFiles, FileReaderNamesTheFileAndTheSystemsReason) {
    const auto failureOf = [](const std::string& path) {
        try {
            Kr::OsFileReader reader(path, false);
        } catch (const Kr::OsExFileAccess& e) {
            return e.getText();
        }
        return std::string("opened");
    };
    EXPECT_EQ(failureOf(_dir + "/missing.xml"),
              "cannot open \"" + _dir + "/missing.xml\" for reading: No such file or directory");
    EXPECT_EQ(failureOf(_dir), "cannot read \"" + _dir + "\": Is a directory");
}

TEST_F(XmlFiles, FileReaderReadsToTheEndAndRefusesAfterClose) {
    const std::string content(200000, 'q');
    Kr::OsFileReader reader(write(content), false);
    std::string read(300000, '\0');
    EXPECT_EQ(reader.read(read.data(), read.size()), content.size());
    EXPECT_EQ(reader.read(read.data(), read.size()), 0u);
    reader.close();
    EXPECT_FALSE(reader.isOpen());
    EXPECT_THROW(reader.read(read.data(), 1), Kr::OsExFileAccess);
}

TEST(WideStringUtil, RoundTripsUnicodeAndReplacesWhatIsNotText) {
    const std::string text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
    EXPECT_EQ(Kr::WideStringUtil::widenMB(text), std::wstring(L"a\u00E9\u20AC\U0001F600"));
    EXPECT_EQ(Kr::WideStringUtil::narrowMB(Kr::WideStringUtil::widenMB(text)), text);
    // Overlong form, lone continuation byte, truncated sequence.
    EXPECT_EQ(Kr::WideStringUtil::widenMB("\xC0\xAF|\x80|\xE2\x82"), std::wstring(L"\uFFFD\uFFFD|\uFFFD|\uFFFD\uFFFD"));
    EXPECT_EQ(Kr::WideStringUtil::narrowMB(std::wstring{wchar_t(0xD800), wchar_t(0x110000)}),
              "\xEF\xBF\xBD\xEF\xBF\xBD");
}

// Every scalar value goes through the codec and back; what is not one is refused.
TEST(Utf8, EncodesAndDecodesEveryScalarValueAndRefusesEverythingElse) {
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        std::string text;
        Kr::Utf8::append(text, c);
        char32_t back = 0;
        ASSERT_EQ(Kr::Utf8::decode(text, back), text.size()) << unsigned(c);
        ASSERT_EQ(back, c);
        ASSERT_EQ(text.size(), c < 0x80 ? 1u : c < 0x800 ? 2u : c < 0x10000 ? 3u : 4u);
    }
    for (const char* bad : {"\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\x80", "\xE2\x82",
                            "\xF8\x88\x80\x80\x80", ""}) {
        char32_t untouched = 7;
        EXPECT_EQ(Kr::Utf8::decode(bad, untouched), 0u) << bad;
        EXPECT_EQ(untouched, 7u);
    }
}

TEST(XmlDocumentModel, ElementKeepsAttributesAndWideDataDocumentKeepsFirstType) {
    Kr::RCShdPtr<Kr::XmlElement> element(new Kr::XmlElement("node"));
    element->setAttribute("x", "1");
    element->setAttribute("x", "2");
    EXPECT_EQ(element->getAttribute("x"), "2");
    EXPECT_FALSE(element->hasAttribute("y"));
    EXPECT_EQ(element->getAttribute("y"), "");
    element->setData("caf\xC3\xA9");
    EXPECT_EQ(element->getData(), L"caf\u00E9");

    Kr::XmlDocument document;
    EXPECT_EQ(document.getDocumentType(), nullptr);
    EXPECT_TRUE(document.setDocumentType(Kr::OPtr<Kr::XmlDocumentType>(new Kr::XmlDocumentType("first"))));
    EXPECT_FALSE(document.setDocumentType(Kr::OPtr<Kr::XmlDocumentType>(new Kr::XmlDocumentType("second"))));
    EXPECT_EQ(document.getDocumentType()->getName(), "first");
}

} // namespace
