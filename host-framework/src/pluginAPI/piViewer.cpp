// SPDX-License-Identifier: Apache-2.0
#include <Kr/PiViewer.h>

#include <Kr/PiNodeController.h>
#include <Kr/UiHotkeyRegistry.h>

#include <algorithm>

namespace Kr {

UiEventHandler::~UiEventHandler() = default;

UiWidget::~UiWidget() = default;

PiEventHandler::~PiEventHandler() = default;

bool PiEventHandler::handleEvent(const PiEventContext&) const {
    return false;
}

bool PiEventHandler::handleEvent(const PiEventContext& context) {
    return static_cast<const PiEventHandler&>(*this).handleEvent(context);
}

bool PiEventHandler::isModal() const {
    return false;
}

bool PiEventHandler::isManipulating() const {
    return false;
}

void PiEventHandler::selectionUpdate() {}

void PiEventHandler::scenePostDraw(const PiEventContext&) const {}

void PiEventHandler::scenePostDraw(const PiEventContext& context) {
    static_cast<const PiEventHandler&>(*this).scenePostDraw(context);
}

void PiEventHandler::windowPostDraw(const PiEventContext&) const {}

void PiEventHandler::windowPostDraw(const PiEventContext& context) {
    static_cast<const PiEventHandler&>(*this).windowPostDraw(context);
}

PiViewer::PiViewer() = default;

PiViewer::~PiViewer() {
    clear();
}

void PiViewer::addNode(const RCShdPtr<PiNode>& node) {
    if (hasEventHandler(node) || std::any_of(_shown.begin(), _shown.end(), [&](auto& s) { return s.node == node; }))
        return;
    RCStrongPtr<PiEventHandler> handler;
    if (auto* events = dynamic_cast<PiEventHandlingInterface*>(node->getController()))
        handler = events->createEventHandler(*this, node, RCShdPtr<PiPath>(new PiPath()));
    _shown.push_back({node, handler});
}

void PiViewer::removeNode(const RCShdPtr<PiNode>& node) {
    auto it = std::find_if(_shown.begin(), _shown.end(), [&](const Shown& s) { return s.node == node; });
    if (it == _shown.end())
        return;
    // The handler goes before the entry, so it can still withdraw from this viewer.
    it->handler.reset();
    _shown.erase(it);
}

void PiViewer::clear() {
    while (!_shown.empty())
        removeNode(_shown.back().node);
}

std::vector<RCShdPtr<PiNode>> PiViewer::getNodes() const {
    std::vector<RCShdPtr<PiNode>> nodes;
    for (const auto& shown : _shown)
        nodes.push_back(shown.node);
    return nodes;
}

bool PiViewer::hasEventHandler(const RCShdPtr<PiNode>& node) const {
    return std::any_of(_shown.begin(), _shown.end(), [&](const Shown& s) { return s.node == node && s.handler; });
}

bool PiViewer::deliver(EvEvent& event) {
    const auto shown = _shown;
    for (const auto& entry : shown) {
        if (!entry.handler)
            continue;
        PiEventContext context(event, *this);
        if (entry.handler->handleEvent(context) || event.isProcessed())
            return true;
    }
    return false;
}

UiViewer::UiViewer(std::string name) : UiWidget(std::move(name)), _dispatcher(*this) {}

// The handlers withdraw from this widget's hotkeys while it still exists.
UiViewer::~UiViewer() {
    clear();
}

bool UiViewer::pressKey(const std::string& key) {
    return UiHotkeyRegistry::getInstance().pressKey(*this, key);
}

} // namespace Kr
