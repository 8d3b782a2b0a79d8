// SPDX-License-Identifier: Apache-2.0
#include "graphicsExtensionList.h"

namespace {
constexpr std::string::size_type lineWidth = 80;
}

std::vector<std::string> wrapExtensionList(const std::vector<std::string>& tokens) {
    std::vector<std::string> lines;
    std::string current = "Available OpenGL Extensions:";
    for (const auto& token : tokens) {
        std::string candidate = current + " " + token;
        if (candidate.size() > lineWidth) {
            lines.push_back(std::move(current));
            current = "    " + token;
        } else {
            current = std::move(candidate);
        }
    }
    lines.push_back(std::move(current));
    return lines;
}
