// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <ostream>
#include <string>

namespace Kr {

// The framework's text value. It converts to a standard string wherever one is expected, so that
// framework calls taking standard strings (the tokenizer's delimiters, file paths) accept it as is.
class LiString {
public:
    LiString() = default;
    LiString(const char* text) : _text(text) {}
    LiString(std::string text) : _text(std::move(text)) {}

    operator const std::string&() const { return _text; }
    const std::string& str() const { return _text; }
    const char* c_str() const { return _text.c_str(); }
    std::size_t size() const { return _text.size(); }
    bool empty() const { return _text.empty(); }

    friend bool operator==(const LiString&, const LiString&) = default;
    friend auto operator<=>(const LiString&, const LiString&) = default;
    friend std::ostream& operator<<(std::ostream& out, const LiString& text) { return out << text._text; }

private:
    std::string _text;
};

} // namespace Kr
