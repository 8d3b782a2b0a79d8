#include "piXmlTree.h"

#include <Kr/PiErrors.h>

#include <expat.h>

namespace Kr::PiXml {

namespace {
struct Builder {
    XML_Parser parser;
    std::unique_ptr<Element> root;
    std::vector<Element*> open;
};

void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto* b = static_cast<Builder*>(data);
    auto element = std::make_unique<Element>();
    element->name = name;
    element->line = static_cast<int>(XML_GetCurrentLineNumber(b->parser));
    for (int i = 0; attributes[i]; i += 2)
        element->attributes[attributes[i]] = attributes[i + 1];
    Element* raw = element.get();
    if (b->open.empty())
        b->root = std::move(element);
    else
        b->open.back()->children.push_back(std::move(element));
    b->open.push_back(raw);
}

void XMLCALL onEnd(void* data, const XML_Char*) {
    static_cast<Builder*>(data)->open.pop_back();
}

void XMLCALL onText(void* data, const XML_Char* text, int length) {
    auto* b = static_cast<Builder*>(data);
    if (!b->open.empty())
        b->open.back()->text.append(text, length);
}
} // namespace

std::string Element::get(const std::string& attribute) const {
    auto it = attributes.find(attribute);
    return it == attributes.end() ? std::string() : it->second;
}

std::unique_ptr<Element> parse(const std::string& text, const std::string& sourceName) {
    Builder builder;
    builder.parser = XML_ParserCreate("UTF-8");
    if (!builder.parser)
        throwPiError("cannot read \"" + sourceName + "\": out of memory");
    XML_SetUserData(builder.parser, &builder);
    XML_SetElementHandler(builder.parser, onStart, onEnd);
    XML_SetCharacterDataHandler(builder.parser, onText);
    if (XML_Parse(builder.parser, text.data(), static_cast<int>(text.size()), 1) == XML_STATUS_ERROR) {
        const std::string message = "cannot read \"" + sourceName + "\": line " +
                                    std::to_string(XML_GetCurrentLineNumber(builder.parser)) + ": " +
                                    XML_ErrorString(XML_GetErrorCode(builder.parser));
        XML_ParserFree(builder.parser);
        throwPiError(message);
    }
    XML_ParserFree(builder.parser);
    return std::move(builder.root);
}

std::string escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        case '\n':
            out += "&#10;";
            break;
        case '\r':
            out += "&#13;";
            break;
        case '\t':
            out += "&#9;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace Kr::PiXml
