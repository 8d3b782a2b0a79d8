// SPDX-License-Identifier: Apache-2.0
#include "Kr/OsFileReader.h"
#include "Kr/Utf8.h"
#include "Kr/Xml.h"

#include "xmlCharacters.h"
#include "xmlParserCore.h"

#include <cstdio>

namespace Kr {

namespace {

using namespace XmlCharacters;

const char* const sourcePath = "host-framework/src/xml/xmlParser";

// Text is handed on in pieces of about this size, so that a long text costs no more memory
// than this however long it runs.
#ifdef KR_XML_SMALL_BUFFERS
constexpr std::size_t textPieceSize = 5;
#else
constexpr std::size_t textPieceSize = 1024 * 1024;
#endif

constexpr std::array<bool, 128> asciiNameCharTable() {
    std::array<bool, 128> table{};
    for (int c = 0; c < 128; ++c) {
        table[c] = isAsciiNameChar(c);
    }
    return table;
}
constexpr std::array<bool, 128> asciiNameChar = asciiNameCharTable();

std::string codePointName(std::uint32_t cp) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(cp));
    return text;
}

bool isReservedTarget(const std::string& name) {
    return name.size() == 3 && (name[0] | 0x20) == 'x' && (name[1] | 0x20) == 'm' && (name[2] | 0x20) == 'l';
}

} // namespace

void XmlParserCore::fail(const std::string& message, int sourceLine) const {
    _in.fail(sourcePath, sourceLine, message);
}

void XmlParserCore::run() {
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
        } else if (c == entityEnd) {
            leaveEntity(true);
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

void XmlParserCore::text(int c, std::int64_t line) {
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
        reference(_text, Context::Content);
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
            _textBlank = _text.find_first_not_of(" \n\t\r", start) == std::string::npos;
        }
    }
    if (_text.size() >= textPieceSize && _in.atCharBoundary()) {
        flushText(false);
    }
}

// White space alone between two pieces of markup is indentation: it is not handed on, so
// that an element with many children does not collect the blanks between them.
void XmlParserCore::flushText(bool textEnds) {
    if (!_text.empty() && !(textEnds && _textBlank && !_textCut && !_keepBlankText)) {
        _protocol.notifyTextData(_text, _textLine);
    }
    _text.clear();
    _textCut = !textEnds;
    if (textEnds) {
        _textBrackets = 0;
        _textBlank = true;
    }
}

void XmlParserCore::markup(std::int64_t line, bool atDocumentStart) {
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
    } else {
        startTag(c, line);
    }
}

// Reads a name if c begins one, leaving it empty otherwise; returns the byte after it. A
// character beyond ASCII that may not stand where it is ends the parse: nothing in XML lets
// a name run into such a character.
int XmlParserCore::readName(int c, std::string& name) {
    name.clear();
    if (c >= 0x80) {
        c = readNameCharacter(c, name, true);
    } else if (c >= 0 && isAsciiNameStart(c)) {
        name.push_back(static_cast<char>(c));
        c = _in.get();
    } else {
        return c;
    }
    for (;;) {
        if (c >= 0x80) {
            c = readNameCharacter(c, name, false);
        } else if (c >= 0 && asciiNameChar[c]) {
            name.push_back(static_cast<char>(c));
            c = _in.get();
        } else {
            return c;
        }
    }
}

int XmlParserCore::readNmtoken(int c, std::string& token) {
    token.clear();
    for (;;) {
        if (c >= 0x80) {
            c = readNameCharacter(c, token, false);
        } else if (c >= 0 && asciiNameChar[c]) {
            token.push_back(static_cast<char>(c));
            c = _in.get();
        } else {
            return c;
        }
    }
}

// c is the lead byte of a multibyte character; the stream has checked that its sequence is whole.
int XmlParserCore::readNameCharacter(int c, std::string& name, bool start) {
    const int continuation = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
    std::uint32_t cp = static_cast<std::uint32_t>(c) & (0x3F >> continuation);
    name.push_back(static_cast<char>(c));
    for (int i = 0; i < continuation; ++i) {
        const int next = _in.get();
        cp = (cp << 6) | (static_cast<std::uint32_t>(next) & 0x3F);
        name.push_back(static_cast<char>(next));
    }
    if (start ? !isNameStartCode(cp) : !isNameCode(cp)) {
        fail("character " + codePointName(cp) + (start ? " cannot begin a name" : " is not allowed in a name"));
    }
    return _in.get();
}

int XmlParserCore::skipSpace(int c) {
    while (isSpace(c)) {
        c = _in.get();
    }
    return c;
}

int XmlParserCore::requireSpace(int c, const std::string& where) {
    if (!isSpace(c)) {
        fail("expected white space " + where + ", found " + describe(c));
    }
    return skipSpace(c);
}

int XmlParserCore::readKeyword(int c, std::string& word) {
    word.clear();
    while (c >= 'A' && c <= 'Z') {
        word.push_back(static_cast<char>(c));
        c = _in.get();
    }
    return c;
}

void XmlParserCore::expect(const char* keyword, const std::string& what) {
    for (const char* k = keyword; *k != 0; ++k) {
        const int c = _in.get();
        if (c != *k) {
            fail("malformed " + what + ": expected \"" + k + "\", found " + describe(c));
        }
    }
}

void XmlParserCore::leaveElement() {
    if (--_depth == 0) {
        _stage = Stage::Epilog;
    }
}

void XmlParserCore::startTag(int c, std::int64_t line) {
    c = readName(c, _name);
    if (_name.empty()) {
        fail("\"<\" is not followed by a tag name (found " + describe(c) + "); write \"&lt;\" for a less-than sign");
    }
    if (_stage == Stage::Epilog) {
        fail("element " + quoted(_name) + " follows the root element; a document has one root element");
    }
    _stage = Stage::Root;
    ++_depth;
    _protocol._tagLine = line;
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
        const std::int64_t attributeLine = _in.line();
        const int first = c;
        c = skipSpace(readName(c, _attributeName));
        if (_attributeName.empty()) {
            fail("unexpected " + describe(first) + " in start tag " + quoted(_name));
        }
        if (!separated) {
            fail("attributes in start tag " + quoted(_name) + " must be separated by white space");
        }
        if (c != '=') {
            fail("attribute " + quoted(_attributeName) + " of " + quoted(_name) +
                 " has no value (expected \"=\", found " + describe(c) + ")");
        }
        c = skipSpace(_in.get());
        if (c != '"' && c != '\'') {
            fail("the value of attribute " + quoted(_attributeName) + " of " + quoted(_name) +
                 " must be quoted (found " + describe(c) + ")");
        }
        c = readQuoted(c, _attributeValue, "attribute " + quoted(_attributeName));
        if (isRepeatedAttribute()) {
            fail("attribute " + quoted(_attributeName) + " appears twice in start tag " + quoted(_name));
        }
        _protocol.notifyAttribute(_attributeName, _attributeValue, attributeLine);
    }
}

// Reads an attribute value up to its closing quote, references decoded (entities expanded
// through the stream) and white space characters turned into blanks as XML asks; returns the
// byte after the quote. A quote or the end of a text inside an entity does not end the value.
int XmlParserCore::readQuoted(int quote, std::string& value, const std::string& what) {
    value.clear();
    const std::size_t entities = _openEntities.size();
    for (;;) {
        const int c = _in.get();
        if (c == quote && _openEntities.size() == entities) {
            return _in.get();
        }
        switch (c) {
        case endOfFile:
            fail("the file ends inside the value of " + what);
        case entityEnd:
            if (_openEntities.size() == entities) {
                fail("the value of " + what + " is not closed within the entity it begins in");
            }
            leaveEntity(false);
            break;
        case '<':
            fail("\"<\" is not allowed in the value of " + what + "; write \"&lt;\"");
        case '&':
            reference(value, Context::AttributeValue);
            break;
        case '\n':
        case '\t':
        case '\r':
            value.push_back(' ');
            break;
        default:
            value.push_back(static_cast<char>(c));
        }
    }
}

bool XmlParserCore::isRepeatedAttribute() {
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

void XmlParserCore::endTag(std::int64_t line) {
    int c = readName(_in.get(), _name);
    if (_name.empty()) {
        fail("\"</\" is not followed by a tag name (found " + describe(c) + ")");
    }
    c = skipSpace(c);
    if (c != '>') {
        fail("expected \">\" to close end tag " + quoted(_name) + ", found " + describe(c));
    }
    if (_depth == 0) {
        fail("end tag " + quoted(_name) + " closes no open element");
    }
    if (!_openEntities.empty() && _depth == _openEntities.back().depth) {
        fail("end tag " + quoted(_name) + " in an entity's text closes an element begun outside it");
    }
    _protocol.notifyEndTag(_name, line);
    leaveElement();
}

void XmlParserCore::comment(std::int64_t line) {
    expect("-", "comment");
    int dashes = 0;
    for (;;) {
        const int c = _in.get();
        if (c == '-') {
            ++dashes;
            continue;
        }
        if (c < 0) {
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

void XmlParserCore::cdataSection(std::int64_t line) {
    expect("CDATA[", "CDATA section");
    if (_stage != Stage::Root) {
        fail("CDATA section outside the root element");
    }
    _scratch.clear();
    int brackets = 0;
    for (;;) {
        const int c = _in.get();
        if (c < 0) {
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

void XmlParserCore::processingInstruction(std::int64_t line, bool atDocumentStart) {
    int c = readName(_in.get(), _name);
    if (_name.empty()) {
        fail("\"<?\" is not followed by a processing instruction target (found " + describe(c) + ")");
    }
    if (isReservedTarget(_name)) {
        if (_name != "xml") {
            fail("processing instruction target " + quoted(_name) + " is reserved");
        }
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
        if (c < 0) {
            fail("the processing instruction begun on line " + std::to_string(line) + " is not closed by \"?>\"");
        }
        question = c == '?';
    }
}

// <?xml version="1.0" encoding="UTF-8" standalone="yes"?>: version is required and comes
// first. The version text is passed on as written; whether it is acceptable is the
// protocol's decision. The encoding applies from the byte after "?>".
void XmlParserCore::xmlDeclaration(int c, std::int64_t line) {
    std::string version;
    std::string encoding;
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
        c = readName(c, _attributeName);
        if (_attributeName.empty() || !separated) {
            fail("unexpected " + describe(c) + " in the XML declaration");
        }
        c = skipSpace(c);
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
        c = readDeclarationValue(skipSpace(_in.get()), _attributeValue);
        const std::string& value = _attributeValue;
        if (next == 0) {
            const bool wellFormed = value.size() >= 3 && value.compare(0, 2, "1.") == 0 &&
                                    value.find_first_not_of("0123456789", 2) == std::string::npos;
            if (!wellFormed) {
                fail("malformed version number " + quoted(value) + " in the XML declaration");
            }
            version = value;
        } else if (next == 1) {
            const bool wellFormed = !value.empty() && ((value[0] | 0x20) >= 'a' && (value[0] | 0x20) <= 'z') &&
                                    value.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                            "0123456789._-") == std::string::npos;
            if (!wellFormed) {
                fail("malformed encoding name " + quoted(value) + " in the XML declaration");
            }
            encoding = value;
        } else if (value == "yes" || value == "no") {
            _standalone = value == "yes";
        } else {
            fail("standalone must be \"yes\" or \"no\", not " + quoted(value));
        }
        ++next;
    }
    if (next == 0) {
        fail("the XML declaration has no version");
    }
    if (!encoding.empty()) {
        _in.declareEncoding(encoding);
    }
    _protocol.notifyXmlVersion(version, line);
}

// A value in the XML declaration is plain text: no references, no markup.
int XmlParserCore::readDeclarationValue(int quote, std::string& value) {
    if (quote != '"' && quote != '\'') {
        fail("the value of " + quoted(_attributeName) + " in the XML declaration must be quoted");
    }
    value.clear();
    for (int c = _in.get(); c != quote; c = _in.get()) {
        if (c < 0 || c == '<' || c == '&' || c == '?' || isSpace(c)) {
            fail("unexpected " + describe(c) + " in the value of " + quoted(_attributeName) +
                 " in the XML declaration");
        }
        value.push_back(static_cast<char>(c));
    }
    return _in.get();
}

void XmlParserCore::reference(std::string& out, Context context) {
    int c = _in.get();
    if (c == '#') {
        characterReference(out);
        return;
    }
    c = readName(c, _scratch);
    if (_scratch.empty()) {
        fail("\"&\" does not begin a reference (found " + describe(c) + "); write \"&amp;\" for an ampersand");
    }
    if (c != ';') {
        fail("the reference \"&" + _scratch + "\" is not closed by \";\"");
    }
    const char replacement = predefinedEntity(_scratch);
    if (replacement != 0) {
        out.push_back(replacement);
        return;
    }
    const auto found = _generalEntities.find(_scratch);
    if (found == _generalEntities.end()) {
        if (entitiesMustBeDeclared()) {
            fail("undefined entity \"&" + _scratch + ";\"");
        }
        return; // may be declared where this parser does not read: skipped
    }
    XmlEntity& entity = found->second;
    if (entity.unparsed) {
        fail("reference to the unparsed entity \"&" + _scratch + ";\"");
    }
    if (entity.external) {
        if (context == Context::AttributeValue) {
            fail("reference to the external entity \"&" + _scratch + ";\" in an attribute value");
        }
        return; // external entities are never fetched
    }
    if (entity.open) {
        fail("the entity \"&" + _scratch + ";\" refers to itself");
    }
    enterEntity(entity);
}

void XmlParserCore::enterEntity(XmlEntity& entity) {
    _in.pushEntity(entity.text);
    entity.open = true;
    _openEntities.push_back({&entity, _depth});
}

// The stream has come to the end of the innermost entity's text. Elements in content must
// end in the text they begin in.
void XmlParserCore::leaveEntity(bool inContent) {
    const OpenEntity& top = _openEntities.back();
    if (inContent && top.depth != _depth) {
        fail("an element begun in an entity's text does not end in it");
    }
    top.entity->open = false;
    _openEntities.pop_back();
}

void XmlParserCore::characterReference(std::string& out) {
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
    Utf8::append(out, codePoint);
}

void XmlParser::parse(XmlParserProtocol& protocol, OsFileReader& reader) {
    protocol._fileName = reader.getPath().getText();
    XmlParserCore(protocol, reader, protocol.getFileName()).run();
}

void XmlParser::parseText(XmlParserProtocol& protocol, std::string_view text, const std::string& sourceName) {
    protocol._fileName = sourceName;
    XmlParserCore(protocol, text, sourceName).run();
}

} // namespace Kr
