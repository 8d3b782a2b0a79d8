#include <Kr/EvEvent.h>

namespace Kr {

EvEvent::~EvEvent() = default;

EvHotkeyEvent::~EvHotkeyEvent() = default;

} // namespace Kr
