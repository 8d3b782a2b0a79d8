// SPDX-License-Identifier: Apache-2.0
#pragma once

// A file-system path kept as its text. Components are joined with '/'.

#include <Kr/KrExport.h>

#include <iosfwd>
#include <string>

namespace Kr {

class KR_EXPORT OsFilePath {
public:
    OsFilePath() = default;
    OsFilePath(std::string text);
    OsFilePath(const char* text);

    const std::string& getText() const { return _text; }
    operator const std::string&() const { return _text; }
    bool isEmpty() const { return _text.empty(); }
    bool isAbsolute() const;
    // True when the text names a directory part ("libKRcpu.krcheck" has none).
    bool hasDirectory() const;
    // The last component, and everything before it (empty when there is none).
    std::string getFileName() const;
    OsFilePath getDirectory() const;

    // Adds one component: "/opt/kr" + "luts" is "/opt/kr/luts".
    OsFilePath& append(const std::string& component);
    OsFilePath operator/(const std::string& component) const;

    bool exists() const;
    bool isDirectory() const;

    // Prints the path as the framework shows paths to people.
    void dump(std::ostream& out) const;

    bool operator==(const OsFilePath& other) const { return _text == other._text; }

private:
    std::string _text;
};

KR_EXPORT std::ostream& operator<<(std::ostream& out, const OsFilePath& path);

} // namespace Kr
