// SPDX-License-Identifier: Apache-2.0
#include "Kr/WideStringUtil.h"
#include "Kr/Utf8.h"

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
        const auto cp = static_cast<char32_t>(w);
        Utf8::append(text, isScalarValue(cp) ? cp : replacement);
    }
    return text;
}

std::wstring widenMB(const std::string& text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = replacement;
        const std::size_t length = Utf8::decode(std::string_view(text).substr(i), cp);
        wide.push_back(static_cast<wchar_t>(cp));
        i += length == 0 ? 1 : length;
    }
    return wide;
}

} // namespace Kr::WideStringUtil
