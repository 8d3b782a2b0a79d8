// SPDX-License-Identifier: Apache-2.0
#pragma once

// A small element tree read with the framework's XML parser, for the framework's own files
// (editor descriptions, documents, hotkeys, preferences).

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Kr::PiXml {

// Elements nested deeper than this are refused. The framework's files are a few levels deep
// (a document three, an editor description a handful), and readers of the tree, such as the
// editor builder, walk it recursively.
constexpr std::size_t maxDepth = 256;
// Larger files are refused before they are read: the tree of a file costs several times its
// size, and 64 MiB holds documents of some 400,000 nodes.
constexpr std::int64_t maxFileSize = std::int64_t(64) << 20;

struct Element {
    Element() = default;
    Element(const Element&) = delete;
    Element& operator=(const Element&) = delete;
    // Takes the subtree apart without recursion.
    ~Element();

    std::string name;
    std::map<std::string, std::string> attributes;
    std::vector<std::unique_ptr<Element>> children;
    std::string text;
    int line = 0;

    // Empty when absent.
    std::string get(const std::string& attribute) const;
    bool has(const std::string& attribute) const { return attributes.count(attribute) > 0; }
};

// Refused with an error naming sourceName, the line and the fault, elements nested deeper
// than maxDepth included. The text of an element is all its character data, white space too.
std::unique_ptr<Element> parse(std::string_view text, const std::string& sourceName);

// The bytes of a regular file of at most maxFileSize bytes. Anything else (missing, unreadable,
// a directory, a device, a pipe, too large) is refused with "<failure> "<path>": <why>".
std::string readFile(const std::string& path, const std::string& failure);

// Text with the five XML special characters escaped, for attributes and contents.
std::string escape(const std::string& text);

// Whether XML 1.0 can carry the text as it is: valid UTF-8 of characters XML allows (no
// control characters but tab and line ends, no U+FFFE or U+FFFF).
bool isXmlText(std::string_view text);

// Any bytes as XML-carriable text: what XML cannot carry, byte by byte, as "\xHH" (two
// upper-case hexadecimal digits), and a backslash doubled; everything else as it is.
std::string escapeBytes(std::string_view bytes);
// The bytes back; false (and bytes unchanged) when the text holds a backslash that is not
// "\\" or "\xHH".
bool unescapeBytes(std::string_view text, std::string& bytes);

} // namespace Kr::PiXml
