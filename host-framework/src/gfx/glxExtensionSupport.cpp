// SPDX-License-Identifier: Apache-2.0
#include "glxExtensionSupport.h"

namespace Kr::gfx {

namespace {

// Programs written for Windows ask for WGL extensions. Each entry names the GLX version that
// made the capability core (0.0 when none did) and the GLX extensions that offer it; any one
// of them answers the WGL name.
struct WglEquivalent {
    std::string_view wglName;
    int glxMajor;
    int glxMinor;
    std::string_view glxNames[3];
};

const WglEquivalent wglEquivalents[] = {
    {"WGL_ARB_pbuffer", 1, 3, {"GLX_SGIX_pbuffer"}},
    {"WGL_ARB_pixel_format", 1, 3, {"GLX_SGIX_fbconfig"}},
    {"WGL_ARB_make_current_read", 1, 3, {"GLX_SGI_make_current_read"}},
    {"WGL_ARB_multisample", 1, 4, {"GLX_ARB_multisample", "GLX_SGIS_multisample"}},
    {"WGL_ARB_create_context", 0, 0, {"GLX_ARB_create_context"}},
    {"WGL_ARB_create_context_profile", 0, 0, {"GLX_ARB_create_context_profile"}},
    {"WGL_ARB_framebuffer_sRGB", 0, 0, {"GLX_ARB_framebuffer_sRGB", "GLX_EXT_framebuffer_sRGB"}},
    {"WGL_ARB_pixel_format_float", 0, 0, {"GLX_ARB_fbconfig_float"}},
    {"WGL_EXT_swap_control", 0, 0, {"GLX_EXT_swap_control", "GLX_MESA_swap_control", "GLX_SGI_swap_control"}},
    {"WGL_EXT_swap_control_tear", 0, 0, {"GLX_EXT_swap_control_tear"}},
};

bool hasVersion(const GlxCapabilities& capabilities, int major, int minor) {
    if (major == 0) {
        return false;
    }
    return capabilities.glxMajor > major || (capabilities.glxMajor == major && capabilities.glxMinor >= minor);
}

} // namespace

bool listContains(std::string_view list, std::string_view name) {
    if (name.empty()) {
        return false;
    }
    for (std::string_view::size_type at = list.find(name); at != std::string_view::npos; at = list.find(name, at + 1)) {
        const auto end = at + name.size();
        const bool startsWord = at == 0 || list[at - 1] == ' ';
        const bool endsWord = end == list.size() || list[end] == ' ';
        if (startsWord && endsWord) {
            return true;
        }
    }
    return false;
}

bool isExtensionSupported(std::string_view name, const GlxCapabilities& capabilities) {
    if (listContains(capabilities.glExtensions, name) || listContains(capabilities.glxExtensions, name)) {
        return true;
    }
    for (const auto& equivalent : wglEquivalents) {
        if (equivalent.wglName != name) {
            continue;
        }
        if (hasVersion(capabilities, equivalent.glxMajor, equivalent.glxMinor)) {
            return true;
        }
        for (const auto glxName : equivalent.glxNames) {
            if (listContains(capabilities.glxExtensions, glxName)) {
                return true;
            }
        }
    }
    return false;
}

} // namespace Kr::gfx
