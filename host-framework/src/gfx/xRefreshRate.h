// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

namespace Kr::gfx {

// The vertical refresh rate of a RandR mode in hertz, rounded to the hundredth as display
// settings show it (59.94, 60); 0 when the mode does not give its timings.
double modeRefreshRate(const XRRModeInfo& mode);

// The refresh rate of the mode shown on the primary output, or else on the first active CRTC of
// the screen; 0 when RandR is missing or does not tell.
double screenRefreshRate(Display* display, int screen);

} // namespace Kr::gfx
