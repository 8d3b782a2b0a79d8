// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/KrExport.h>
#include <Kr/LiString.h>
#include <Kr/RC.h>
#include <Kr/WsWindow.h>
#include <Kr/WsWindowStyle.h>

namespace Kr {

// Makes top-level windows on the display named by the DISPLAY environment variable.
class KR_EXPORT WsWinMgr {
public:
    static WsWinMgr* getInstance();

    virtual ~WsWinMgr();

    // A new window able to take an OpenGL rendering context (32-bit RGBA with depth and, where
    // the display has one, stencil buffer). name is the window's resource name (its class on
    // X11), title what the title bar shows; a null style gives the default normal window.
    // Null when there is no display or the display refuses the window.
    virtual RCShdPtr<WsWindow> createWindow(const LiString& name, const LiString& title,
                                            const RCShdPtr<WsWindowStyle>& style) = 0;
};

} // namespace Kr
