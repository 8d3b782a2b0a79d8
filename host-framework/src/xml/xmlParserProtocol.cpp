// SPDX-License-Identifier: Apache-2.0
#include "Kr/Xml.h"

namespace Kr {

// A protocol hears only what it overrides; everything else is let pass.
void XmlParserProtocol::notifyXmlVersion(const std::string&, std::int64_t) {}
void XmlParserProtocol::notifyDocType(const std::string&) {}
void XmlParserProtocol::notifyStartTag(const std::string&) {}
void XmlParserProtocol::notifyEmptyTagEnd() {}
void XmlParserProtocol::notifyStartTagEnd(std::int64_t) {}
void XmlParserProtocol::notifyEndTag(const std::string&, std::int64_t) {}
void XmlParserProtocol::notifyAttribute(const std::string&, const std::string&, std::int64_t) {}
void XmlParserProtocol::notifyTextData(const std::string&, std::int64_t) {}
void XmlParserProtocol::notifyCharacterData(const std::string&, std::int64_t) {}
XmlParserProtocol::~XmlParserProtocol() noexcept(false) = default;

bool XmlParserProtocol::keepParsing() {
    return true;
}

bool XmlParserProtocol::keepsBlankText() const {
    return false;
}

} // namespace Kr
