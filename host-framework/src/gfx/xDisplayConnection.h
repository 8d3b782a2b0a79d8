// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <X11/Xlib.h>

#include <memory>

namespace Kr::gfx {

// The process's connection to the X server named by DISPLAY. Windows, contexts and queries
// share one connection and keep it open while they live, so it closes only after the last of
// them is gone, whatever the order of destruction at unload.
class XDisplayConnection {
public:
    // The shared connection, opened on first use; null when no X server can be reached. A
    // failed attempt is not remembered, so a display that appears later is still found.
    static std::shared_ptr<XDisplayConnection> get();

    explicit XDisplayConnection(Display* display) : _display(display) {}
    ~XDisplayConnection();
    XDisplayConnection(const XDisplayConnection&) = delete;
    XDisplayConnection& operator=(const XDisplayConnection&) = delete;

    Display* display() const { return _display; }
    int defaultScreen() const { return DefaultScreen(_display); }

private:
    Display* _display;
};

// Xlib's default error handler ends the process. While a trap lives, protocol errors are
// recorded instead, and hasFailed() tells whether any request made under it was refused.
class XErrorTrap {
public:
    explicit XErrorTrap(Display* display);
    ~XErrorTrap();
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    bool hasFailed();

private:
    Display* _display;
    XErrorHandler _previousHandler;
    bool _previousFailed;
};

} // namespace Kr::gfx
