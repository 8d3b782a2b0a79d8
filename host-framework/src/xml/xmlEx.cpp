// SPDX-License-Identifier: Apache-2.0
#include "Kr/ExTypeName.h"
#include "Kr/Xml.h"

namespace Kr {

XmlEx::XmlEx(const char* sourcePath, int sourceLine, std::string message, std::int64_t xmlLine, std::string fileName)
    : ExBase(message, sourcePath, sourceLine), _message(std::move(message)), _xmlLine(xmlLine),
      _fileName(std::move(fileName)) {}

std::string XmlEx::getText() const {
    std::string text = _message;
    std::string where;
    if (!_fileName.empty()) {
        where = "file \"" + _fileName + "\"";
    }
    if (_xmlLine > 0) {
        where += (where.empty() ? "" : ", ") + std::string("XML line ") + std::to_string(_xmlLine);
    }
    if (!where.empty()) {
        text += (text.empty() ? "(" : " (") + where + ")";
    }
    if (!getFile().empty()) {
        text += (text.empty() ? "[" : " [") + getFile() + ":" + std::to_string(getLine()) + "]";
    }
    return text;
}

std::string XmlEx::getMessage() const {
    return typeNameOf(typeid(*this)) + ": " + getText();
}

ExBase* XmlEx::clone() const {
    return new XmlEx(*this);
}

XmlEx::ExSyntaxError::ExSyntaxError(const char* sourcePath, int sourceLine, std::string message, std::int64_t xmlLine,
                                    std::string fileName)
    : XmlEx(sourcePath, sourceLine, std::move(message), xmlLine, std::move(fileName)) {}

ExBase* XmlEx::ExSyntaxError::clone() const {
    return new ExSyntaxError(*this);
}

XmlEx::ExXmlVersionNotSupported::ExXmlVersionNotSupported(const char* sourcePath, int sourceLine, std::int64_t xmlLine,
                                                          std::string fileName)
    : XmlEx(sourcePath, sourceLine, "XML version not supported", xmlLine, std::move(fileName)) {}

ExBase* XmlEx::ExXmlVersionNotSupported::clone() const {
    return new ExXmlVersionNotSupported(*this);
}

} // namespace Kr
