// SPDX-License-Identifier: Apache-2.0
#include "Kr/WsGLExtensions.h"

#include "glxExtensionSupport.h"
#include "xDisplayConnection.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glx.h>

namespace Kr {

namespace {

// A core-profile context has no GL_EXTENSIONS string; it lists its extensions one by one.
std::string joinIndexedExtensions() {
    const auto getStringi =
        reinterpret_cast<PFNGLGETSTRINGIPROC>(glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glGetStringi")));
    if (!getStringi) {
        return {};
    }
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    std::string list;
    for (GLint i = 0; i < count; ++i) {
        if (const GLubyte* name = getStringi(GL_EXTENSIONS, static_cast<GLuint>(i))) {
            list += (list.empty() ? "" : " ") + std::string(reinterpret_cast<const char*>(name));
        }
    }
    return list;
}

} // namespace

std::string WsGLExtensions::getExtensionsString() {
    if (!glXGetCurrentContext()) {
        return {};
    }
    if (const GLubyte* list = glGetString(GL_EXTENSIONS)) {
        return reinterpret_cast<const char*>(list);
    }
    return joinIndexedExtensions();
}

bool WsGLExtensions::isSupported(const char* name) {
    if (!name) {
        return false;
    }
    gfx::GlxCapabilities capabilities;
    capabilities.glExtensions = getExtensionsString();

    std::shared_ptr<gfx::XDisplayConnection> connection;
    Display* display = glXGetCurrentDisplay();
    int screen = 0;
    if (display) {
        glXQueryContext(display, glXGetCurrentContext(), GLX_SCREEN, &screen);
    } else if ((connection = gfx::XDisplayConnection::get())) {
        display = connection->display();
        screen = connection->defaultScreen();
    }
    int errorBase = 0;
    int eventBase = 0;
    if (display && glXQueryExtension(display, &errorBase, &eventBase)) {
        glXQueryVersion(display, &capabilities.glxMajor, &capabilities.glxMinor);
        if (const char* list = glXQueryExtensionsString(display, screen)) {
            capabilities.glxExtensions = list;
        }
    }
    return gfx::isExtensionSupported(name, capabilities);
}

} // namespace Kr
