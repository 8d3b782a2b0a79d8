// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/EvEvent.h>
#include <Kr/KrExport.h>

#include <string>

namespace Kr {

// Receives the events delivered to one widget (hotkeys among them).
class KR_EXPORT UiEventHandler {
public:
    virtual ~UiEventHandler();
    // Returns whether the event was handled.
    virtual bool handleEvent(EvEvent& event) = 0;
};

// A window-system widget of the application (viewers among them).
class KR_EXPORT UiWidget {
public:
    explicit UiWidget(std::string name) : _name(std::move(name)) {}
    UiWidget(const UiWidget&) = delete;
    UiWidget& operator=(const UiWidget&) = delete;
    virtual ~UiWidget();

    const std::string& getName() const { return _name; }
    // The widget's event handler, registered with the hotkey registry by whoever wants the
    // widget to receive hotkeys. Lives as long as the widget.
    virtual UiEventHandler* getEventHandler() = 0;

private:
    std::string _name;
};

} // namespace Kr
