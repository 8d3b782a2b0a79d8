// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/KrExport.h>

namespace Kr {

// Base of the events that widgets, viewers and the browser deliver to callbacks and
// event handlers. A handler that consumes an event marks it processed.
class KR_EXPORT EvEvent {
public:
    explicit EvEvent(int code = 0) : _code(code) {}
    virtual ~EvEvent();

    int getCode() const { return _code; }
    bool isProcessed() const { return _processed; }
    void setProcessed(bool processed) { _processed = processed; }

private:
    int _code;
    bool _processed = false;
};

// Widget event codes.
namespace EvWidgetCode {
inline constexpr int rebuild = 5;
inline constexpr int activate = 23;
} // namespace EvWidgetCode

// A hotkey pressed in a viewer; the entry is the hotkey registry's number for it.
class KR_EXPORT EvHotkeyEvent : public EvEvent {
public:
    explicit EvHotkeyEvent(unsigned entry) : _entry(entry) {}
    ~EvHotkeyEvent() override;

    unsigned getEntry() const { return _entry; }

private:
    unsigned _entry;
};

} // namespace Kr
