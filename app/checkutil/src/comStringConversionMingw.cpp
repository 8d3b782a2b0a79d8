// SPDX-License-Identifier: Apache-2.0
// The narrow-to-BSTR conversion that _bstr_t and _variant_t call for narrow text. Visual
// C++ takes it from comsuppw.lib; mingw-w64 declares it in comutil.h but ships no library
// with it, so the Windows build brings its own. Text is in the ANSI code page, as
// everywhere else in the checks.
#include <comutil.h>
#include <windows.h>

namespace _com_util {

BSTR WINAPI ConvertStringToBSTR(const char* text) {
    if (text == nullptr) {
        return nullptr;
    }
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0) {
        return nullptr;
    }
    // The count from MultiByteToWideChar includes the terminator; SysAllocStringLen adds its own.
    BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(length - 1));
    if (result != nullptr) {
        MultiByteToWideChar(CP_ACP, 0, text, -1, result, length);
    }
    return result;
}

} // namespace _com_util
