// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <GL/glx.h>

#include <vector>

namespace Kr::gfx {

// glXChooseFBConfig attributes of a 32-bit RGBA framebuffer with a depth buffer, drawable in a
// window, optionally with an 8-bit stencil buffer and double buffering. Sizes are minimums.
std::vector<int> rgba32DepthAttributes(bool withStencil, bool doubleBuffered);

// The display's best configuration matching attributes on screen, or null (also when the
// display has no GLX).
GLXFBConfig chooseFramebufferConfig(Display* display, int screen, const std::vector<int>& attributes);

// The configuration new windows get: the richest of RGBA 8-8-8-8 with depth and stencil, without
// stencil, then any RGBA window configuration; null when GLX offers none.
GLXFBConfig chooseWindowConfig(Display* display, int screen);

} // namespace Kr::gfx
