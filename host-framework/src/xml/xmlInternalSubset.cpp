// SPDX-License-Identifier: Apache-2.0
// The document type declaration: its external identifier is checked and never fetched; its
// internal subset is read declaration by declaration for well-formedness, and the entities
// it declares are kept for the references in the document.

#include "xmlCharacters.h"
#include "xmlParserCore.h"

#include <string_view>

namespace Kr {

namespace {

using namespace XmlCharacters;

bool isPublicIdChar(int c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == '\n' ||
           c == '\r' ||
           (c > 0 && c < 0x80 &&
            std::string_view("-'()+,./:=?;!*#@$_%").find(static_cast<char>(c)) != std::string_view::npos);
}

} // namespace

void XmlParserCore::docType(std::int64_t line) {
    expect("OCTYPE", "document type declaration");
    if (_stage != Stage::Prolog) {
        fail("the document type must be declared before the root element");
    }
    if (_seenDocType) {
        fail("a second document type declaration");
    }
    _seenDocType = true;
    int c = requireSpace(_in.get(), "after \"<!DOCTYPE\"");
    std::string name;
    c = readName(c, name);
    if (name.empty()) {
        fail("the document type declaration names no document type (found " + describe(c) + ")");
    }
    bool separated = isSpace(c);
    c = skipSpace(c);
    if (c == 'S' || c == 'P') {
        if (!separated) {
            fail("expected white space before the external identifier of the document type");
        }
        c = externalId(c, false);
        _declarationsMayBeElsewhere = true;
        c = skipSpace(c);
    }
    if (c == '[') {
        internalSubset(line);
        c = skipSpace(_in.get());
    }
    if (c != '>') {
        fail("unexpected " + describe(c) + " in the document type declaration begun on line " + std::to_string(line));
    }
    _protocol.notifyDocType(name);
}

// 'SYSTEM' S SystemLiteral | 'PUBLIC' S PubidLiteral S SystemLiteral; a notation may give the
// public identifier alone. Returns the byte after the identifier.
int XmlParserCore::externalId(int c, bool publicIdAlone) {
    std::string keyword;
    c = readKeyword(c, keyword);
    const bool isPublic = keyword == "PUBLIC";
    if (!isPublic && keyword != "SYSTEM") {
        fail("expected \"SYSTEM\" or \"PUBLIC\", found " + quoted(keyword + static_cast<char>(c)));
    }
    c = requireSpace(c, "after " + quoted(keyword));
    if (isPublic) {
        if (c != '"' && c != '\'') {
            fail("the public identifier must be quoted (found " + describe(c) + ")");
        }
        for (int quote = c; (c = _in.get()) != quote;) {
            if (!isPublicIdChar(c)) {
                fail("unexpected " + describe(c) + " in a public identifier");
            }
        }
        c = _in.get();
        const bool separated = isSpace(c);
        c = skipSpace(c);
        if (publicIdAlone && c != '"' && c != '\'') {
            return c;
        }
        if (!separated) {
            fail("expected white space before the system identifier, found " + describe(c));
        }
    }
    if (c != '"' && c != '\'') {
        fail("the system identifier must be quoted (found " + describe(c) + ")");
    }
    for (int quote = c; (c = _in.get()) != quote;) {
        if (c < 0) {
            fail("the system identifier is not closed");
        }
    }
    return _in.get();
}

// Markup declarations, processing instructions, comments, parameter entity references and
// white space up to the closing "]". A parameter entity's text is read in the same loop and
// must hold whole declarations.
void XmlParserCore::internalSubset(std::int64_t line) {
    for (;;) {
        const int c = _in.get();
        if (isSpace(c)) {
            continue;
        }
        switch (c) {
        case entityEnd:
            leaveEntity(false);
            break;
        case '%':
            parameterEntityReference();
            break;
        case '<':
            markupDeclaration();
            break;
        case ']':
            if (!_openEntities.empty()) {
                fail("a parameter entity's text ends the internal subset");
            }
            return;
        case endOfFile:
            fail("the internal subset of the document type declaration begun on line " + std::to_string(line) +
                 " is not closed");
        default:
            fail("unexpected " + describe(c) + " in the internal subset; it holds only markup declarations");
        }
    }
}

void XmlParserCore::markupDeclaration() {
    const std::int64_t line = _in.line();
    int c = _in.get();
    if (c == '?') {
        processingInstruction(line, false);
        return;
    }
    if (c != '!') {
        fail("unexpected " + describe(c) + " after \"<\" in the internal subset");
    }
    c = _in.get();
    if (c == '-') {
        comment(line);
        return;
    }
    std::string keyword;
    c = readKeyword(c, keyword);
    if (keyword == "ELEMENT") {
        elementDeclaration(c);
    } else if (keyword == "ATTLIST") {
        attributeListDeclaration(c);
    } else if (keyword == "ENTITY") {
        entityDeclaration(c);
    } else if (keyword == "NOTATION") {
        notationDeclaration(c);
    } else {
        fail("\"<!" + keyword + "\" is not a markup declaration");
    }
}

int XmlParserCore::endDeclaration(int c, const char* what) {
    c = skipSpace(c);
    if (c != '>') {
        fail(std::string("expected \">\" to close the ") + what + ", found " + describe(c));
    }
    return c;
}

// <!ELEMENT name EMPTY | ANY | Mixed | children>
void XmlParserCore::elementDeclaration(int c) {
    c = readName(requireSpace(c, "after \"<!ELEMENT\""), _name);
    if (_name.empty()) {
        fail("the element declaration names no element (found " + describe(c) + ")");
    }
    c = requireSpace(c, "after the element name " + quoted(_name));
    if (c == '(') {
        c = contentModel(c);
    } else {
        std::string keyword;
        c = readKeyword(c, keyword);
        if (keyword != "EMPTY" && keyword != "ANY") {
            fail("the content of element " + quoted(_name) + " must be EMPTY, ANY or a model in parentheses");
        }
    }
    endDeclaration(c, "element declaration");
}

// A content model from its "(": mixed content, (#PCDATA | a | b)*, or element content,
// nested choices and sequences with "?", "*" or "+", read with a stack of the groups open
// instead of recursion. Returns the byte after the model.
int XmlParserCore::contentModel(int c) {
    c = skipSpace(_in.get());
    if (c == '#') {
        std::string keyword;
        c = skipSpace(readKeyword(_in.get(), keyword));
        if (keyword != "PCDATA") {
            fail("expected \"#PCDATA\" in the content model, found " + quoted("#" + keyword));
        }
        bool names = false;
        while (c == '|') {
            c = readName(skipSpace(_in.get()), _name);
            if (_name.empty()) {
                fail("expected an element name after \"|\" in mixed content, found " + describe(c));
            }
            names = true;
            c = skipSpace(c);
        }
        if (c != ')') {
            fail("unexpected " + describe(c) + " in mixed content");
        }
        c = _in.get();
        if (c == '*') {
            return _in.get();
        }
        if (names) {
            fail("mixed content that names elements must end with \")*\"");
        }
        return c;
    }
    // The separator of each open group: none yet, ',' or '|'.
    std::vector<char> separators{0};
    for (;;) {
        if (c == '(') {
            separators.push_back(0);
            c = skipSpace(_in.get());
            continue;
        }
        c = readName(c, _name);
        if (_name.empty()) {
            fail("expected an element name or \"(\" in the content model, found " + describe(c));
        }
        if (c == '?' || c == '*' || c == '+') {
            c = _in.get();
        }
        for (;;) {
            c = skipSpace(c);
            if (c == ')') {
                separators.pop_back();
                c = _in.get();
                if (c == '?' || c == '*' || c == '+') {
                    c = _in.get();
                }
                if (separators.empty()) {
                    return c;
                }
                continue;
            }
            if (c != ',' && c != '|') {
                fail("unexpected " + describe(c) + " in the content model");
            }
            if (separators.back() != 0 && separators.back() != c) {
                fail("a group of the content model mixes \",\" and \"|\"");
            }
            separators.back() = static_cast<char>(c);
            c = skipSpace(_in.get());
            break;
        }
    }
}

// <!ATTLIST element (name type default)*>
void XmlParserCore::attributeListDeclaration(int c) {
    std::string element;
    c = readName(requireSpace(c, "after \"<!ATTLIST\""), element);
    if (element.empty()) {
        fail("the attribute-list declaration names no element (found " + describe(c) + ")");
    }
    for (;;) {
        const bool separated = isSpace(c);
        c = skipSpace(c);
        if (c == '>') {
            return;
        }
        c = readName(c, _attributeName);
        if (_attributeName.empty() || !separated) {
            fail("unexpected " + describe(c) + " in the attribute-list declaration of " + quoted(element));
        }
        c = requireSpace(c, "after attribute " + quoted(_attributeName));
        std::string type;
        if (c != '(') {
            c = readKeyword(c, type);
            if (type == "NOTATION") {
                c = requireSpace(c, "after NOTATION");
            } else if (type != "CDATA" && type != "ID" && type != "IDREF" && type != "IDREFS" && type != "ENTITY" &&
                       type != "ENTITIES" && type != "NMTOKEN" && type != "NMTOKENS") {
                fail("unknown type " + quoted(type) + " of attribute " + quoted(_attributeName));
            }
        }
        if (type.empty() || type == "NOTATION") {
            if (c != '(') {
                fail("expected \"(\" to begin the values of attribute " + quoted(_attributeName));
            }
            do {
                c = skipSpace(_in.get());
                c = type.empty() ? readNmtoken(c, _name) : readName(c, _name);
                if (_name.empty()) {
                    fail("unexpected " + describe(c) + " in the values of attribute " + quoted(_attributeName));
                }
                c = skipSpace(c);
            } while (c == '|');
            if (c != ')') {
                fail("unexpected " + describe(c) + " in the values of attribute " + quoted(_attributeName));
            }
            c = _in.get();
        }
        c = requireSpace(c, "before the default of attribute " + quoted(_attributeName));
        if (c == '#') {
            std::string keyword;
            c = readKeyword(_in.get(), keyword);
            if (keyword == "FIXED") {
                c = requireSpace(c, "after #FIXED");
            } else if (keyword != "REQUIRED" && keyword != "IMPLIED") {
                fail("unknown default " + quoted("#" + keyword) + " of attribute " + quoted(_attributeName));
            }
            if (keyword != "FIXED") {
                continue;
            }
        }
        if (c != '"' && c != '\'') {
            fail("the default value of attribute " + quoted(_attributeName) + " must be quoted");
        }
        c = readQuoted(c, _attributeValue, "the default of attribute " + quoted(_attributeName));
    }
}

// <!ENTITY name "value">, <!ENTITY name external-id [NDATA notation]>, <!ENTITY % name ...>
void XmlParserCore::entityDeclaration(int c) {
    c = requireSpace(c, "after \"<!ENTITY\"");
    const bool parameter = c == '%';
    if (parameter) {
        c = requireSpace(_in.get(), "after \"%\" in an entity declaration");
    }
    std::string name;
    c = readName(c, name);
    if (name.empty()) {
        fail("the entity declaration names no entity (found " + describe(c) + ")");
    }
    c = requireSpace(c, "after the entity name " + quoted(name));
    XmlEntity entity;
    if (c == '"' || c == '\'') {
        c = entityValue(c, entity.text);
    } else {
        c = externalId(c, false);
        entity.external = true;
        const bool separated = isSpace(c);
        c = skipSpace(c);
        if (!parameter && c == 'N') {
            std::string keyword;
            c = readKeyword(c, keyword);
            if (keyword != "NDATA" || !separated) {
                fail("unexpected " + quoted(keyword) + " in the declaration of entity " + quoted(name));
            }
            c = readName(requireSpace(c, "after NDATA"), _name);
            if (_name.empty()) {
                fail("NDATA names no notation in the declaration of entity " + quoted(name));
            }
            entity.unparsed = true;
        }
    }
    endDeclaration(c, "entity declaration");
    if (_useDeclarations) {
        // The first declaration of a name binds it; later ones are ignored.
        (parameter ? _parameterEntities : _generalEntities).emplace(std::move(name), std::move(entity));
    }
}

// A literal entity value: character references are replaced now, entity references are kept
// as written and expanded where the entity is used. Returns the byte after the closing quote.
int XmlParserCore::entityValue(int quote, std::string& value) {
    const std::size_t entities = _openEntities.size();
    for (;;) {
        int c = _in.get();
        if (c == quote && _openEntities.size() == entities) {
            return _in.get();
        }
        if (c == entityEnd && _openEntities.size() > entities) {
            leaveEntity(false);
            continue;
        }
        if (c < 0) {
            fail("an entity value is not closed");
        }
        if (c == '%') {
            fail("a parameter entity reference may not stand inside a declaration in the internal subset");
        }
        if (c != '&') {
            value.push_back(static_cast<char>(c));
            continue;
        }
        c = _in.get();
        if (c == '#') {
            characterReference(value);
            continue;
        }
        c = readName(c, _scratch);
        if (_scratch.empty() || c != ';') {
            fail("malformed reference in an entity value (found " + describe(c) + ")");
        }
        value += "&" + _scratch + ";";
    }
}

// <!NOTATION name external-id | PUBLIC "public-id">
void XmlParserCore::notationDeclaration(int c) {
    c = readName(requireSpace(c, "after \"<!NOTATION\""), _name);
    if (_name.empty()) {
        fail("the notation declaration names no notation (found " + describe(c) + ")");
    }
    c = externalId(requireSpace(c, "after the notation name " + quoted(_name)), true);
    endDeclaration(c, "notation declaration");
}

// %name; between declarations. An internal parameter entity's text is read as declarations;
// an external or unknown one is not read, and then the declarations after it are checked
// but not used (unless the document is standalone), as they might depend on it.
void XmlParserCore::parameterEntityReference() {
    std::string name;
    const int c = readName(_in.get(), name);
    if (name.empty() || c != ';') {
        fail("malformed parameter entity reference (found " + describe(c) + ")");
    }
    _declarationsMayBeElsewhere = true;
    const auto found = _parameterEntities.find(name);
    if (found == _parameterEntities.end() || found->second.external) {
        if (found == _parameterEntities.end() && _standalone) {
            fail("undefined parameter entity \"%" + name + ";\"");
        }
        _useDeclarations = _standalone;
        return;
    }
    if (found->second.open) {
        fail("the parameter entity \"%" + name + ";\" refers to itself");
    }
    enterEntity(found->second);
}

} // namespace Kr
