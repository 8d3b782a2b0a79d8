// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/KrExport.h>
#include <Kr/UiWidget.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace Kr {

// Hotkey entries by (group path, name), the keys bound to them (the host's configuration,
// read from "hotkeys.xml" in the resources directory and changeable with bindKey), and the
// widget event handlers that want each entry. Pressing a key in a widget delivers an
// EvHotkeyEvent for each entry bound to that key to the widget's handler, when that handler
// is registered for the entry.
class KR_EXPORT UiHotkeyRegistry {
public:
    static UiHotkeyRegistry& getInstance();

    // The entry's number; an entry seen for the first time gets the next free number.
    unsigned getEntry(const std::string& path, const std::string& name);
    // Binds a key to an entry (replacing the entry's key); an empty key unbinds.
    void bindKey(unsigned entry, const std::string& key);
    std::string getKey(unsigned entry) const;
    // A handler may be registered several times for one entry; each removal takes one back.
    void addHotkeyHandler(unsigned entry, UiEventHandler* handler);
    void removeHotkeyHandler(unsigned entry, UiEventHandler* handler);
    int getNbHandlers(unsigned entry) const;
    // Returns whether a handler consumed the key.
    bool pressKey(UiWidget& widget, const std::string& key);
    // Reads bindings: <hotkeys><hotkey path=".." name=".." key=".."/></hotkeys>.
    void loadBindings(const std::string& path);

private:
    UiHotkeyRegistry();

    std::map<std::pair<std::string, std::string>, unsigned> _entries;
    std::map<unsigned, std::string> _keys;
    std::map<unsigned, std::vector<UiEventHandler*>> _handlers;
};

} // namespace Kr
