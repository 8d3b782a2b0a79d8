// SPDX-License-Identifier: Apache-2.0
#include "piXmlTree.h"

#include <Kr/PiErrors.h>
#include <Kr/Utf8.h>
#include <Kr/Xml.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Kr::PiXml {

namespace {

// Builds the tree as the parser reports it, with the open elements on a stack of its own.
class TreeBuilder : public XmlParserProtocol {
public:
    explicit TreeBuilder(const std::string& sourceName) : _sourceName(sourceName) {}

    std::unique_ptr<Element> finish() {
        if (!_open.empty())
            refuse(_open.back()->line, "<" + _open.back()->name + "> is not closed");
        return std::move(_root);
    }

    [[noreturn]] void refuse(std::int64_t line, const std::string& why) const {
        throwPiError("cannot read \"" + _sourceName + "\": line " + std::to_string(line) + ": " + why);
    }

private:
    bool keepsBlankText() const override { return true; }

    void notifyStartTag(const std::string& name) override {
        if (_open.size() >= maxDepth)
            refuse(getTagLine(), "elements are nested more than " + std::to_string(maxDepth) + " deep");
        auto element = std::make_unique<Element>();
        element->name = name;
        element->line = static_cast<int>(getTagLine());
        Element* raw = element.get();
        if (_open.empty())
            _root = std::move(element);
        else
            _open.back()->children.push_back(std::move(element));
        _open.push_back(raw);
    }
    void notifyAttribute(const std::string& name, const std::string& value, std::int64_t) override {
        _open.back()->attributes[name] = value;
    }
    void notifyEmptyTagEnd() override { _open.pop_back(); }
    void notifyEndTag(const std::string& name, std::int64_t line) override {
        if (_open.back()->name != name)
            refuse(line, "</" + name + "> does not close <" + _open.back()->name + "> (line " +
                             std::to_string(_open.back()->line) + ")");
        _open.pop_back();
    }
    void notifyTextData(const std::string& text, std::int64_t) override { _open.back()->text += text; }
    void notifyCharacterData(const std::string& text, std::int64_t) override { _open.back()->text += text; }

    const std::string& _sourceName;
    std::unique_ptr<Element> _root;
    std::vector<Element*> _open;
};

} // namespace

// Children are detached onto a list of pending elements before they are destroyed, so that
// destroying a deep tree takes no stack frame per level.
Element::~Element() {
    std::vector<std::unique_ptr<Element>> pending = std::move(children);
    while (!pending.empty()) {
        std::unique_ptr<Element> last = std::move(pending.back());
        pending.pop_back();
        for (auto& child : last->children)
            pending.push_back(std::move(child));
        last->children.clear();
    }
}

std::string Element::get(const std::string& attribute) const {
    auto it = attributes.find(attribute);
    return it == attributes.end() ? std::string() : it->second;
}

std::unique_ptr<Element> parse(std::string_view text, const std::string& sourceName) {
    TreeBuilder builder(sourceName);
    try {
        XmlParser::parseText(builder, text, sourceName);
    } catch (const XmlEx& error) {
        builder.refuse(error.getXmlLine(), error.getXmlMessage());
    }
    return builder.finish();
}

std::string readFile(const std::string& path, const std::string& failure) {
    const auto refuse = [&](const std::string& why) { throwPiError(failure + " \"" + path + "\": " + why); };
    // Opened without waiting, so that a pipe with no writer is refused instead of blocking here.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        refuse("the file does not exist or is not readable");
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        refuse("it is not a regular file");
    const auto tooLarge = [&] {
        refuse("it is larger than " + std::to_string(maxFileSize >> 20) + " MiB, the most a file may hold");
    };
    if (status.st_size > maxFileSize)
        tooLarge();
    // One byte more than the file holds, so that one that grows while it is read is noticed.
    const auto limit = static_cast<std::size_t>(maxFileSize);
    std::string text(std::min(static_cast<std::size_t>(status.st_size) + 1, limit + 1), '\0');
    std::size_t done = 0;
    for (;;) {
        if (done == text.size()) {
            if (done > limit)
                tooLarge();
            text.resize(std::min(std::max<std::size_t>(text.size() * 2, 4096), limit + 1));
        }
        const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            refuse("the file cannot be read");
        }
        done += static_cast<std::size_t>(n);
    }
    if (done > limit)
        tooLarge();
    text.resize(done);
    return text;
}

std::string escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        case '\n':
            out += "&#10;";
            break;
        case '\r':
            out += "&#13;";
            break;
        case '\t':
            out += "&#9;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

namespace {

// The length of the XML character at the start of text, 0 when there is none.
std::size_t xmlCharLength(std::string_view text) {
    char32_t c = 0;
    const std::size_t length = Utf8::decode(text, c);
    return length != 0 && XmlCharacters::isXmlChar(c) ? length : 0;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

bool isXmlText(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = xmlCharLength(text.substr(i));
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::string escapeBytes(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        if (bytes[i] == '\\') {
            text += "\\\\";
            ++i;
        } else if (const std::size_t length = xmlCharLength(bytes.substr(i))) {
            text.append(bytes.substr(i, length));
            i += length;
        } else {
            const auto byte = static_cast<unsigned char>(bytes[i++]);
            text += "\\x";
            text += digits[byte >> 4];
            text += digits[byte & 0xF];
        }
    }
    return text;
}

bool unescapeBytes(std::string_view text, std::string& bytes) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else if (i + 3 < text.size() && text[i + 1] == 'x' && hexDigit(text[i + 2]) >= 0 &&
                   hexDigit(text[i + 3]) >= 0) {
            out += static_cast<char>(hexDigit(text[i + 2]) * 16 + hexDigit(text[i + 3]));
            i += 3;
        } else {
            return false;
        }
    }
    bytes = std::move(out);
    return true;
}

} // namespace Kr::PiXml
