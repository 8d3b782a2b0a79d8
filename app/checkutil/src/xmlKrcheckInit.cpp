// SPDX-License-Identifier: Apache-2.0
// The XML check: `syscheck xml <file>` tells whether the framework's parser reads the file
// without error, every end tag closing the element that is open, in XML version 1.0.

#include <Kr/Ex.h>
#include <Kr/In.h>
#include <Kr/Os.h>
#include <Kr/OsFileReader.h>
#include <Kr/Xml.h>

#include <exception>
#include <iostream>
#include <list>
#include <string>
#include <vector>

KR_PACKAGE_TAG(xmlKrcheck)

namespace {

const char* const sourcePath = "app\\checkutil\\src\\xmlKrcheckInit";

// Source lines the check's failures carry.
constexpr int lineStackNotEmpty = 150;
constexpr int lineVersion = 163;
constexpr int lineEndTag = 216;
constexpr int lineAttribute = 239;
constexpr int lineTextData = 265;
constexpr int lineCharacterData = 284;

// Rebuilds each element the parser reports on a stack, and checks that every end tag
// closes the innermost open element and that the XML version is 1.0.
class XmlDocumentValidator : public Kr::XmlParserProtocol {
public:
    XmlDocumentValidator() : _uncaughtAtConstruction(std::uncaught_exceptions()) {}

    void notifyXmlVersion(const std::string& version, std::int64_t line) override {
        if (version != "1.0") {
            throw Kr::XmlEx::ExXmlVersionNotSupported(sourcePath, lineVersion, line, getFileName());
        }
    }

    void notifyDocType(const std::string& name) override {
        _document.setDocumentType(Kr::OPtr<Kr::XmlDocumentType>(new Kr::XmlDocumentType(name)));
    }

    void notifyStartTag(const std::string& name) override {
        _elementStack.push_front(Kr::RCShdPtr<Kr::XmlElement>(new Kr::XmlElement(name)));
    }

    void notifyEmptyTagEnd() override {
        if (_elementStack.empty()) {
            throw Kr::XmlEx::ExSyntaxError(sourcePath, __LINE__, "empty-element tag ends with no element open", 0,
                                           getFileName());
        }
        _elementStack.pop_front();
    }

    void notifyEndTag(const std::string& name, std::int64_t line) override {
        if (_elementStack.empty()) {
            throw Kr::XmlEx::ExSyntaxError(
                sourcePath, __LINE__, "at \"" + name + "\" element end tag. No element is open", line, getFileName());
        }
        const std::string& openName = _elementStack.front()->getName();
        if (openName != name) {
            throw Kr::XmlEx::ExSyntaxError(sourcePath, lineEndTag,
                                           "at \"" + name + "\" element end tag. End tag \"" + openName + "\" missing",
                                           line, getFileName());
        }
        _elementStack.pop_front();
    }

    void notifyAttribute(const std::string& name, const std::string& value, std::int64_t line) override {
        if (_elementStack.empty()) {
            throw Kr::XmlEx::ExSyntaxError(sourcePath, lineAttribute, "Can't pushAttribute : No valid element", line,
                                           getFileName());
        }
        _elementStack.front()->setAttribute(name, value);
    }

    // Successive pieces of text accumulate in the element. Only the new piece is converted:
    // converting the whole data back and forth for every piece made a root element with many
    // children cost time growing with the square of their number.
    void notifyTextData(const std::string& text, std::int64_t line) override {
        if (_elementStack.empty()) {
            throw Kr::XmlEx::ExSyntaxError(sourcePath, lineTextData, "No valid element for adding text data", line,
                                           getFileName());
        }
        _elementStack.front()->appendData(text);
    }

    void notifyCharacterData(const std::string& text, std::int64_t line) override {
        if (_elementStack.empty()) {
            throw Kr::XmlEx::ExSyntaxError(sourcePath, lineCharacterData, "No valid element for adding character data",
                                           line, getFileName());
        }
        _elementStack.front()->setData(text);
    }

    // An element still open at the end is a failure. While another exception is already
    // on its way out the verdict is that exception's: raising a second one would end the
    // process.
    ~XmlDocumentValidator() noexcept(false) override {
        if (!_elementStack.empty() && std::uncaught_exceptions() == _uncaughtAtConstruction) {
            Kr::Assertions::throwAssertionFailed(sourcePath, lineStackNotEmpty, "_elementStack.empty()");
        }
    }

    const Kr::XmlDocument& getDocument() const { return _document; }
    // The innermost open element, empty when none is open.
    Kr::RCShdPtr<Kr::XmlElement> getInnermostElement() const {
        return _elementStack.empty() ? Kr::RCShdPtr<Kr::XmlElement>() : _elementStack.front();
    }

private:
    Kr::XmlDocument _document;
    std::list<Kr::RCShdPtr<Kr::XmlElement>> _elementStack;
    int _uncaughtAtConstruction;
};

// Parses the file through the validator; a framework exception says why it is not valid.
// The validator's destructor judges the elements left open, so the verdict waits for it.
void validateXmlFile(const Kr::OsFilePath& path) {
    XmlDocumentValidator validator;
    Kr::OsFileReader reader(path, false);
    Kr::XmlParser::parse(validator, reader);
    reader.close();
}

void checkXmlFile() {
    const std::vector<std::string> args = Kr::InContextAliasMgrBase::getUnboundArgs();
    if (args.size() != 3) {
        return;
    }
    const std::string fileName(args[2]);
    const Kr::OsFilePath path(fileName);
    std::cout << "\nParsing ";
    path.dump(std::cout);
    std::cout << " ..." << std::endl;
    try {
        validateXmlFile(path);
        std::cout << "XML file valid." << std::endl;
    } catch (const Kr::ExBase& failure) {
        std::cout << "Unable to parse XML file : " << failure.getText() << std::endl;
    }
}

} // namespace

template <> void Kr::InInit<KrInit::xmlKrcheck>::init() {
    checkXmlFile();
}

template <> Kr::InInit<KrInit::xmlKrcheck>::InInit() : InPackageInit("xmlKrcheck") {
    registerPackage();
    addDependency(InInit<KrInit::datamgt>::getType());
    addDependency(InInit<KrInit::resmgt>::getType());
    addDependency(InInit<KrInit::base>::getType());
}

template class Kr::InInit<KrInit::xmlKrcheck>;
static Kr::InInit<KrInit::xmlKrcheck> packageInit;
