// SPDX-License-Identifier: Apache-2.0
// libFuzzer target: feeds arbitrary bytes to krhost's script reader, line by line as a
// script is read. Besides the sanitizers' checks: a line is refused only with krhost's own
// error; a blank or comment line gives no words and any other line at least one; and the
// words, quoted again, read back the same.

#include "krhostSession.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "script reader broke its promise: %s\n", what);
        std::abort();
    }
}

std::string quoted(const std::vector<std::string>& words) {
    std::string line;
    for (const std::string& word : words) {
        line += line.empty() ? "\"" : " \"";
        for (char c : word) {
            if (c == '\n') {
                line += "\\n";
                continue;
            }
            if (c == '"' || c == '\\')
                line += '\\';
            line += c;
        }
        line += '"';
    }
    return line;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream script(std::string(reinterpret_cast<const char*>(data), size));
    for (std::string line; std::getline(script, line);) {
        std::vector<std::string> words;
        try {
            words = Krhost::Session::readLine(line);
        } catch (const Krhost::KrhostError&) {
            continue;
        }
        bool blank = true;
        for (char c : line)
            blank = blank && Krhost::Session::isWhiteSpace(c);
        if (blank)
            require(words.empty(), "a blank line gave words");
        if (words.empty())
            continue;
        require(Krhost::Session::readLine(quoted(words)) == words, "quoted words read back differently");
        if (const auto* command = Krhost::Session::findCommand(words.front()))
            require(command->minWords >= 1 && command->minWords <= command->maxWords, "a command without a form");
    }
    return 0;
}
