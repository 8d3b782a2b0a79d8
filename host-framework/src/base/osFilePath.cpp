// SPDX-License-Identifier: Apache-2.0
#include <Kr/OsFilePath.h>

#include <ostream>
#include <sys/stat.h>
#include <utility>

namespace Kr {

OsFilePath::OsFilePath(std::string text) : _text(std::move(text)) {}

OsFilePath::OsFilePath(const char* text) : _text(text ? text : "") {}

bool OsFilePath::isAbsolute() const {
    return !_text.empty() && _text.front() == '/';
}

bool OsFilePath::hasDirectory() const {
    return _text.find('/') != std::string::npos;
}

std::string OsFilePath::getFileName() const {
    std::size_t slash = _text.rfind('/');
    return slash == std::string::npos ? _text : _text.substr(slash + 1);
}

OsFilePath OsFilePath::getDirectory() const {
    std::size_t slash = _text.rfind('/');
    if (slash == std::string::npos)
        return OsFilePath();
    return OsFilePath(slash == 0 ? std::string("/") : _text.substr(0, slash));
}

OsFilePath& OsFilePath::append(const std::string& component) {
    if (component.empty())
        return *this;
    if (!_text.empty() && _text.back() != '/')
        _text += '/';
    _text += component;
    return *this;
}

OsFilePath OsFilePath::operator/(const std::string& component) const {
    OsFilePath joined(*this);
    joined.append(component);
    return joined;
}

bool OsFilePath::exists() const {
    struct stat info;
    return !_text.empty() && ::stat(_text.c_str(), &info) == 0;
}

bool OsFilePath::isDirectory() const {
    struct stat info;
    return !_text.empty() && ::stat(_text.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

void OsFilePath::dump(std::ostream& out) const {
    out << _text;
}

std::ostream& operator<<(std::ostream& out, const OsFilePath& path) {
    path.dump(out);
    return out;
}

} // namespace Kr
