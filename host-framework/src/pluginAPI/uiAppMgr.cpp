// SPDX-License-Identifier: Apache-2.0
#include <Kr/UiAppMgr.h>

#include <algorithm>

namespace Kr {

SnSelection::SnSelection() = default;

SnSelection::~SnSelection() = default;

void SnSelection::add(const RCShdPtr<PiNode>& node) {
    if (node && !contains(node))
        _nodes.push_back(node);
}

void SnSelection::remove(const RCShdPtr<PiNode>& node) {
    std::erase(_nodes, node);
}

bool SnSelection::contains(const RCShdPtr<PiNode>& node) const {
    return std::find(_nodes.begin(), _nodes.end(), node) != _nodes.end();
}

UiTopLevel::UiTopLevel(std::string title) : _title(std::move(title)), _root(new PiContainer("root")) {}

UiTopLevel::~UiTopLevel() = default;

UiAppMgr::UiAppMgr() : _selection(new SnSelection()) {}

UiAppMgr& UiAppMgr::getInstance() {
    static UiAppMgr instance;
    return instance;
}

std::vector<std::string> UiAppMgr::getShownFloatingWindows() const {
    std::vector<std::string> names;
    for (const auto* floating : _floating)
        if (floating->isShown())
            names.push_back(floating->getName());
    return names;
}

UiFloatingHandler* UiAppMgr::findFloatingWindow(const std::string& name) const {
    for (auto it = _floating.rbegin(); it != _floating.rend(); ++it)
        if ((*it)->getName() == name)
            return const_cast<UiFloatingHandler*>(*it);
    return nullptr;
}

UiFloatingHandler::UiFloatingHandler(const RCShdPtr<PiContainer>& rootContainer, std::string name)
    : _rootContainer(rootContainer), _name(std::move(name)) {
    UiAppMgr::getInstance()._floating.push_back(this);
}

UiFloatingHandler::~UiFloatingHandler() {
    std::erase(UiAppMgr::getInstance()._floating, this);
}

void UiFloatingHandler::changeDisplay() {
    _shown = !_shown;
}

void UiFloatingHandler::show() {
    _shown = true;
}

void UiFloatingHandler::hide() {
    _shown = false;
}

} // namespace Kr
