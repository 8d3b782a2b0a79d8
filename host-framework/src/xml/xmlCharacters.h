// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "Kr/Xml.h"

#include <cstdint>
#include <string>

// Character classes and encodings the parser needs.
namespace Kr::XmlCharacters {

// A carriage return reaches the parser only from a character reference in an entity's text.
constexpr bool isSpace(int c) {
    return c == ' ' || c == '\n' || c == '\t' || c == '\r';
}

// For ASCII bytes: may begin a name, may continue one. Characters beyond ASCII are judged by
// their code point with the two functions below.
constexpr bool isAsciiNameStart(int c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
}

constexpr bool isAsciiNameChar(int c) {
    return isAsciiNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// The NameStartChar and NameChar productions of XML 1.0 (fifth edition).
bool isNameStartCode(std::uint32_t codePoint);
bool isNameCode(std::uint32_t codePoint);

// The character a predefined entity stands for ("lt" gives '<'), or 0 when the name is not one.
char predefinedEntity(const std::string& name);

// The text in double quotes, for error messages.
inline std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// A short, printable description of a byte as the parser met it, for error messages.
std::string describe(int c);

} // namespace Kr::XmlCharacters
