// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/Ex.h>

#include <string>

namespace Kr {

// A document, tool or user-interface operation of the plug-in interface refused; the text
// names the operation, what it was applied to and why.
class KR_EXPORT ExPiError : public ExBase {
public:
    explicit ExPiError(std::string text);
    ExBase* clone() const override;
};

[[noreturn]] KR_EXPORT void throwPiError(const std::string& text);

} // namespace Kr
