// SPDX-License-Identifier: Apache-2.0
#include <Kr/PiUserInterfaceServices.h>

#include <Kr/PiErrors.h>
#include <Kr/PiNodeController.h>

#include "piXmlTree.h"

#include <cstdlib>

namespace Kr {

namespace {

[[noreturn]] void refuse(const std::string& sourceName, const PiXml::Element& element, const std::string& why) {
    throwPiError("cannot build the editor described in \"" + sourceName + "\": line " + std::to_string(element.line) +
                 ": <" + element.name + "> " + why);
}

int readInt(const std::string& sourceName, const PiXml::Element& element, const std::string& attribute) {
    const std::string text = element.get(attribute);
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 0 || value > 1 << 30)
        refuse(sourceName, element, attribute + "=\"" + text + "\" is not a count");
    return static_cast<int>(value);
}

RCShdPtr<PiWidget> build(const std::string& sourceName, const PiXml::Element& element) {
    const std::string name = element.get("name");
    RCShdPtr<PiWidget> widget;
    if (element.name == "container") {
        RCShdPtr<PiContainer> container(new PiContainer(name));
        for (const auto& child : element.children)
            container->addChild(build(sourceName, *child));
        widget = container;
    } else if (element.name == "menu") {
        RCShdPtr<PiMenu> menu(new PiMenu(name));
        for (const auto& child : element.children) {
            if (child->name != "entry")
                refuse(sourceName, *child, "is not allowed in a menu (only <entry text=\"..\"/>)");
            menu->appendEntry(child->get("text"));
        }
        widget = menu;
    } else if (element.name == "textField") {
        RCShdPtr<PiTextField> field(new PiTextField(name));
        if (element.has("maxLength"))
            field->setMaxLength(readInt(sourceName, element, "maxLength"));
        field->setText(element.get("text"));
        widget = field;
    } else if (element.name == "button") {
        widget = RCShdPtr<PiWidget>(new PiButton(name));
    } else if (element.name == "label") {
        RCShdPtr<PiLabel> label(new PiLabel(name));
        label->setText(element.get("text"));
        widget = label;
    } else {
        refuse(sourceName, element, "is not a widget (container, menu, textField, button, label)");
    }
    if (element.name != "container" && element.name != "menu" && !element.children.empty())
        refuse(sourceName, element, "cannot hold other elements");
    widget->setLabel(element.get("label"));
    widget->setValueName(element.get("value"));
    return widget;
}

} // namespace

PiUserInterfaceServices& PiUserInterfaceServices::getInstance() {
    static PiUserInterfaceServices instance;
    return instance;
}

std::string PiUserInterfaceServices::getXmlDescription(const std::string& fileName) const {
    return PiSchematicInterface::readXmlFile(fileName);
}

RCShdPtr<PiWidget> PiUserInterfaceServices::buildWidgets(const std::string& description,
                                                         const std::string& sourceName) const {
    std::unique_ptr<PiXml::Element> root = PiXml::parse(description, sourceName);
    if (root->name != "editor")
        refuse(sourceName, *root, "is not an editor description (the root element must be <editor>)");
    if (root->children.size() != 1)
        refuse(sourceName, *root, "must hold exactly one widget, the editor's root widget");
    return build(sourceName, *root->children.front());
}

} // namespace Kr
