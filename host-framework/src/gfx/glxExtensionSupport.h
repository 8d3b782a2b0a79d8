// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <string>
#include <string_view>

namespace Kr::gfx {

// What the current OpenGL context and its GLX connection offer.
struct GlxCapabilities {
    std::string glExtensions;  // blank-separated
    std::string glxExtensions; // blank-separated
    int glxMajor = 0;
    int glxMinor = 0;
};

// True when name is one of the OpenGL or GLX extensions, or a WGL extension whose capability GLX
// offers under another name (the table in glxExtensionSupport.cpp).
bool isExtensionSupported(std::string_view name, const GlxCapabilities& capabilities);

// True when the blank-separated list holds name as a whole word.
bool listContains(std::string_view list, std::string_view name);

} // namespace Kr::gfx
