// SPDX-License-Identifier: Apache-2.0
#pragma once

// The Switcher's tool description, for the package's initialisation hook, which hands it
// to the tool registry. Not exported.

#include <Kr/OPtr.h>
#include <Kr/PiToolProtocol.h>

namespace Kr {

OPtrRet<PiToolProtocol> createSwitcherToolProtocol();

} // namespace Kr
