#pragma once

#include <cstdint>
#include <string>

// Character classes and encodings the parser needs. Bytes of multibyte UTF-8 characters are
// accepted in names as they come: the byte stream has already checked that they form valid
// characters, and telling letters from symbols beyond ASCII is not worth a table here.
namespace Kr::XmlCharacters {

inline bool isSpace(int c) {
    return c == ' ' || c == '\n' || c == '\t';
}

inline bool isNameStart(int c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}

inline bool isNameChar(int c) {
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// True for the code points a character reference may name (the Char production of XML 1.0).
bool isXmlChar(std::uint32_t codePoint);

// Appends the UTF-8 form of a code point that isXmlChar accepted.
void appendUtf8(std::string& out, std::uint32_t codePoint);

// The character a predefined entity stands for ("lt" gives '<'), or 0 when the name is not one.
char predefinedEntity(const std::string& name);

// A short, printable description of a byte as the parser met it, for error messages.
std::string describe(int c);

} // namespace Kr::XmlCharacters
