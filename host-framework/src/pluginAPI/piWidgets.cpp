// SPDX-License-Identifier: Apache-2.0
#include <Kr/PiWidgets.h>

#include <Kr/PiErrors.h>

namespace Kr {

PiWidget::PiWidget(std::string name) : _name(std::move(name)) {}

PiWidget::~PiWidget() = default;

void PiWidget::addCallback(int eventCode, CbHandler<EvEvent>& handler) {
    _callbacks[eventCode].add(handler);
}

void PiWidget::removeCallback(int eventCode, CbHandler<EvEvent>& handler) {
    _callbacks[eventCode].remove(handler);
}

int PiWidget::getNbCallbacks(int eventCode) const {
    auto it = _callbacks.find(eventCode);
    return it == _callbacks.end() ? 0 : static_cast<int>(it->second.size());
}

void PiWidget::raiseEvent(int eventCode) {
    RCShdPtr<PiWidget> keepAlive(this);
    EvEvent event(eventCode);
    auto it = _callbacks.find(eventCode);
    if (it != _callbacks.end())
        it->second.invoke(event);
}

PiContainer::PiContainer(std::string name) : PiWidget(std::move(name)) {}

PiContainer::~PiContainer() = default;

void PiContainer::addChild(const RCShdPtr<PiWidget>& child) {
    if (!child)
        throwPiError("cannot add an empty widget to container \"" + getName() + "\"");
    _children.push_back(child);
}

RCShdPtr<PiWidget> PiContainer::getChild(const std::string& name) const {
    for (const auto& child : _children) {
        if (child->getName() == name)
            return child;
        if (auto* container = dynamic_cast<const PiContainer*>(child.get()))
            if (auto found = container->getChild(name))
                return found;
    }
    return {};
}

PiMenu::PiMenu(std::string name) : PiWidget(std::move(name)) {}

PiMenu::~PiMenu() = default;

void PiMenu::removeAllEntries() {
    _entries.clear();
    _current = -1;
}

void PiMenu::appendEntry(const std::string& text) {
    _entries.push_back(text);
}

void PiMenu::setCurrentIndex(int index, int) {
    _current = index >= 0 && index < getNbEntries() ? index : -1;
}

void PiMenu::choose(int index) {
    if (index < 0 || index >= getNbEntries())
        throwPiError("cannot choose entry " + std::to_string(index) + " of menu \"" + getName() + "\": it has " +
                     std::to_string(getNbEntries()) + " entries");
    _current = index;
    raiseEvent(EvWidgetCode::activate);
}

PiTextField::PiTextField(std::string name) : PiWidget(std::move(name)) {}

PiTextField::~PiTextField() = default;

void PiTextField::setMaxLength(int maxLength) {
    _maxLength = maxLength > 0 ? maxLength : 0;
    setText(_text);
}

void PiTextField::setText(const std::string& text) {
    _text = _maxLength > 0 && static_cast<int>(text.size()) > _maxLength ? text.substr(0, _maxLength) : text;
}

void PiTextField::enter(const std::string& text) {
    setText(text);
    raiseEvent(EvWidgetCode::activate);
}

PiButton::PiButton(std::string name) : PiWidget(std::move(name)) {}

PiButton::~PiButton() = default;

void PiButton::press() {
    raiseEvent(EvWidgetCode::activate);
}

PiLabel::PiLabel(std::string name) : PiWidget(std::move(name)) {}

PiLabel::~PiLabel() = default;

} // namespace Kr
