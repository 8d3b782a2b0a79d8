// SPDX-License-Identifier: Apache-2.0
#include <Kr/PiErrors.h>

namespace Kr {

ExPiError::ExPiError(std::string text) : ExBase(std::move(text)) {}

ExBase* ExPiError::clone() const {
    return new ExPiError(*this);
}

void throwPiError(const std::string& text) {
    throw ExPiError(text);
}

} // namespace Kr
