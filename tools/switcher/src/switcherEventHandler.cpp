// SPDX-License-Identifier: Apache-2.0
// The Switcher's viewer event handler: each press of the hotkey "Switch" in a viewer showing
// the node rotates its sources by one.

#include "switcherEventHandler.h"

#include <Kr/EvEvent.h>
#include <Kr/PiNode.h>
#include <Kr/PiSocket.h>
#include <Kr/PiViewer.h>
#include <Kr/UiHotkeyRegistry.h>
#include <Kr/UiWidget.h>

#include <optional>
#include <string>

namespace Kr {

namespace {

const std::string hotkeyPath("/Local/Tools/Switcher");
const std::string hotkeyName("Switch");

// The registry's number for ("/Local/Tools/Switcher", "Switch"). Every handler asks for it,
// and every handler gets the same answer.
unsigned switchHotkeyEntry = 0;

// The entry of "Other Images" whose source comes in next: the first that has one. With every
// entry connected, as after loading, that is entry 0; entries without a source (added and
// never connected, or disconnected by hand) are passed over, since selecting one would leave
// the node with no image at all.
std::optional<int> nextSourceEntryOf(SwitcherController& controller) {
    RCShdPtr<PiMultivaluedInput> others =
        controller.getNode()->getInput(SwitcherTool::getOtherImagesInputName()).cast<PiMultivaluedInput>();
    for (int i = 0; i < others->getNbEntries(); ++i)
        if (others->getEntry(i)->isConnected())
            return i;
    return std::nullopt;
}

// Hotkeys reach the viewer's window-system widget, which hands them to the node handlers.
UiEventHandler* viewerWidgetHandlerOf(PiViewer& viewer) {
    return dynamic_cast<UiWidget&>(viewer).getEventHandler();
}

class SwitcherEventHandlerImp : public PiEventHandler {
public:
    SwitcherEventHandlerImp(SwitcherController& controller, PiViewer& viewer)
        : _controller(&controller), _viewer(&viewer) {
        UiHotkeyRegistry& hotkeys = UiHotkeyRegistry::getInstance();
        switchHotkeyEntry = hotkeys.getEntry(hotkeyPath, hotkeyName);
        hotkeys.addHotkeyHandler(switchHotkeyEntry, viewerWidgetHandlerOf(*_viewer));
    }

    ~SwitcherEventHandlerImp() override {
        UiHotkeyRegistry::getInstance().removeHotkeyHandler(switchHotkeyEntry, viewerWidgetHandlerOf(*_viewer));
    }

    using PiEventHandler::handleEvent;
    bool handleEvent(const PiEventContext& context) override {
        auto* hotkey = dynamic_cast<EvHotkeyEvent*>(&context.getEvent());
        if (!hotkey || hotkey->getEntry() != switchHotkeyEntry)
            return false;
        // Consumed even when there is nothing to switch to, so the key does nothing else.
        if (std::optional<int> next = nextSourceEntryOf(*_controller))
            _controller->select(*next);
        hotkey->setProcessed(true);
        return true;
    }

private:
    SwitcherController* _controller;
    PiViewer* _viewer;
};

} // namespace

RCStrongPtr<PiEventHandler> createSwitcherEventHandler(SwitcherController& controller, PiViewer& viewer) {
    return RCStrongPtr<PiEventHandler>(new SwitcherEventHandlerImp(controller, viewer));
}

} // namespace Kr
