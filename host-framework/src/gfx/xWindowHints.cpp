// SPDX-License-Identifier: Apache-2.0
#include "xWindowHints.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <string>
#include <vector>

namespace Kr::gfx {

namespace {

// The Motif window-manager hints, still the common way to ask for decorations.
enum : unsigned long {
    mwmHintsFunctions = 1,
    mwmHintsDecorations = 2,
    mwmFuncResize = 2,
    mwmFuncMove = 4,
    mwmFuncMinimize = 8,
    mwmFuncMaximize = 16,
    mwmFuncClose = 32,
    mwmDecorBorder = 2,
    mwmDecorResizeHandle = 4,
    mwmDecorTitle = 8,
    mwmDecorMenu = 16,
    mwmDecorMinimize = 32,
    mwmDecorMaximize = 64,
};

void setMotifHints(Display* display, Window window, const WsWindowStyle& style) {
    unsigned long functions = mwmFuncMove | mwmFuncMinimize;
    unsigned long decorations = 0;
    if (style.getBorderStyle() != WsWindowStyle::BorderNone) {
        decorations |= mwmDecorBorder;
    }
    if (style.getBorderStyle() == WsWindowStyle::BorderResizable) {
        functions |= mwmFuncResize | mwmFuncMaximize;
        decorations |= mwmDecorResizeHandle;
    }
    if (style.getTitleBarStyle() == WsWindowStyle::TitleBarNormal) {
        decorations |= mwmDecorTitle | mwmDecorMenu | mwmDecorMinimize;
        if (style.getBorderStyle() == WsWindowStyle::BorderResizable) {
            decorations |= mwmDecorMaximize;
        }
    }
    if (style.getCloseButtonStyle() == WsWindowStyle::CloseButtonShown) {
        functions |= mwmFuncClose;
    }
    // flags, functions, decorations, input mode, status; 32-bit format properties are longs.
    const long hints[5] = {static_cast<long>(mwmHintsFunctions | mwmHintsDecorations), static_cast<long>(functions),
                           static_cast<long>(decorations), 0, 0};
    const Atom motifHints = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    XChangeProperty(display, window, motifHints, motifHints, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(hints), 5);
}

void setWindowState(Display* display, Window window, const WsWindowStyle& style) {
    std::vector<Atom> states;
    if (style.getTaskBarStyle() == WsWindowStyle::TaskBarHidden) {
        states.push_back(XInternAtom(display, "_NET_WM_STATE_SKIP_TASKBAR", False));
    }
    if (style.getStackingStyle() == WsWindowStyle::StackingAbove) {
        states.push_back(XInternAtom(display, "_NET_WM_STATE_ABOVE", False));
    } else if (style.getStackingStyle() == WsWindowStyle::StackingBelow) {
        states.push_back(XInternAtom(display, "_NET_WM_STATE_BELOW", False));
    }
    if (!states.empty()) {
        XChangeProperty(display, window, XInternAtom(display, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(states.data()), static_cast<int>(states.size()));
    }
}

} // namespace

void setWindowHints(Display* display, Window window, const LiString& name, const LiString& title,
                    const WsWindowStyle& style) {
    XStoreName(display, window, title.c_str());
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                    XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.c_str()), static_cast<int>(title.size()));

    std::string resourceName = name.str();
    XClassHint classHint{resourceName.data(), resourceName.data()};
    XSetClassHint(display, window, &classHint);

    if (!style.getRect().isEmpty()) {
        XSizeHints sizeHints{};
        sizeHints.flags = USPosition | USSize;
        sizeHints.x = style.getRect().x;
        sizeHints.y = style.getRect().y;
        sizeHints.width = style.getRect().width;
        sizeHints.height = style.getRect().height;
        XSetWMNormalHints(display, window, &sizeHints);
    }

    setMotifHints(display, window, style);
    setWindowState(display, window, style);
}

} // namespace Kr::gfx
