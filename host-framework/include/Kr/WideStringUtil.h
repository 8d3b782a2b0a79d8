// SPDX-License-Identifier: Apache-2.0
#pragma once

// Conversions between the framework's wide strings and multibyte (UTF-8) text. They do not
// depend on the process locale, so text survives a round trip whatever the environment says.

#include <Kr/KrExport.h>

#include <string>

namespace Kr::WideStringUtil {

// UTF-8 form of a wide string. A value that is no Unicode scalar value (a lone surrogate,
// anything above U+10FFFF) becomes U+FFFD.
KR_EXPORT std::string narrowMB(const std::wstring& wide);

// Wide form of UTF-8 text. Each byte that does not belong to a well-formed sequence becomes U+FFFD.
KR_EXPORT std::wstring widenMB(const std::string& text);

} // namespace Kr::WideStringUtil
