// SPDX-License-Identifier: Apache-2.0
#pragma once

// The framework's XML services: a streaming parser that reports what it reads to a
// protocol object, the small document model a protocol may build, and the XML exceptions.
//
// The parser reads UTF-8, UTF-16 (either byte order, told by the byte-order mark) and any
// encoding the XML declaration names that the C library's iconv knows, converting in
// fixed-size chunks. It keeps no element tree and no recursion, so its memory does not grow
// with the file or its nesting depth; only a single name, attribute value, CDATA section or
// declared entity is ever held whole.
// The internal subset of the document type declaration is read for well-formedness (element,
// attribute-list, entity and notation declarations, processing instructions, comments,
// parameter entity references); internal entities declared there are expanded where they are
// referenced, within limits that refuse expansion attacks. External entities and the
// external subset are never fetched: a reference to an external entity in content is
// skipped, as is one to an undeclared entity when the declarations may lie outside the file.
// It calls, in document order:
//   notifyXmlVersion      the version of the XML declaration, if there is one
//   notifyDocType         the name in <!DOCTYPE name ...>
//   notifyStartTag        each start tag's name, then notifyAttribute for each attribute
//                         (value decoded), then notifyStartTagEnd, or notifyEmptyTagEnd for <x/>
//   notifyEndTag          each end tag's name; whether it closes the open element is the
//                         protocol's to judge (the parser counts elements, it does not match them)
//   notifyTextData        text inside the root element, references decoded, line ends
//                         normalised to LF; one text may arrive in several pieces. White
//                         space alone between two pieces of markup (indentation) is not
//                         reported, so an element does not collect the blanks between its
//                         children
//   notifyCharacterData   a CDATA section, whole
// Comments and processing instructions are skipped. A protocol that answers true to
// keepsBlankText() hears white space alone too, for readers whose element texts are data.
// keepParsing() is asked after each piece of markup; answering false ends the parse quietly.
// Malformed input raises XmlEx::ExSyntaxError naming the file and the XML line; an exception
// raised by a notification leaves parse() as it is.

#include <Kr/Ex.h>
#include <Kr/KrExport.h>
#include <Kr/OPtr.h>
#include <Kr/RC.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace Kr {

class OsFileReader;

class KR_EXPORT XmlParserProtocol {
public:
    XmlParserProtocol() = default;
    XmlParserProtocol(const XmlParserProtocol&) = delete;
    XmlParserProtocol& operator=(const XmlParserProtocol&) = delete;

    virtual void notifyXmlVersion(const std::string& version, std::int64_t line);
    virtual void notifyDocType(const std::string& name);
    virtual void notifyStartTag(const std::string& name);
    virtual void notifyEmptyTagEnd();
    virtual void notifyStartTagEnd(std::int64_t line);
    virtual void notifyEndTag(const std::string& name, std::int64_t line);
    virtual void notifyAttribute(const std::string& name, const std::string& value, std::int64_t line);
    virtual void notifyTextData(const std::string& text, std::int64_t line);
    virtual void notifyCharacterData(const std::string& text, std::int64_t line);
    // A protocol may judge what it collected when it is destroyed and raise a framework exception.
    virtual ~XmlParserProtocol() noexcept(false);
    // Asked after each piece of markup; the framework's answer is always true.
    virtual bool keepParsing();
    // Asked once, before the parse; the framework's answer is false (indentation is dropped).
    virtual bool keepsBlankText() const;

    // The file being parsed, as the parser's reader names it; empty before a parse.
    const std::string& getFileName() const { return _fileName; }
    // The line on which the tag being reported began (notifyStartTag, its attributes and end).
    std::int64_t getTagLine() const { return _tagLine; }

private:
    friend class XmlParser;
    friend class XmlParserCore;
    std::string _fileName;
    std::int64_t _tagLine = 0;
};

class KR_EXPORT XmlParser {
public:
    // Reads the whole file from the reader and reports it to the protocol.
    static void parse(XmlParserProtocol& protocol, OsFileReader& reader);
    // The same for text in memory; sourceName stands for the file in errors.
    static void parseText(XmlParserProtocol& protocol, std::string_view text, const std::string& sourceName);
};

namespace XmlCharacters {
// True for the code points XML 1.0 lets a document hold (its Char production).
KR_EXPORT bool isXmlChar(std::uint32_t codePoint);
} // namespace XmlCharacters

class KR_EXPORT XmlDocumentType {
public:
    explicit XmlDocumentType(std::string name) : _name(std::move(name)) {}
    const std::string& getName() const { return _name; }

private:
    std::string _name;
};

class KR_EXPORT XmlDocument {
public:
    // A document has one type: the first one given is kept, a later one is refused (and
    // deleted with the owner it came in). Returns whether the type was taken.
    bool setDocumentType(OPtr<XmlDocumentType> type);
    // Null while no type was set.
    const XmlDocumentType* getDocumentType() const { return _documentType.get(); }

private:
    OPtr<XmlDocumentType> _documentType;
};

// One element as a reader of the document rebuilds it. Kept small, since a reader may hold
// one per open element of a deeply nested file: the attributes are allocated only when the
// element has some, and the data is UTF-8 in a buffer that grows in place (realloc), so a
// long text costs about its own length, not that again while it is copied to a larger block.
class KR_EXPORT XmlElement : public RCBase<LkCounter<int>> {
public:
    explicit XmlElement(std::string name) : _name(std::move(name)) {}
    XmlElement(const XmlElement&) = delete;
    XmlElement& operator=(const XmlElement&) = delete;
    ~XmlElement() override;

    const std::string& getName() const { return _name; }

    // Sets or replaces the attribute of that name.
    void setAttribute(const std::string& name, const std::string& value);
    bool hasAttribute(const std::string& name) const { return _attributes && _attributes->count(name) != 0; }
    // The attribute's value, or empty text when the element has no such attribute.
    std::string getAttribute(const std::string& name) const;
    const std::map<std::string, std::string>& getAttributes() const;

    // Replaces the data with UTF-8 text.
    void setData(const std::string& text);
    // Adds UTF-8 text at the end of the data.
    void appendData(const std::string& text);
    // The data as a wide string, converted on each call.
    std::wstring getData() const;
    std::string_view getDataUtf8() const { return {_data, _dataSize}; }

private:
    std::string _name;
    std::unique_ptr<std::map<std::string, std::string>> _attributes;
    char* _data = nullptr;
    std::size_t _dataSize = 0;
    std::size_t _dataCapacity = 0;
};

// Base of the XML exceptions. Besides the source position it carries the XML file and the
// line in it, and getText() composes all of them in one line:
//   <message> (file "<file>", XML line <n>) [<source path>:<source line>]
// where the message part is left out when there is none, ", XML line <n>" when the line is
// not known (0), and the file part when no file is known.
class KR_EXPORT XmlEx : public ExBase {
public:
    class ExSyntaxError;
    class ExXmlVersionNotSupported;

    XmlEx(const char* sourcePath, int sourceLine, std::string message, std::int64_t xmlLine, std::string fileName);

    std::string getText() const override;
    // The kind, then getText(), which already holds the source position.
    std::string getMessage() const override;
    ExBase* clone() const override;

    const std::string& getXmlMessage() const { return _message; }
    std::int64_t getXmlLine() const { return _xmlLine; }
    const std::string& getFileName() const { return _fileName; }

private:
    std::string _message;
    std::int64_t _xmlLine;
    std::string _fileName;
};

// The file is not well-formed XML, or not what the reader of it expects.
class KR_EXPORT XmlEx::ExSyntaxError : public XmlEx {
public:
    ExSyntaxError(const char* sourcePath, int sourceLine, std::string message, std::int64_t xmlLine,
                  std::string fileName);
    ExBase* clone() const override;
};

// The file declares an XML version its reader does not accept.
class KR_EXPORT XmlEx::ExXmlVersionNotSupported : public XmlEx {
public:
    ExXmlVersionNotSupported(const char* sourcePath, int sourceLine, std::int64_t xmlLine, std::string fileName);
    ExBase* clone() const override;
};

} // namespace Kr
