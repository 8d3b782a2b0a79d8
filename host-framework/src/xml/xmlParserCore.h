// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "Kr/Xml.h"

#include "xmlByteStream.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace Kr {

// An entity declared in the internal subset. Only internal entities have a replacement
// text; external ones are never fetched.
struct XmlEntity {
    std::string text;
    bool external = false;
    bool unparsed = false;
    // Being expanded now: a reference to it from its own text would never end.
    bool open = false;
};

// One pass over one file. Every construct is read by a loop of its own and the element
// nesting is only counted, never held, so neither the call stack nor the memory grows with
// the depth of the document or the size of the file; only a single name, attribute value,
// CDATA section or declared entity is held whole. The document's constructs are read in
// xmlParser.cpp, the document type declaration and its internal subset in xmlInternalSubset.cpp.
class XmlParserCore {
public:
    XmlParserCore(XmlParserProtocol& protocol, OsFileReader& reader, const std::string& fileName)
        : _protocol(protocol), _in(reader, fileName), _keepBlankText(protocol.keepsBlankText()) {}
    XmlParserCore(XmlParserProtocol& protocol, std::string_view text, const std::string& fileName)
        : _protocol(protocol), _in(text, fileName), _keepBlankText(protocol.keepsBlankText()) {}

    void run();

private:
    enum class Stage { Prolog, Root, Epilog };
    static constexpr int endOfFile = XmlByteStream::endOfFile;
    static constexpr int entityEnd = XmlByteStream::entityEnd;

    // Document
    void markup(std::int64_t line, bool atDocumentStart);
    void startTag(int c, std::int64_t line);
    void endTag(std::int64_t line);
    void comment(std::int64_t line);
    void cdataSection(std::int64_t line);
    void processingInstruction(std::int64_t line, bool atDocumentStart);
    void xmlDeclaration(int c, std::int64_t line);
    int readDeclarationValue(int c, std::string& value);
    void text(int c, std::int64_t line);
    void flushText(bool textEnds);
    void leaveEntity(bool inContent);

    // References. In content and attribute values an internal entity's text is pushed on the
    // stream; reference() answers what it did with the name.
    enum class Context { Content, AttributeValue };
    void reference(std::string& out, Context context);
    void characterReference(std::string& out);
    void enterEntity(XmlEntity& entity);
    int readQuoted(int quote, std::string& value, const std::string& what);

    // Document type declaration (xmlInternalSubset.cpp)
    void docType(std::int64_t line);
    int externalId(int c, bool publicIdAlone);
    void internalSubset(std::int64_t line);
    void markupDeclaration();
    void elementDeclaration(int c);
    int contentModel(int c);
    void attributeListDeclaration(int c);
    void entityDeclaration(int c);
    int entityValue(int quote, std::string& value);
    void notationDeclaration(int c);
    void parameterEntityReference();
    int endDeclaration(int c, const char* what);

    // Lexical helpers
    int readName(int c, std::string& name);
    int readNmtoken(int c, std::string& token);
    int readNameCharacter(int c, std::string& name, bool start);
    int skipSpace(int c);
    int requireSpace(int c, const std::string& where);
    int readKeyword(int c, std::string& word);
    void expect(const char* keyword, const std::string& what);
    void leaveElement();
    bool isRepeatedAttribute();
    bool entitiesMustBeDeclared() const { return _standalone || !_declarationsMayBeElsewhere; }

    // The default argument is evaluated where fail is called, so the error carries that line.
    [[noreturn]] void fail(const std::string& message, int sourceLine = __builtin_LINE()) const;

    XmlParserProtocol& _protocol;
    XmlByteStream _in;
    const bool _keepBlankText;
    Stage _stage = Stage::Prolog;
    std::uint64_t _depth = 0;
    bool _seenDocType = false;
    bool _standalone = false;
    // An external subset or a parameter entity reference may declare entities this parser does
    // not see: then a reference to an undeclared entity is skipped instead of refused.
    bool _declarationsMayBeElsewhere = false;
    // After a parameter entity that was not read, later declarations are checked but not used.
    bool _useDeclarations = true;

    std::unordered_map<std::string, XmlEntity> _generalEntities;
    std::unordered_map<std::string, XmlEntity> _parameterEntities;
    struct OpenEntity {
        XmlEntity* entity;
        std::uint64_t depth;
    };
    std::vector<OpenEntity> _openEntities;

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

} // namespace Kr
