// SPDX-License-Identifier: Apache-2.0
#include "lut1DTable.h"

#include <Kr/Ex.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace Lut1D {

namespace {

// A 65536-entry .cube file is about 2 MB; anything far larger is not a 1D LUT.
constexpr std::uintmax_t maxFileBytes = 16 * 1024 * 1024;

[[noreturn]] void fail(const std::string& source, int line, const std::string& text) {
    throw Kr::ExBase("cannot read LUT: " + text, source.c_str(), line);
}

std::vector<std::string> splitWords(const std::string& line) {
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

// The lines of a text, without their line ends (\n or \r\n).
std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

bool isComment(const std::vector<std::string>& words) {
    return words.empty() || words.front().front() == '#';
}

bool isKeyword(const std::string& word) {
    return std::isalpha(static_cast<unsigned char>(word.front())) != 0;
}

float parseNumber(const std::string& word, const std::string& source, int line) {
    const char* first = word.data();
    const char* last = word.data() + word.size();
    if (first != last && *first == '+')
        ++first;
    float value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || !std::isfinite(value))
        fail(source, line, "\"" + word + "\" is not a finite number");
    return value;
}

int parseCount(const std::string& keyword, const std::string& word, const std::string& source, int line) {
    int value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size())
        fail(source, line, keyword + " needs a whole number, not \"" + word + "\"");
    if (value < 2 || value > Table::maxSize)
        fail(source, line,
             keyword + " " + word + " is out of range: a 1D LUT has 2 to " + std::to_string(Table::maxSize) +
                 " entries");
    return value;
}

void expectWords(const std::vector<std::string>& words, std::size_t count, const std::string& what,
                 const std::string& source, int line) {
    if (words.size() != count)
        fail(source, line,
             what + " needs " + std::to_string(count - 1) + (count == 2 ? " value" : " values") + ", found " +
                 std::to_string(words.size() - 1));
}

void expectEntry(const std::vector<std::string>& words, std::size_t count, const std::string& source, int line) {
    if (words.size() != count)
        fail(source, line,
             "a table entry needs " + std::to_string(count) + (count == 1 ? " value" : " values") + ", found " +
                 std::to_string(words.size()));
}

std::string lowerExtension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

std::string formatFloat(float value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

} // namespace

Table Table::readFile(const std::string& path) {
    const std::string extension = lowerExtension(path);
    if (extension != ".cube" && extension != ".spi1d")
        fail(path, 0, "unknown LUT format \"" + extension + "\": a 1D LUT is read from a .cube or .spi1d file");
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        fail(path, 0, std::filesystem::exists(path, error) ? "not a regular file" : "no such file");
    if (std::filesystem::file_size(path, error) > maxFileBytes)
        fail(path, 0, "the file is larger than " + std::to_string(maxFileBytes) + " bytes, too large for a 1D LUT");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        fail(path, 0, std::string("cannot open the file: ") + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        fail(path, 0, "the file cannot be read");
    return extension == ".cube" ? parseCube(text.str(), path) : parseSpi1d(text.str(), path);
}

Table Table::parseCube(const std::string& text, const std::string& sourceName) {
    Table table;
    int size = 0;
    int domainLine = 0;
    int lineNb = 0;
    for (const std::string& line : splitLines(text)) {
        ++lineNb;
        const std::vector<std::string> words = splitWords(line);
        if (isComment(words))
            continue;
        const std::string& key = words.front();
        if (!isKeyword(key)) {
            if (size == 0)
                fail(sourceName, lineNb, "table data before LUT_1D_SIZE");
            if (table.getSize() == size)
                fail(sourceName, lineNb, "more entries than LUT_1D_SIZE " + std::to_string(size));
            expectEntry(words, 3, sourceName, lineNb);
            table._entries.push_back({parseNumber(words[0], sourceName, lineNb),
                                      parseNumber(words[1], sourceName, lineNb),
                                      parseNumber(words[2], sourceName, lineNb)});
            continue;
        }
        if (!table._entries.empty())
            fail(sourceName, lineNb, "keyword " + key + " after the table data");
        if (key == "TITLE") {
            continue;
        } else if (key == "LUT_1D_SIZE") {
            if (size != 0)
                fail(sourceName, lineNb, "LUT_1D_SIZE given twice");
            expectWords(words, 2, key, sourceName, lineNb);
            size = parseCount(key, words[1], sourceName, lineNb);
            table._entries.reserve(size);
        } else if (key == "LUT_3D_SIZE") {
            fail(sourceName, lineNb, "this is a 3D LUT (LUT_3D_SIZE); only 1D LUTs can be read");
        } else if (key == "DOMAIN_MIN" || key == "DOMAIN_MAX") {
            expectWords(words, 4, key, sourceName, lineNb);
            std::array<float, 3>& bound = key == "DOMAIN_MIN" ? table._domainMin : table._domainMax;
            for (int c = 0; c < 3; ++c)
                bound[c] = parseNumber(words[c + 1], sourceName, lineNb);
            domainLine = lineNb;
        } else if (key == "LUT_1D_INPUT_RANGE") {
            expectWords(words, 3, key, sourceName, lineNb);
            table._domainMin.fill(parseNumber(words[1], sourceName, lineNb));
            table._domainMax.fill(parseNumber(words[2], sourceName, lineNb));
            domainLine = lineNb;
        } else {
            fail(sourceName, lineNb, "unknown keyword " + key);
        }
    }
    if (size == 0)
        fail(sourceName, lineNb, "no LUT_1D_SIZE: the file holds no 1D LUT");
    if (table.getSize() < size)
        fail(sourceName, lineNb,
             "LUT_1D_SIZE " + std::to_string(size) + " announces more entries than the " +
                 std::to_string(table.getSize()) + " found");
    for (int c = 0; c < 3; ++c)
        if (!(table._domainMin[c] < table._domainMax[c]))
            fail(sourceName, domainLine,
                 "the domain minimum " + formatFloat(table._domainMin[c]) + " is not below its maximum " +
                     formatFloat(table._domainMax[c]));
    return table;
}

Table Table::parseSpi1d(const std::string& text, const std::string& sourceName) {
    Table table;
    int size = 0;
    int components = 1;
    int fromLine = 0;
    bool inTable = false;
    bool closed = false;
    int lineNb = 0;
    for (const std::string& line : splitLines(text)) {
        ++lineNb;
        const std::vector<std::string> words = splitWords(line);
        if (isComment(words))
            continue;
        const std::string& key = words.front();
        if (closed)
            fail(sourceName, lineNb, "text after the closing \"}\"");
        if (inTable) {
            if (key == "}") {
                if (words.size() != 1)
                    fail(sourceName, lineNb, "text after the closing \"}\"");
                closed = true;
                continue;
            }
            if (table.getSize() == size)
                fail(sourceName, lineNb, "more entries than Length " + std::to_string(size));
            expectEntry(words, components, sourceName, lineNb);
            std::array<float, 3> entry{};
            for (int c = 0; c < 3; ++c)
                entry[c] = parseNumber(words[components == 1 ? 0 : c], sourceName, lineNb);
            table._entries.push_back(entry);
            continue;
        }
        if (key == "Version") {
            expectWords(words, 2, key, sourceName, lineNb);
            if (words[1] != "1")
                fail(sourceName, lineNb, "version " + words[1] + " is not supported (only version 1)");
        } else if (key == "From") {
            expectWords(words, 3, key, sourceName, lineNb);
            table._domainMin.fill(parseNumber(words[1], sourceName, lineNb));
            table._domainMax.fill(parseNumber(words[2], sourceName, lineNb));
            fromLine = lineNb;
        } else if (key == "Length") {
            expectWords(words, 2, key, sourceName, lineNb);
            size = parseCount(key, words[1], sourceName, lineNb);
        } else if (key == "Components") {
            expectWords(words, 2, key, sourceName, lineNb);
            if (words[1] != "1" && words[1] != "3")
                fail(sourceName, lineNb, "Components " + words[1] + " is not supported (1 or 3)");
            components = words[1] == "1" ? 1 : 3;
        } else if (key == "{") {
            if (words.size() != 1)
                fail(sourceName, lineNb, "the table must start on the line after \"{\"");
            if (size == 0)
                fail(sourceName, lineNb, "table data before Length");
            inTable = true;
        } else {
            fail(sourceName, lineNb, "unknown keyword " + key);
        }
    }
    if (!inTable)
        fail(sourceName, lineNb, "no table: the file holds no \"{\" ... \"}\" block");
    if (table.getSize() < size)
        fail(sourceName, lineNb,
             "Length " + std::to_string(size) + " announces more entries than the " + std::to_string(table.getSize()) +
                 " found");
    if (!closed)
        fail(sourceName, lineNb, "the table is not closed with \"}\"");
    if (!(table._domainMin[0] < table._domainMax[0]))
        fail(sourceName, fromLine,
             "the domain minimum " + formatFloat(table._domainMin[0]) + " is not below its maximum " +
                 formatFloat(table._domainMax[0]));
    return table;
}

std::string Table::toCubeText() const {
    std::string text = "LUT_1D_SIZE " + std::to_string(getSize()) + "\n";
    text += "DOMAIN_MIN " + formatFloat(_domainMin[0]) + " " + formatFloat(_domainMin[1]) + " " +
            formatFloat(_domainMin[2]) + "\n";
    text += "DOMAIN_MAX " + formatFloat(_domainMax[0]) + " " + formatFloat(_domainMax[1]) + " " +
            formatFloat(_domainMax[2]) + "\n";
    for (const auto& entry : _entries)
        text += formatFloat(entry[0]) + " " + formatFloat(entry[1]) + " " + formatFloat(entry[2]) + "\n";
    return text;
}

float Table::apply(int channel, float value) const {
    const int size = getSize();
    if (size == 0)
        return value;
    // In double: the width of a float domain can overflow a float (-3e38 to 3e38), and the
    // position must be exact enough to pick between neighbouring entries of a large table.
    const double low = _domainMin[channel];
    const double position = (static_cast<double>(value) - low) / (static_cast<double>(_domainMax[channel]) - low);
    // Written so that NaN takes the first entry.
    if (!(position > 0))
        return _entries.front()[channel];
    if (position >= 1)
        return _entries.back()[channel];
    const double scaled = position * (size - 1);
    const int index = std::min(static_cast<int>(scaled), size - 2);
    const double fraction = scaled - index;
    const double first = _entries[index][channel];
    const double second = _entries[index + 1][channel];
    return static_cast<float>(first + (second - first) * fraction);
}

} // namespace Lut1D
