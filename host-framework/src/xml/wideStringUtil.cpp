// SPDX-License-Identifier: Apache-2.0
#include "Kr/WideStringUtil.h"

#include <cstdint>

namespace Kr::WideStringUtil {

static_assert(sizeof(wchar_t) == 4, "wide strings are expected to hold UTF-32");

namespace {

constexpr char32_t replacement = 0xFFFD;

bool isScalarValue(char32_t cp) {
    return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
}

} // namespace

std::string narrowMB(const std::wstring& wide) {
    std::string text;
    text.reserve(wide.size());
    for (const wchar_t w : wide) {
        char32_t cp = static_cast<char32_t>(w);
        if (!isScalarValue(cp)) {
            cp = replacement;
        }
        if (cp < 0x80) {
            text.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            text.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            text.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            text.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            text.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            text.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            text.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            text.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            text.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            text.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return text;
}

std::wstring widenMB(const std::string& text) {
    std::wstring wide;
    wide.reserve(text.size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size;) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            wide.push_back(static_cast<wchar_t>(lead));
            ++i;
            continue;
        }
        int length = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2, cp = lead & 0x1F, minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3, cp = lead & 0x0F, minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4, cp = lead & 0x07, minimum = 0x10000;
        }
        bool valid = length != 0 && i + length <= size;
        for (int k = 1; valid && k < length; ++k) {
            const unsigned char next = bytes[i + k];
            valid = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (valid && cp >= minimum && isScalarValue(cp)) {
            wide.push_back(static_cast<wchar_t>(cp));
            i += length;
        } else {
            wide.push_back(static_cast<wchar_t>(replacement));
            ++i;
        }
    }
    return wide;
}

} // namespace Kr::WideStringUtil
