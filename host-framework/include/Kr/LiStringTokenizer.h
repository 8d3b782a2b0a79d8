// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "Kr/LiUnaryFunctor.h"

#include <string>
#include <vector>

namespace Kr {

// Splits a text at every occurrence of any of the delimiter characters. Adjacent delimiters
// yield empty tokens; the filter decides which tokens are kept (NotEmpty drops the empty ones).
// The tokens are taken when the tokenizer is built, so neither the text nor the filter needs
// to outlive it.
class LiStringTokenizer {
public:
    using const_iterator = std::vector<std::string>::const_iterator;

    class NotEmpty : public UnaryFunctor<std::string, bool> {
    public:
        bool operator()(const std::string& token) override { return !token.empty(); }
    };

    LiStringTokenizer(const std::string& text, const std::string& delimiters, UnaryFunctor<std::string, bool>& filter) {
        std::string::size_type start = 0;
        while (true) {
            const auto end = text.find_first_of(delimiters, start);
            std::string token = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (filter(token)) {
                _tokens.push_back(std::move(token));
            }
            if (end == std::string::npos) {
                break;
            }
            start = end + 1;
        }
    }

    const_iterator begin() const { return _tokens.begin(); }
    const_iterator end() const { return _tokens.end(); }

private:
    std::vector<std::string> _tokens;
};

} // namespace Kr
