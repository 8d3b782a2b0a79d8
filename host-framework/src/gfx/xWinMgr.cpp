// SPDX-License-Identifier: Apache-2.0
#include "Kr/WsWinMgr.h"

#include "glxFramebufferConfigs.h"
#include "xDisplayConnection.h"
#include "xNativeDrawable.h"
#include "xWindowHints.h"

#include <algorithm>

namespace Kr {

WsDrawable::~WsDrawable() = default;
WsWindow::~WsWindow() = default;
WsWinMgr::~WsWinMgr() = default;

RCShdPtr<WsWindowStyle> WsWindowStyleUtils::getNormalWindowStyle(const GeRectangle<int>& rect, int screen,
                                                                 WsWindowStyle::BorderStyle border,
                                                                 WsWindowStyle::TitleBarStyle titleBar,
                                                                 WsWindowStyle::TaskBarStyle taskBar,
                                                                 WsWindowStyle::StackingStyle stacking,
                                                                 WsWindowStyle::CloseButtonStyle closeButton) {
    return RCShdPtr<WsWindowStyle>(new WsWindowStyle(rect, screen, border, titleBar, taskBar, stacking, closeButton));
}

namespace {

class XWindow : public WsWindow, public gfx::XNativeDrawable {
public:
    XWindow(std::shared_ptr<gfx::XDisplayConnection> connection, Window window, Colormap colormap, GLXFBConfig config,
            GeSize<int> size, const LiString& name, const LiString& title)
        : _connection(std::move(connection)), _window(window), _colormap(colormap), _config(config), _size(size),
          _name(name), _title(title) {}

    ~XWindow() override {
        Display* display = _connection->display();
        XDestroyWindow(display, _window);
        XFreeColormap(display, _colormap);
        XSync(display, False);
    }

    unsigned long getNativeHandle() const override { return _window; }
    GeSize<int> getSize() const override { return _size; }
    const LiString& getName() const override { return _name; }
    const LiString& getTitle() const override { return _title; }

    const std::shared_ptr<gfx::XDisplayConnection>& getConnection() const override { return _connection; }
    GLXFBConfig getFramebufferConfig() const override { return _config; }

private:
    std::shared_ptr<gfx::XDisplayConnection> _connection;
    Window _window;
    Colormap _colormap;
    GLXFBConfig _config;
    GeSize<int> _size;
    LiString _name;
    LiString _title;
};

class XWinMgr : public WsWinMgr {
public:
    RCShdPtr<WsWindow> createWindow(const LiString& name, const LiString& title,
                                    const RCShdPtr<WsWindowStyle>& style) override {
        const auto connection = gfx::XDisplayConnection::get();
        if (!connection) {
            return {};
        }
        Display* display = connection->display();
        const WsWindowStyle normal({}, connection->defaultScreen(), WsWindowStyle::BorderResizable,
                                   WsWindowStyle::TitleBarNormal, WsWindowStyle::TaskBarShown,
                                   WsWindowStyle::StackingNormal, WsWindowStyle::CloseButtonShown);
        const WsWindowStyle& chosen = style.isNull() ? normal : *style;
        const int screen = chosen.getScreen();
        if (screen < 0 || screen >= ScreenCount(display)) {
            return {};
        }

        // Windows take the visual of a GLX configuration so that a context can draw into them;
        // without GLX they still open, with the screen's default visual.
        GLXFBConfig config = gfx::chooseWindowConfig(display, screen);
        XVisualInfo* glxVisual = config ? glXGetVisualFromFBConfig(display, config) : nullptr;
        if (!glxVisual) {
            config = nullptr;
        }
        Visual* visual = glxVisual ? glxVisual->visual : DefaultVisual(display, screen);
        const int depth = glxVisual ? glxVisual->depth : DefaultDepth(display, screen);
        if (glxVisual) {
            XFree(glxVisual);
        }

        const GeRectangle<int>& rect = chosen.getRect();
        const GeSize<int> size{std::max(rect.width, 1), std::max(rect.height, 1)};

        gfx::XErrorTrap trap(display);
        const Window root = RootWindow(display, screen);
        XSetWindowAttributes attributes{};
        attributes.colormap = XCreateColormap(display, root, visual, AllocNone);
        attributes.border_pixel = 0;
        const Window window = XCreateWindow(display, root, rect.x, rect.y, size.width, size.height, 0, depth,
                                            InputOutput, visual, CWColormap | CWBorderPixel, &attributes);
        gfx::setWindowHints(display, window, name, title, chosen);
        if (trap.hasFailed()) {
            if (window) {
                XDestroyWindow(display, window);
            }
            XFreeColormap(display, attributes.colormap);
            return {};
        }
        return RCShdPtr<WsWindow>(new XWindow(connection, window, attributes.colormap, config, size, name, title));
    }
};

} // namespace

WsWinMgr* WsWinMgr::getInstance() {
    static XWinMgr instance;
    return &instance;
}

} // namespace Kr
