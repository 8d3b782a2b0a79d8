// SPDX-License-Identifier: Apache-2.0
#pragma once

// The Switcher's event handler in a viewer: the hotkey "Switch" cycles to the next source.

#include "switcherTool.h"

namespace Kr {

// The event-handler factory the module registers with the Switcher. The viewer must also be
// a window-system widget (UiWidget), which is what receives hotkeys.
RCStrongPtr<PiEventHandler> createSwitcherEventHandler(SwitcherController& controller, PiViewer& viewer);

} // namespace Kr
