// SPDX-License-Identifier: Apache-2.0
#include "Kr/SmContext.h"

#include "Kr/Ex.h"
#include "xDisplayConnection.h"
#include "xNativeDrawable.h"

#include <sstream>

namespace Kr {

SmContext::~SmContext() = default;

namespace {

const gfx::XNativeDrawable* nativeOf(const RCShdPtr<WsDrawable>& drawable) {
    return dynamic_cast<const gfx::XNativeDrawable*>(drawable.get());
}

class GlxContext : public SmContext {
public:
    GlxContext(std::shared_ptr<gfx::XDisplayConnection> connection, GLXContext context)
        : _connection(std::move(connection)), _context(context) {}

    ~GlxContext() override {
        Display* display = _connection->display();
        if (isCurrent()) {
            glXMakeContextCurrent(display, None, None, nullptr);
        }
        glXDestroyContext(display, _context);
    }

    void makeCurrent(const RCShdPtr<WsDrawable>& drawable) override {
        const gfx::XNativeDrawable* native = nativeOf(drawable);
        if (!native) {
            throw ExBase(drawable.isNull() ? "cannot make the OpenGL context current: the drawable is null"
                                           : "cannot make the OpenGL context current: the drawable was not made "
                                             "by the X11 window manager");
        }
        Display* display = _connection->display();
        if (native->getConnection() != _connection) {
            throw ExBase("cannot make the OpenGL context current: the drawable belongs to another display connection");
        }
        const GLXDrawable target = drawable->getNativeHandle();
        gfx::XErrorTrap trap(display);
        const bool made = glXMakeContextCurrent(display, target, target, _context);
        if (trap.hasFailed() || !made) {
            std::ostringstream text;
            text << "cannot make the OpenGL context current on drawable 0x" << std::hex << target
                 << ": the X server refused (the drawable's visual does not match the context's configuration, "
                    "or the drawable is gone)";
            throw ExBase(text.str());
        }
    }

    bool isCurrent() const override { return glXGetCurrentContext() == _context; }

private:
    std::shared_ptr<gfx::XDisplayConnection> _connection;
    GLXContext _context;
};

} // namespace

OPtrRet<SmContext> SmContext::create(const RCShdPtr<WsDrawable>& drawable) {
    const gfx::XNativeDrawable* native = nativeOf(drawable);
    if (!native || !native->getFramebufferConfig()) {
        return {};
    }
    const auto& connection = native->getConnection();
    Display* display = connection->display();
    gfx::XErrorTrap trap(display);
    GLXContext context = glXCreateNewContext(display, native->getFramebufferConfig(), GLX_RGBA_TYPE, nullptr, True);
    if (trap.hasFailed() || !context) {
        if (context) {
            glXDestroyContext(display, context);
        }
        return {};
    }
    return OPtrRet<SmContext>(new GlxContext(connection, context));
}

} // namespace Kr
