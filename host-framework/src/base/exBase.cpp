// SPDX-License-Identifier: Apache-2.0
#include <Kr/Ex.h>
#include <Kr/RCExUtil.h>

#include <utility>

namespace Kr {

ExBase::ExBase(std::string text, const char* file, int line)
    : _text(std::move(text)), _file(file ? file : ""), _line(line) {}

ExBase::~ExBase() = default;

std::string ExBase::getText() const {
    return _text;
}

std::string ExBase::getMessage() const {
    std::string message = getText();
    if (!_file.empty()) {
        message += " (" + _file;
        if (_line > 0)
            message += ", line " + std::to_string(_line);
        message += ")";
    }
    return message;
}

ExBase* ExBase::clone() const {
    return new ExBase(*this);
}

ExProcessRc::ExProcessRc(int returnCode, std::string text) : ExBase(std::move(text)), _returnCode(returnCode) {}

std::string ExProcessRc::getText() const {
    std::string text = ExBase::getText();
    return text.empty() ? "process ends with return code " + std::to_string(_returnCode) : text;
}

ExBase* ExProcessRc::clone() const {
    return new ExProcessRc(*this);
}

ExAssertionFailed::ExAssertionFailed(const char* file, int line, const char* condition)
    : ExBase(condition ? condition : "", file, line) {}

std::string ExAssertionFailed::getMessage() const {
    std::string message = "Assertion failed: " + getText();
    if (!getFile().empty()) {
        message += " (" + getFile();
        if (getLine() > 0)
            message += ", line " + std::to_string(getLine());
        message += ")";
    }
    return message;
}

ExBase* ExAssertionFailed::clone() const {
    return new ExAssertionFailed(*this);
}

ExNullPtr::ExNullPtr(const std::string& typeName)
    : ExBase("null pointer to " + typeName + " dereferenced"), _typeName(typeName) {}

std::string ExNullPtr::getMessage() const {
    return "Null pointer exception: " + getText();
}

ExBase* ExNullPtr::clone() const {
    return new ExNullPtr(*this);
}

ExCastFailed::ExCastFailed(const std::string& actualType, const std::string& targetType)
    : ExBase("cannot cast " + actualType + " to " + targetType), _actualType(actualType), _targetType(targetType) {}

std::string ExCastFailed::getMessage() const {
    return "Cast failed: " + getText();
}

ExBase* ExCastFailed::clone() const {
    return new ExCastFailed(*this);
}

ExForeign::ExForeign(std::string text) : ExBase(std::move(text)) {}

ExBase* ExForeign::clone() const {
    return new ExForeign(*this);
}

namespace Assertions {

void throwAssertionFailed(const char* file, int line, const char* condition) {
    throw ExAssertionFailed(file, line, condition);
}

std::string sourcePath(const char* file) {
    std::string path = file ? file : "";
    std::size_t slash = path.find_last_of("/\\");
    std::size_t dot = path.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        path.erase(dot);
    return path;
}

} // namespace Assertions

namespace RCExUtil {

void throwExNullPtr(const std::string& typeName) {
    throw ExNullPtr(typeName);
}

void throwExCastFailed(const std::string& actualType, const std::string& targetType) {
    throw ExCastFailed(actualType, targetType);
}

} // namespace RCExUtil

} // namespace Kr
