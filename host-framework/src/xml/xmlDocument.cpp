// SPDX-License-Identifier: Apache-2.0
#include "Kr/WideStringUtil.h"
#include "Kr/Xml.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace Kr {

bool XmlDocument::setDocumentType(OPtr<XmlDocumentType> type) {
    if (!_documentType.isNull()) {
        return false;
    }
    _documentType = std::move(type);
    return true;
}

XmlElement::~XmlElement() {
    std::free(_data);
}

void XmlElement::setAttribute(const std::string& name, const std::string& value) {
    if (!_attributes) {
        _attributes = std::make_unique<std::map<std::string, std::string>>();
    }
    (*_attributes)[name] = value;
}

std::string XmlElement::getAttribute(const std::string& name) const {
    if (!_attributes) {
        return std::string();
    }
    const auto found = _attributes->find(name);
    return found == _attributes->end() ? std::string() : found->second;
}

const std::map<std::string, std::string>& XmlElement::getAttributes() const {
    static const std::map<std::string, std::string> none;
    return _attributes ? *_attributes : none;
}

void XmlElement::setData(const std::string& text) {
    _dataSize = 0;
    appendData(text);
}

// Grows by half again when full; realloc moves the pages of a large block instead of copying them.
void XmlElement::appendData(const std::string& text) {
    if (_dataSize + text.size() > _dataCapacity) {
        const std::size_t capacity = std::max(_dataSize + text.size(), _dataCapacity + _dataCapacity / 2);
        char* grown = static_cast<char*>(std::realloc(_data, capacity));
        if (grown == nullptr) {
            throw std::bad_alloc();
        }
        _data = grown;
        _dataCapacity = capacity;
    }
    if (!text.empty()) {
        std::memcpy(_data + _dataSize, text.data(), text.size());
    }
    _dataSize += text.size();
}

std::wstring XmlElement::getData() const {
    return WideStringUtil::widenMB(std::string(_data, _dataSize));
}

} // namespace Kr
