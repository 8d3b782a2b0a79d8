#include "Kr/OsFileReader.h"
#include "Kr/Xml.h"

#include "xmlByteStream.h"
#include "xmlCharacters.h"

#include <unordered_set>
#include <vector>

namespace Kr {

namespace {

using namespace XmlCharacters;

const char* const sourcePath = "host-framework/src/xml/xmlParser";

constexpr int endOfFile = XmlByteStream::endOfFile;

// Text is handed on in pieces of about this size, so that a long text costs no more memory
// than this however long it runs.
#ifdef KR_XML_SMALL_BUFFERS
constexpr std::size_t textPieceSize = 5;
#else
constexpr std::size_t textPieceSize = 1024 * 1024;
#endif

// Longest entity name looked up; the predefined ones are at most four letters.
constexpr std::size_t maxEntityNameLength = 32;

std::string quoted(const std::string& name) {
    return "\"" + name + "\"";
}

// One pass over one file. Every construct is read by a loop of its own and the element
// nesting is only counted, never held, so neither the call stack nor the memory grows with
// the depth of the document or the size of the file; only a single name, attribute value or
// CDATA section is held whole.
class Parser {
public:
    Parser(XmlParserProtocol& protocol, OsFileReader& reader, const std::string& fileName)
        : _protocol(protocol), _in(reader, fileName) {}

    void run();

private:
    enum class Stage { Prolog, Root, Epilog };

    void markup(std::int64_t line, bool atDocumentStart);
    void startTag(int c, std::int64_t line);
    void endTag(std::int64_t line);
    void comment(std::int64_t line);
    void cdataSection(std::int64_t line);
    void docType(std::int64_t line);
    void skipInternalSubset(std::int64_t line);
    void processingInstruction(std::int64_t line, bool atDocumentStart);
    void xmlDeclaration(int c, std::int64_t line);
    void text(int c, std::int64_t line);
    void flushText(bool textEnds);
    void reference(std::string& out);
    void characterReference(std::string& out);

    int readName(int c, std::string& name);
    int skipSpace(int c);
    int readQuoted(int quote, std::string& value, bool inDeclaration);
    bool isRepeatedAttribute();
    void expect(const char* keyword, const std::string& what);
    void leaveElement();

    // The default argument is evaluated where fail is called, so the error carries that line.
    [[noreturn]] void fail(const std::string& message, int sourceLine = __builtin_LINE()) const {
        _in.fail(sourcePath, sourceLine, message);
    }

    XmlParserProtocol& _protocol;
    XmlByteStream _in;
    Stage _stage = Stage::Prolog;
    std::uint64_t _depth = 0;
    bool _seenDocType = false;

    std::string _text;
    std::int64_t _textLine = 0;
    int _textBrackets = 0;
    // Whether the text since the last markup is white space only, and whether part of it was
    // handed on already.
    bool _textBlank = true;
    bool _textCut = false;

    std::string _name;
    std::string _attributeName;
    std::string _attributeValue;
    std::string _scratch;
    // Names of the start tag's attributes so far: the first few in a reused vector, compared one by
    // one without allocating; a tag with more moves on to a hash set.
    static constexpr std::size_t fewAttributes = 16;
    std::vector<std::string> _attributeNames;
    std::size_t _attributeCount = 0;
    std::unordered_set<std::string> _manyAttributeNames;
};

void Parser::run() {
    bool atDocumentStart = true;
    for (;;) {
        const std::int64_t line = _in.line();
        const int c = _in.get();
        if (c == endOfFile) {
            break;
        }
        if (c == '<') {
            flushText(true);
            markup(line, atDocumentStart);
            if (!_protocol.keepParsing()) {
                return;
            }
        } else {
            text(c, line);
        }
        atDocumentStart = false;
    }
    flushText(true);
    if (_stage == Stage::Prolog) {
        fail("the file holds no root element");
    }
    // Elements still open at the end are the protocol's to judge: the parser only counts them.
}

void Parser::text(int c, std::int64_t line) {
    if (_stage != Stage::Root) {
        if (!isSpace(c)) {
            fail(c == '&' ? "reference outside the root element"
                          : "text outside the root element (found " + describe(c) + ")");
        }
        return;
    }
    if (_text.empty()) {
        _textLine = line;
    }
    if (c == '&') {
        reference(_text);
        _textBrackets = 0;
        _textBlank = false;
    } else {
        if (c == '>' && _textBrackets >= 2) {
            fail("\"]]>\" is not allowed in text");
        }
        _textBrackets = c == ']' ? _textBrackets + 1 : 0;
        const std::size_t start = _text.size();
        _text.push_back(static_cast<char>(c));
        if (_in.appendPlainText(_text)) {
            _textBrackets = 0;
        }
        if (_textBlank) {
            _textBlank = _text.find_first_not_of(" \n\t", start) == std::string::npos;
        }
    }
    if (_text.size() >= textPieceSize && _in.atCharBoundary()) {
        flushText(false);
    }
}

// White space alone between two pieces of markup is indentation: it is not handed on, so
// that an element with many children does not collect the blanks between them.
void Parser::flushText(bool textEnds) {
    if (!_text.empty() && !(textEnds && _textBlank && !_textCut)) {
        _protocol.notifyTextData(_text, _textLine);
    }
    _text.clear();
    _textCut = !textEnds;
    if (textEnds) {
        _textBrackets = 0;
        _textBlank = true;
    }
}

void Parser::markup(std::int64_t line, bool atDocumentStart) {
    const int c = _in.get();
    if (c == '/') {
        endTag(line);
    } else if (c == '?') {
        processingInstruction(line, atDocumentStart);
    } else if (c == '!') {
        const int next = _in.get();
        if (next == '-') {
            comment(line);
        } else if (next == '[') {
            cdataSection(line);
        } else if (next == 'D') {
            docType(line);
        } else {
            fail("\"<!\" must begin a comment, a CDATA section or a document type declaration (found " +
                 describe(next) + ")");
        }
    } else if (isNameStart(c)) {
        startTag(c, line);
    } else {
        fail("\"<\" is not followed by a tag name (found " + describe(c) + "); write \"&lt;\" for a less-than sign");
    }
}

int Parser::readName(int c, std::string& name) {
    name.clear();
    while (isNameChar(c)) {
        name.push_back(static_cast<char>(c));
        c = _in.get();
    }
    return c;
}

int Parser::skipSpace(int c) {
    while (isSpace(c)) {
        c = _in.get();
    }
    return c;
}

void Parser::expect(const char* keyword, const std::string& what) {
    for (const char* k = keyword; *k != 0; ++k) {
        const int c = _in.get();
        if (c != *k) {
            fail("malformed " + what + ": expected \"" + k + "\", found " + describe(c));
        }
    }
}

void Parser::leaveElement() {
    if (--_depth == 0) {
        _stage = Stage::Epilog;
    }
}

void Parser::startTag(int c, std::int64_t line) {
    c = readName(c, _name);
    if (_stage == Stage::Epilog) {
        fail("element " + quoted(_name) + " follows the root element; a document has one root element");
    }
    _stage = Stage::Root;
    ++_depth;
    _protocol.notifyStartTag(_name);
    _attributeCount = 0;
    _manyAttributeNames.clear();
    for (;;) {
        const bool separated = isSpace(c);
        c = skipSpace(c);
        if (c == '>') {
            _protocol.notifyStartTagEnd(_in.line());
            return;
        }
        if (c == '/') {
            c = _in.get();
            if (c != '>') {
                fail("expected \">\" after \"/\" in start tag " + quoted(_name) + ", found " + describe(c));
            }
            _protocol.notifyEmptyTagEnd();
            leaveElement();
            return;
        }
        if (c == endOfFile) {
            fail("the file ends inside start tag " + quoted(_name) + " (begun on line " + std::to_string(line) + ")");
        }
        if (!isNameStart(c)) {
            fail("unexpected " + describe(c) + " in start tag " + quoted(_name));
        }
        if (!separated) {
            fail("attributes in start tag " + quoted(_name) + " must be separated by white space");
        }
        const std::int64_t attributeLine = _in.line();
        c = skipSpace(readName(c, _attributeName));
        if (c != '=') {
            fail("attribute " + quoted(_attributeName) + " of " + quoted(_name) +
                 " has no value (expected \"=\", found " + describe(c) + ")");
        }
        c = skipSpace(_in.get());
        if (c != '"' && c != '\'') {
            fail("the value of attribute " + quoted(_attributeName) + " of " + quoted(_name) +
                 " must be quoted (found " + describe(c) + ")");
        }
        c = readQuoted(c, _attributeValue, false);
        if (isRepeatedAttribute()) {
            fail("attribute " + quoted(_attributeName) + " appears twice in start tag " + quoted(_name));
        }
        _protocol.notifyAttribute(_attributeName, _attributeValue, attributeLine);
    }
}

// Reads an attribute value up to its closing quote, references decoded and white space
// characters turned into blanks as XML asks; returns the byte after the quote.
int Parser::readQuoted(int quote, std::string& value, bool inDeclaration) {
    const auto what = [&] {
        return inDeclaration ? quoted(_attributeName) + " in the XML declaration"
                             : "attribute " + quoted(_attributeName);
    };
    value.clear();
    for (;;) {
        const int c = _in.get();
        if (c == quote) {
            return _in.get();
        }
        switch (c) {
        case endOfFile:
            fail("the file ends inside the value of " + what());
        case '<':
            fail("\"<\" is not allowed in the value of " + what() + "; write \"&lt;\"");
        case '&':
            reference(value);
            break;
        case '\n':
        case '\t':
            value.push_back(' ');
            break;
        default:
            value.push_back(static_cast<char>(c));
        }
    }
}

bool Parser::isRepeatedAttribute() {
    if (_attributeCount < fewAttributes) {
        for (std::size_t i = 0; i < _attributeCount; ++i) {
            if (_attributeNames[i] == _attributeName) {
                return true;
            }
        }
        if (_attributeNames.size() == _attributeCount) {
            _attributeNames.emplace_back();
        }
        _attributeNames[_attributeCount++] = _attributeName;
        return false;
    }
    if (_attributeCount++ == fewAttributes) {
        _manyAttributeNames.insert(_attributeNames.begin(), _attributeNames.end());
    }
    return !_manyAttributeNames.insert(_attributeName).second;
}

void Parser::endTag(std::int64_t line) {
    int c = _in.get();
    if (!isNameStart(c)) {
        fail("\"</\" is not followed by a tag name (found " + describe(c) + ")");
    }
    c = skipSpace(readName(c, _name));
    if (c != '>') {
        fail("expected \">\" to close end tag " + quoted(_name) + ", found " + describe(c));
    }
    if (_depth == 0) {
        fail("end tag " + quoted(_name) + " closes no open element");
    }
    _protocol.notifyEndTag(_name, line);
    leaveElement();
}

void Parser::comment(std::int64_t line) {
    expect("-", "comment");
    int dashes = 0;
    for (;;) {
        const int c = _in.get();
        if (c == '-') {
            ++dashes;
            continue;
        }
        if (c == endOfFile) {
            fail("the comment begun on line " + std::to_string(line) + " is not closed by \"-->\"");
        }
        if (dashes >= 2) {
            if (c == '>' && dashes == 2) {
                return;
            }
            fail("\"--\" is not allowed inside a comment");
        }
        dashes = 0;
    }
}

void Parser::cdataSection(std::int64_t line) {
    expect("CDATA[", "CDATA section");
    if (_stage != Stage::Root) {
        fail("CDATA section outside the root element");
    }
    _scratch.clear();
    int brackets = 0;
    for (;;) {
        const int c = _in.get();
        if (c == endOfFile) {
            fail("the CDATA section begun on line " + std::to_string(line) + " is not closed by \"]]>\"");
        }
        if (c == '>' && brackets >= 2) {
            _scratch.resize(_scratch.size() - 2);
            break;
        }
        brackets = c == ']' ? brackets + 1 : 0;
        _scratch.push_back(static_cast<char>(c));
    }
    _protocol.notifyCharacterData(_scratch, line);
}

void Parser::docType(std::int64_t line) {
    expect("OCTYPE", "document type declaration");
    if (_stage != Stage::Prolog) {
        fail("the document type must be declared before the root element");
    }
    if (_seenDocType) {
        fail("a second document type declaration");
    }
    _seenDocType = true;
    int c = _in.get();
    if (!isSpace(c)) {
        fail("expected white space after \"<!DOCTYPE\", found " + describe(c));
    }
    c = skipSpace(c);
    if (!isNameStart(c)) {
        fail("the document type declaration names no document type (found " + describe(c) + ")");
    }
    c = readName(c, _name);
    // The external identifier and the internal subset are read over, not used.
    for (;; c = _in.get()) {
        if (c == '>') {
            break;
        }
        if (c == endOfFile) {
            fail("the document type declaration begun on line " + std::to_string(line) + " is not closed");
        }
        if (c == '"' || c == '\'') {
            for (const int quote = c; (c = _in.get()) != quote;) {
                if (c == endOfFile) {
                    fail("a quoted literal in the document type declaration is not closed");
                }
            }
        } else if (c == '[') {
            skipInternalSubset(line);
        }
    }
    _protocol.notifyDocType(_name);
}

// Skips markup declarations up to the subset's closing "]", minding quoted literals and
// comments, in which a "]" or a quote does not count.
void Parser::skipInternalSubset(std::int64_t line) {
    int quote = 0;
    int comment = 0; // 0 outside, 1..3 matching "!--" after "<", 4 inside, 5..6 seen "-" or "--"
    for (;;) {
        const int c = _in.get();
        if (c == endOfFile) {
            fail("the internal subset of the document type declaration begun on line " + std::to_string(line) +
                 " is not closed");
        }
        if (quote != 0) {
            quote = c == quote ? 0 : quote;
            continue;
        }
        if (comment >= 4) {
            comment = c == '-' ? (comment == 4 ? 5 : 6) : (c == '>' && comment == 6 ? 0 : 4);
            continue;
        }
        if (comment > 0 && c == "<!--"[comment]) {
            ++comment;
            continue;
        }
        comment = 0;
        if (c == '<') {
            comment = 1;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == ']') {
            return;
        }
    }
}

void Parser::processingInstruction(std::int64_t line, bool atDocumentStart) {
    int c = _in.get();
    if (!isNameStart(c)) {
        fail("\"<?\" is not followed by a processing instruction target (found " + describe(c) + ")");
    }
    c = readName(c, _name);
    if (_name == "xml") {
        if (!atDocumentStart) {
            fail("the XML declaration is allowed only at the very start of the file");
        }
        xmlDeclaration(c, line);
        return;
    }
    if (c != '?' && !isSpace(c)) {
        fail("unexpected " + describe(c) + " after processing instruction target " + quoted(_name));
    }
    for (bool question = c == '?';;) {
        c = _in.get();
        if (c == '>' && question) {
            return;
        }
        if (c == endOfFile) {
            fail("the processing instruction begun on line " + std::to_string(line) + " is not closed by \"?>\"");
        }
        question = c == '?';
    }
}

// <?xml version="1.0" encoding="UTF-8" standalone="yes"?>: version is required and comes
// first. The version text is passed on as written; whether it is acceptable is the
// protocol's decision.
void Parser::xmlDeclaration(int c, std::int64_t line) {
    std::string version;
    const char* const order[] = {"version", "encoding", "standalone"};
    std::size_t next = 0;
    for (;;) {
        const bool separated = isSpace(c);
        c = skipSpace(c);
        if (c == '?') {
            c = _in.get();
            if (c != '>') {
                fail("expected \">\" after \"?\" in the XML declaration, found " + describe(c));
            }
            break;
        }
        if (!isNameStart(c) || !separated) {
            fail("unexpected " + describe(c) + " in the XML declaration");
        }
        c = skipSpace(readName(c, _attributeName));
        while (next < 3 && _attributeName != order[next]) {
            if (next == 0) {
                fail("the XML declaration must begin with the version (found " + quoted(_attributeName) + ")");
            }
            ++next;
        }
        if (next == 3) {
            fail("unexpected " + quoted(_attributeName) + " in the XML declaration");
        }
        if (c != '=') {
            fail(quoted(_attributeName) + " in the XML declaration has no value");
        }
        c = skipSpace(_in.get());
        if (c != '"' && c != '\'') {
            fail("the value of " + quoted(_attributeName) + " in the XML declaration must be quoted");
        }
        c = readQuoted(c, _attributeValue, true);
        if (next == 0) {
            version = _attributeValue;
        } else if (next == 1) {
            std::string upper;
            for (const char ch : _attributeValue) {
                upper.push_back(ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch);
            }
            if (upper != "UTF-8" && upper != "US-ASCII") {
                fail("encoding " + quoted(_attributeValue) + " is not supported; the file must be UTF-8");
            }
        } else if (_attributeValue != "yes" && _attributeValue != "no") {
            fail("standalone must be \"yes\" or \"no\", not " + quoted(_attributeValue));
        }
        ++next;
    }
    if (next == 0) {
        fail("the XML declaration has no version");
    }
    _protocol.notifyXmlVersion(version, line);
}

void Parser::reference(std::string& out) {
    int c = _in.get();
    if (c == '#') {
        characterReference(out);
        return;
    }
    if (!isNameStart(c)) {
        fail("\"&\" does not begin a reference (found " + describe(c) + "); write \"&amp;\" for an ampersand");
    }
    _scratch.clear();
    while (isNameChar(c) && _scratch.size() < maxEntityNameLength) {
        _scratch.push_back(static_cast<char>(c));
        c = _in.get();
    }
    if (c != ';') {
        fail("the reference \"&" + _scratch + "\" is not closed by \";\"");
    }
    const char replacement = predefinedEntity(_scratch);
    if (replacement == 0) {
        fail("undefined entity \"&" + _scratch + ";\"; only &lt; &gt; &amp; &apos; &quot; are known");
    }
    out.push_back(replacement);
}

void Parser::characterReference(std::string& out) {
    int c = _in.get();
    const bool hex = c == 'x';
    if (hex) {
        c = _in.get();
    }
    std::uint32_t codePoint = 0;
    std::string digits;
    for (; c != ';'; c = _in.get()) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (hex && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            fail("malformed character reference \"&#" + std::string(hex ? "x" : "") + digits + "\" (found " +
                 describe(c) + ")");
        }
        if (digits.size() < 16) {
            digits.push_back(static_cast<char>(c));
        }
        // Saturate instead of overflowing: anything past the Unicode range is refused below anyway.
        codePoint = std::min<std::uint32_t>(codePoint * (hex ? 16 : 10) + digit, 0x110000);
    }
    const std::string written = std::string("&#") + (hex ? "x" : "") + digits + ";";
    if (digits.empty()) {
        fail("the character reference \"" + written + "\" has no digits");
    }
    if (!isXmlChar(codePoint)) {
        fail("the character reference \"" + written + "\" names a character XML does not allow");
    }
    appendUtf8(out, codePoint);
}

} // namespace

void XmlParser::parse(XmlParserProtocol& protocol, OsFileReader& reader) {
    protocol._fileName = reader.getPath().getText();
    Parser(protocol, reader, protocol.getFileName()).run();
}

} // namespace Kr
