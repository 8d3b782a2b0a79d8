// SPDX-License-Identifier: Apache-2.0
#include "piXmlTree.h"

#include <Kr/PiErrors.h>

#include <expat.h>

namespace Kr::PiXml {

namespace {
struct Builder {
    XML_Parser parser;
    std::unique_ptr<Element> root;
    std::vector<Element*> open;
};

void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto* b = static_cast<Builder*>(data);
    auto element = std::make_unique<Element>();
    element->name = name;
    element->line = static_cast<int>(XML_GetCurrentLineNumber(b->parser));
    for (int i = 0; attributes[i]; i += 2)
        element->attributes[attributes[i]] = attributes[i + 1];
    Element* raw = element.get();
    if (b->open.empty())
        b->root = std::move(element);
    else
        b->open.back()->children.push_back(std::move(element));
    b->open.push_back(raw);
}

void XMLCALL onEnd(void* data, const XML_Char*) {
    static_cast<Builder*>(data)->open.pop_back();
}

void XMLCALL onText(void* data, const XML_Char* text, int length) {
    auto* b = static_cast<Builder*>(data);
    if (!b->open.empty())
        b->open.back()->text.append(text, length);
}
} // namespace

std::string Element::get(const std::string& attribute) const {
    auto it = attributes.find(attribute);
    return it == attributes.end() ? std::string() : it->second;
}

std::unique_ptr<Element> parse(const std::string& text, const std::string& sourceName) {
    Builder builder;
    builder.parser = XML_ParserCreate("UTF-8");
    if (!builder.parser)
        throwPiError("cannot read \"" + sourceName + "\": out of memory");
    XML_SetUserData(builder.parser, &builder);
    XML_SetElementHandler(builder.parser, onStart, onEnd);
    XML_SetCharacterDataHandler(builder.parser, onText);
    if (XML_Parse(builder.parser, text.data(), static_cast<int>(text.size()), 1) == XML_STATUS_ERROR) {
        const std::string message = "cannot read \"" + sourceName + "\": line " +
                                    std::to_string(XML_GetCurrentLineNumber(builder.parser)) + ": " +
                                    XML_ErrorString(XML_GetErrorCode(builder.parser));
        XML_ParserFree(builder.parser);
        throwPiError(message);
    }
    XML_ParserFree(builder.parser);
    return std::move(builder.root);
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

// The length of the XML character at the start of text, 0 when there is none: a strict UTF-8
// decoding (no overlong forms, no surrogates, nothing beyond U+10FFFF) of a character XML 1.0
// allows.
std::size_t xmlCharLength(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length;
    char32_t c;
    if (lead < 0x80) {
        length = 1;
        c = lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        c = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (byte(i) & 0x3F);
    }
    const bool shortest = (length != 3 || c >= 0x800) && (length != 4 || c >= 0x10000);
    const bool allowed = c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
                         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
    return shortest && allowed ? length : 0;
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
