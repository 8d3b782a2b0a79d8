// SPDX-License-Identifier: Apache-2.0
#include <Kr/EvEvent.h>

namespace Kr {

EvEvent::~EvEvent() = default;

EvHotkeyEvent::~EvHotkeyEvent() = default;

} // namespace Kr
