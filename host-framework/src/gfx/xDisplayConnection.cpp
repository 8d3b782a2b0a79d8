// SPDX-License-Identifier: Apache-2.0
#include "xDisplayConnection.h"

namespace Kr::gfx {

namespace {

std::shared_ptr<XDisplayConnection>& sharedConnection() {
    static std::shared_ptr<XDisplayConnection> connection;
    return connection;
}

bool trappedError = false;

int recordError(Display*, XErrorEvent*) {
    trappedError = true;
    return 0;
}

} // namespace

std::shared_ptr<XDisplayConnection> XDisplayConnection::get() {
    auto& connection = sharedConnection();
    if (!connection) {
        if (Display* display = XOpenDisplay(nullptr)) {
            connection = std::make_shared<XDisplayConnection>(display);
        }
    }
    return connection;
}

XDisplayConnection::~XDisplayConnection() {
    XCloseDisplay(_display);
}

XErrorTrap::XErrorTrap(Display* display) : _display(display), _previousFailed(trappedError) {
    XSync(_display, False);
    trappedError = false;
    _previousHandler = XSetErrorHandler(recordError);
}

XErrorTrap::~XErrorTrap() {
    XSync(_display, False);
    XSetErrorHandler(_previousHandler);
    trappedError = _previousFailed;
}

bool XErrorTrap::hasFailed() {
    XSync(_display, False);
    return trappedError;
}

} // namespace Kr::gfx
