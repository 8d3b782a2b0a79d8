// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "Kr/LiString.h"
#include "Kr/WsWindowStyle.h"

#include <X11/Xlib.h>

namespace Kr::gfx {

// Tells the window manager the window's name, title and style; call before mapping the window.
void setWindowHints(Display* display, Window window, const LiString& name, const LiString& title,
                    const WsWindowStyle& style);

} // namespace Kr::gfx
