// SPDX-License-Identifier: Apache-2.0
#include <Kr/UiHotkeyRegistry.h>

#include <Kr/InPaths.h>
#include <Kr/PiErrors.h>

#include "piXmlTree.h"

#include <algorithm>

namespace Kr {

UiHotkeyRegistry::UiHotkeyRegistry() = default;

UiHotkeyRegistry& UiHotkeyRegistry::getInstance() {
    static UiHotkeyRegistry* instance = [] {
        auto* registry = new UiHotkeyRegistry();
        const OsFilePath bindings = InPaths::getResourcesDir() / "hotkeys.xml";
        if (bindings.exists())
            registry->loadBindings(bindings.getText());
        return registry;
    }();
    return *instance;
}

unsigned UiHotkeyRegistry::getEntry(const std::string& path, const std::string& name) {
    auto [it, added] = _entries.try_emplace({path, name}, static_cast<unsigned>(_entries.size() + 1));
    return it->second;
}

void UiHotkeyRegistry::bindKey(unsigned entry, const std::string& key) {
    if (key.empty())
        _keys.erase(entry);
    else
        _keys[entry] = key;
}

std::string UiHotkeyRegistry::getKey(unsigned entry) const {
    auto it = _keys.find(entry);
    return it == _keys.end() ? std::string() : it->second;
}

void UiHotkeyRegistry::addHotkeyHandler(unsigned entry, UiEventHandler* handler) {
    if (!handler)
        throwPiError("cannot register an empty hotkey handler for entry " + std::to_string(entry));
    _handlers[entry].push_back(handler);
}

void UiHotkeyRegistry::removeHotkeyHandler(unsigned entry, UiEventHandler* handler) {
    auto& handlers = _handlers[entry];
    auto it = std::find(handlers.begin(), handlers.end(), handler);
    if (it != handlers.end())
        handlers.erase(it);
}

int UiHotkeyRegistry::getNbHandlers(unsigned entry) const {
    auto it = _handlers.find(entry);
    return it == _handlers.end() ? 0 : static_cast<int>(it->second.size());
}

bool UiHotkeyRegistry::pressKey(UiWidget& widget, const std::string& key) {
    UiEventHandler* target = widget.getEventHandler();
    std::vector<unsigned> entries;
    for (const auto& [entry, bound] : _keys)
        if (bound == key)
            entries.push_back(entry);
    bool used = false;
    for (unsigned entry : entries) {
        const auto& handlers = _handlers[entry];
        if (std::find(handlers.begin(), handlers.end(), target) == handlers.end())
            continue;
        EvHotkeyEvent event(entry);
        if (target->handleEvent(event) || event.isProcessed())
            used = true;
    }
    return used;
}

void UiHotkeyRegistry::loadBindings(const std::string& path) {
    auto root = PiXml::parse(PiXml::readFile(path, "cannot read hotkey bindings"), path);
    if (root->name != "hotkeys")
        throwPiError("cannot read hotkey bindings \"" + path + "\": the root element must be <hotkeys>");
    for (const auto& hotkey : root->children) {
        if (hotkey->name != "hotkey" || hotkey->get("path").empty() || hotkey->get("name").empty())
            throwPiError("cannot read hotkey bindings \"" + path + "\": line " + std::to_string(hotkey->line) +
                         ": expected <hotkey path=\"..\" name=\"..\" key=\"..\"/>");
        bindKey(getEntry(hotkey->get("path"), hotkey->get("name")), hotkey->get("key"));
    }
}

} // namespace Kr
