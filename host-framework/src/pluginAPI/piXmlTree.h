// SPDX-License-Identifier: Apache-2.0
#pragma once

// A small element tree read with expat, for the framework's own files (editor
// descriptions, documents, preferences).

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Kr::PiXml {

struct Element {
    std::string name;
    std::map<std::string, std::string> attributes;
    std::vector<std::unique_ptr<Element>> children;
    std::string text;
    int line = 0;

    // Empty when absent.
    std::string get(const std::string& attribute) const;
    bool has(const std::string& attribute) const { return attributes.count(attribute) > 0; }
};

// Refused with an error naming sourceName, the line and the fault.
std::unique_ptr<Element> parse(const std::string& text, const std::string& sourceName);

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
