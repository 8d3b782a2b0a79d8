#pragma once

// The framework's XML services: a streaming parser that reports what it reads to a
// protocol object, the small document model a protocol may build, and the XML exceptions.
//
// The parser reads UTF-8 (with or without a byte-order mark) in fixed-size chunks and keeps
// no element tree and no recursion, so its memory does not grow with the file or its
// nesting depth; only a single name, attribute value or CDATA section is ever held whole.
// It calls, in document order:
//   notifyXmlVersion      the version of the XML declaration, if there is one
//   notifyDocType         the name in <!DOCTYPE name ...> (the subset is read over, not used)
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
// Comments and processing instructions are skipped. keepParsing() is asked after each
// piece of markup; answering false ends the parse quietly. Only the five predefined entities
// and character references are known. Malformed input raises XmlEx::ExSyntaxError naming
// the file and the XML line; an exception raised by a notification leaves parse() as it is.

#include <Kr/Ex.h>
#include <Kr/KrExport.h>
#include <Kr/OPtr.h>
#include <Kr/RC.h>

#include <cstdint>
#include <map>
#include <string>

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

    // The file being parsed, as the parser's reader names it; empty before a parse.
    const std::string& getFileName() const { return _fileName; }

private:
    friend class XmlParser;
    std::string _fileName;
};

class KR_EXPORT XmlParser {
public:
    // Reads the whole file from the reader and reports it to the protocol.
    static void parse(XmlParserProtocol& protocol, OsFileReader& reader);
};

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

class KR_EXPORT XmlElement : public RCBase<LkCounter<int>> {
public:
    explicit XmlElement(std::string name) : _name(std::move(name)) {}

    const std::string& getName() const { return _name; }

    // Sets or replaces the attribute of that name.
    void setAttribute(const std::string& name, const std::string& value);
    bool hasAttribute(const std::string& name) const { return _attributes.count(name) != 0; }
    // The attribute's value, or empty text when the element has no such attribute.
    std::string getAttribute(const std::string& name) const;
    const std::map<std::string, std::string>& getAttributes() const { return _attributes; }

    // Replaces the data with UTF-8 text; the data is kept as a wide string.
    void setData(const std::string& text);
    // Adds UTF-8 text at the end of the data, converting only the new text.
    void appendData(const std::string& text);
    const std::wstring& getData() const { return _data; }

private:
    std::string _name;
    std::map<std::string, std::string> _attributes;
    std::wstring _data;
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
