// SPDX-License-Identifier: Apache-2.0
// libFuzzer target: feeds arbitrary bytes to the XML parser as a file (the seeds reach the
// internal subset, entity expansion and encoding conversion) and checks, besides
// the sanitizers' memory and undefined-behaviour checks, what the parser promises its
// protocol whatever the input: end tags only while an element is open, names that are
// names, text and values that are valid UTF-8, and syntax errors that name a line inside
// the input.

#include <Kr/OsFileReader.h>
#include <Kr/WideStringUtil.h>
#include <Kr/Xml.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "parser broke its promise: %s\n", what);
        std::abort();
    }
}

bool isUtf8(const std::string& text) {
    return Kr::WideStringUtil::narrowMB(Kr::WideStringUtil::widenMB(text)) == text;
}

class CheckingProtocol : public Kr::XmlParserProtocol {
public:
    CheckingProtocol(std::int64_t lines, bool hasCharacterReference)
        : _lines(lines), _hasCharacterReference(hasCharacterReference) {}

    void notifyStartTag(const std::string& name) override {
        checkName(name);
        ++_open;
        _inTag = true;
    }
    void notifyAttribute(const std::string& name, const std::string& value, std::int64_t line) override {
        require(_inTag, "attribute outside a start tag");
        checkName(name);
        require(isUtf8(value), "attribute value not UTF-8");
        checkLine(line);
    }
    void notifyStartTagEnd(std::int64_t line) override {
        require(_inTag, "start tag end without a start tag");
        _inTag = false;
        checkLine(line);
    }
    void notifyEmptyTagEnd() override {
        require(_inTag, "empty tag end without a start tag");
        _inTag = false;
        --_open;
    }
    void notifyEndTag(const std::string& name, std::int64_t line) override {
        require(!_inTag && _open > 0, "end tag with no open element");
        checkName(name);
        --_open;
        checkLine(line);
    }
    void notifyTextData(const std::string& text, std::int64_t line) override {
        require(!_inTag && _open > 0, "text outside the root element");
        require(!text.empty() && isUtf8(text), "text piece empty or not UTF-8");
        // Only "&#13;" or "&#xD;" can put a carriage return into text.
        require(_hasCharacterReference || text.find('\r') == std::string::npos, "line end not normalised");
        checkLine(line);
    }
    void notifyCharacterData(const std::string& text, std::int64_t line) override {
        require(!_inTag && _open > 0, "CDATA outside the root element");
        require(isUtf8(text), "CDATA not UTF-8");
        checkLine(line);
    }
    void notifyXmlVersion(const std::string& version, std::int64_t line) override {
        require(isUtf8(version), "version not UTF-8");
        checkLine(line);
    }
    void notifyDocType(const std::string& name) override { checkName(name); }

private:
    void checkName(const std::string& name) { require(!name.empty() && isUtf8(name), "empty or broken name"); }
    void checkLine(std::int64_t line) { require(line >= 1 && line <= _lines, "line outside the input"); }

    std::int64_t _lines;
    bool _hasCharacterReference;
    std::int64_t _open = 0;
    bool _inTag = false;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The parser reads files, so the input becomes one: an anonymous memory file, opened by
    // its /proc name.
    static const int fd = memfd_create("xmlFuzzInput", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) {
        std::abort();
    }
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    // Line ends are counted in the bytes as they are; a declared encoding may write them
    // otherwise, and then only the number of bytes bounds the lines.
    std::int64_t lines = 1;
    for (std::size_t i = 0; i < size; ++i) {
        lines += data[i] == '\n' || (data[i] == '\r' && (i + 1 == size || data[i + 1] != '\n'));
    }
    if (input.find("encoding") != std::string_view::npos) {
        lines = static_cast<std::int64_t>(size) + 1;
    }
    CheckingProtocol protocol(lines, input.find("&#") != std::string_view::npos);
    try {
        Kr::OsFileReader reader("/proc/self/fd/" + std::to_string(fd), false);
        Kr::XmlParser::parse(protocol, reader);
    } catch (const Kr::XmlEx::ExSyntaxError& error) {
        require(error.getXmlLine() >= 1 && error.getXmlLine() <= lines, "error line outside the input");
        require(!error.getXmlMessage().empty(), "error without a message");
    }
    return 0;
}
