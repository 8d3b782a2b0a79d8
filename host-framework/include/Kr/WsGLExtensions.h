// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <Kr/KrExport.h>

#include <string>

namespace Kr {

// Extensions of the current OpenGL context.
class KR_EXPORT WsGLExtensions {
public:
    // The OpenGL extension names, separated by blanks; empty without a current context.
    static std::string getExtensionsString();

    // True for an OpenGL extension of the current context, a GLX extension of its display,
    // and a WGL extension whose capability GLX offers under another name, so that code written
    // for Windows asks the same question everywhere:
    //   WGL_ARB_pbuffer                GLX 1.3, GLX_SGIX_pbuffer
    //   WGL_ARB_pixel_format           GLX 1.3, GLX_SGIX_fbconfig
    //   WGL_ARB_make_current_read      GLX 1.3, GLX_SGI_make_current_read
    //   WGL_ARB_multisample            GLX 1.4, GLX_ARB_multisample, GLX_SGIS_multisample
    //   WGL_ARB_create_context         GLX_ARB_create_context
    //   WGL_ARB_create_context_profile GLX_ARB_create_context_profile
    //   WGL_ARB_framebuffer_sRGB       GLX_ARB_framebuffer_sRGB, GLX_EXT_framebuffer_sRGB
    //   WGL_ARB_pixel_format_float     GLX_ARB_fbconfig_float
    //   WGL_EXT_swap_control           GLX_EXT_swap_control, GLX_MESA_swap_control, GLX_SGI_swap_control
    //   WGL_EXT_swap_control_tear      GLX_EXT_swap_control_tear
    // Without a current context the GLX answers come from the default display.
    static bool isSupported(const char* name);
};

} // namespace Kr
