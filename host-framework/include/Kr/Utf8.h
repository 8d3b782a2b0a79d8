// SPDX-License-Identifier: Apache-2.0
#pragma once

// The framework's one UTF-8 codec: the XML parser's character references, the wide-string
// conversions and the document writer's check of what XML can carry all encode and decode here.

#include <Kr/KrExport.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace Kr::Utf8 {

// The length of the well-formed UTF-8 sequence at the start of text, with its code point in
// codePoint; 0 (codePoint untouched) when there is none. Strict: no overlong forms, no
// surrogates, nothing beyond U+10FFFF, no sequence cut by the end of text.
KR_EXPORT std::size_t decode(std::string_view text, char32_t& codePoint);

// Appends the UTF-8 form of a Unicode scalar value (no surrogate, at most U+10FFFF).
KR_EXPORT void append(std::string& out, char32_t codePoint);

} // namespace Kr::Utf8
