// SPDX-License-Identifier: Apache-2.0
#include "bridgeError.h"

namespace bridge::client {

std::string moviehostFailureText(const std::string& standardError) {
    static const std::string opening = "exception: '";
    std::string text = standardError;
    if (const std::size_t start = standardError.rfind(opening); start != std::string::npos) {
        text = standardError.substr(start + opening.size());
        if (!text.empty() && text.back() == '\'') {
            text.pop_back();
        }
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

} // namespace bridge::client
