// SPDX-License-Identifier: Apache-2.0
#include "glxFramebufferConfigs.h"

namespace Kr::gfx {

std::vector<int> rgba32DepthAttributes(bool withStencil, bool doubleBuffered) {
    std::vector<int> attributes = {GLX_X_RENDERABLE,  True,
                                   GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT,
                                   GLX_RENDER_TYPE,   GLX_RGBA_BIT,
                                   GLX_RED_SIZE,      8,
                                   GLX_GREEN_SIZE,    8,
                                   GLX_BLUE_SIZE,     8,
                                   GLX_ALPHA_SIZE,    8,
                                   GLX_DEPTH_SIZE,    1};
    if (withStencil) {
        attributes.insert(attributes.end(), {GLX_STENCIL_SIZE, 8});
    }
    if (doubleBuffered) {
        attributes.insert(attributes.end(), {GLX_DOUBLEBUFFER, True});
    }
    attributes.push_back(None);
    return attributes;
}

GLXFBConfig chooseFramebufferConfig(Display* display, int screen, const std::vector<int>& attributes) {
    int errorBase = 0;
    int eventBase = 0;
    if (!glXQueryExtension(display, &errorBase, &eventBase)) {
        return nullptr;
    }
    int count = 0;
    GLXFBConfig* configs = glXChooseFBConfig(display, screen, attributes.data(), &count);
    GLXFBConfig best = configs && count > 0 ? configs[0] : nullptr;
    if (configs) {
        XFree(configs);
    }
    return best;
}

GLXFBConfig chooseWindowConfig(Display* display, int screen) {
    for (const bool withStencil : {true, false}) {
        if (GLXFBConfig config = chooseFramebufferConfig(display, screen, rgba32DepthAttributes(withStencil, true))) {
            return config;
        }
    }
    const std::vector<int> anyRgbaWindow = {GLX_DRAWABLE_TYPE, GLX_WINDOW_BIT, GLX_RENDER_TYPE, GLX_RGBA_BIT, None};
    return chooseFramebufferConfig(display, screen, anyRgbaWindow);
}

} // namespace Kr::gfx
