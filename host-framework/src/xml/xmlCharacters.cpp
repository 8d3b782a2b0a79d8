// SPDX-License-Identifier: Apache-2.0
#include "xmlCharacters.h"

#include <cstdio>

namespace Kr::XmlCharacters {

bool isXmlChar(std::uint32_t cp) {
    return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) || (cp >= 0xE000 && cp <= 0xFFFD) ||
           (cp >= 0x10000 && cp <= 0x10FFFF);
}

bool isNameStartCode(std::uint32_t cp) {
    if (cp < 0x80) {
        return isAsciiNameStart(static_cast<int>(cp));
    }
    return (cp >= 0xC0 && cp <= 0xD6) || (cp >= 0xD8 && cp <= 0xF6) || (cp >= 0xF8 && cp <= 0x2FF) ||
           (cp >= 0x370 && cp <= 0x37D) || (cp >= 0x37F && cp <= 0x1FFF) || (cp >= 0x200C && cp <= 0x200D) ||
           (cp >= 0x2070 && cp <= 0x218F) || (cp >= 0x2C00 && cp <= 0x2FEF) || (cp >= 0x3001 && cp <= 0xD7FF) ||
           (cp >= 0xF900 && cp <= 0xFDCF) || (cp >= 0xFDF0 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0xEFFFF);
}

bool isNameCode(std::uint32_t cp) {
    if (cp < 0x80) {
        return isAsciiNameChar(static_cast<int>(cp));
    }
    return isNameStartCode(cp) || cp == 0xB7 || (cp >= 0x300 && cp <= 0x36F) || (cp >= 0x203F && cp <= 0x2040);
}

char predefinedEntity(const std::string& name) {
    if (name == "lt") {
        return '<';
    }
    if (name == "gt") {
        return '>';
    }
    if (name == "amp") {
        return '&';
    }
    if (name == "apos") {
        return '\'';
    }
    if (name == "quot") {
        return '"';
    }
    return 0;
}

std::string describe(int c) {
    if (c == -2) {
        return "the end of an entity's text";
    }
    if (c < 0) {
        return "the end of the file";
    }
    if (c == '\n') {
        return "a line end";
    }
    if (c > 0x20 && c < 0x7F) {
        return std::string("\"") + static_cast<char>(c) + "\"";
    }
    if (c == ' ' || c == '\t') {
        return "white space";
    }
    char text[16];
    std::snprintf(text, sizeof text, "byte 0x%02X", static_cast<unsigned>(c));
    return text;
}

} // namespace Kr::XmlCharacters
