#include "Kr/WideStringUtil.h"
#include "Kr/Xml.h"

namespace Kr {

bool XmlDocument::setDocumentType(OPtr<XmlDocumentType> type) {
    if (!_documentType.isNull()) {
        return false;
    }
    _documentType = std::move(type);
    return true;
}

void XmlElement::setAttribute(const std::string& name, const std::string& value) {
    _attributes[name] = value;
}

std::string XmlElement::getAttribute(const std::string& name) const {
    const auto found = _attributes.find(name);
    return found == _attributes.end() ? std::string() : found->second;
}

void XmlElement::setData(const std::string& text) {
    _data = text;
}

void XmlElement::appendData(const std::string& text) {
    _data += text;
}

std::wstring XmlElement::getData() const {
    return WideStringUtil::widenMB(_data);
}

} // namespace Kr
