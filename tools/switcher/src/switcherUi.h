// SPDX-License-Identifier: Apache-2.0
#pragma once

// The Switcher's editor: the menu of the node's image sources, through which the user picks
// the one that reaches the output.

#include "switcherTool.h"

namespace Kr {

// The user-interface factory the module registers with the Switcher. The widget is the
// editor's root; it must be a container holding a menu named "selectorMenu".
RCShdPtr<RCBase<LkCounter<int>>> createSwitcherUi(SwitcherController& controller, const RCShdPtr<PiWidget>& widget);

} // namespace Kr
