// SPDX-License-Identifier: Apache-2.0
// GoogleTest first: Xlib's macros (None, Bool, Status) would break its templates.
#include <gtest/gtest.h>

#include "gfxXvfbServer.h"

#include <Kr/Ex.h>
#include <Kr/SmContext.h>
#include <Kr/WsGLExtensions.h>
#include <Kr/WsPixelFormat.h>
#include <Kr/WsScreen.h>
#include <Kr/WsWinMgr.h>

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <sstream>
#include <vector>

namespace {

using Kr::WsWindowStyle;

// Every test runs against the same private 800x600 server at depth 24, and inspects what the
// framework did through a connection of its own.
class GfxWindowing : public ::testing::Test {
protected:
    void SetUp() override {
        XvfbServer::shared();
        _observer = XOpenDisplay(nullptr);
        ASSERT_NE(_observer, nullptr);
    }
    void TearDown() override { XCloseDisplay(_observer); }

    static Kr::RCShdPtr<Kr::WsWindow> createWindow(const Kr::RCShdPtr<WsWindowStyle>& style) {
        return Kr::WsWinMgr::getInstance()->createWindow("krTestWindow", "Test Title", style);
    }

    static Kr::RCShdPtr<WsWindowStyle> style(WsWindowStyle::TaskBarStyle taskBar, WsWindowStyle::StackingStyle stacking,
                                             WsWindowStyle::CloseButtonStyle closeButton) {
        return Kr::WsWindowStyleUtils::getNormalWindowStyle(
            Kr::GeRectangle<int>(10, 20, 300, 200), 0, WsWindowStyle::BorderResizable, WsWindowStyle::TitleBarNormal,
            taskBar, stacking, closeButton);
    }

    std::vector<long> longProperty(Window window, const char* name) {
        Atom type;
        int format;
        unsigned long count;
        unsigned long remaining;
        unsigned char* data = nullptr;
        std::vector<long> values;
        if (XGetWindowProperty(_observer, window, XInternAtom(_observer, name, False), 0, 64, False, AnyPropertyType,
                               &type, &format, &count, &remaining, &data) == Success &&
            data) {
            const long* longs = reinterpret_cast<const long*>(data);
            values.assign(longs, longs + count);
            XFree(data);
        }
        return values;
    }

    bool windowExists(Window window) {
        const auto previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        XWindowAttributes attributes;
        const Status found = XGetWindowAttributes(_observer, window, &attributes);
        XSetErrorHandler(previous);
        return found != 0;
    }

    Display* _observer = nullptr;
};

TEST_F(GfxWindowing, ScreenReportsTheServersMode) {
    const Kr::WsScreen& screen = Kr::WsScreen::getInstance();
    EXPECT_EQ(screen.getResolution(), (Kr::GeSize<int>{800, 600}));
    EXPECT_EQ(screen.getBitDepth(), 24);
    EXPECT_EQ(screen.getBitsPerPixel(), 32);
    // Xvfb's single RandR mode carries no timings, and its configuration no rate.
    EXPECT_EQ(screen.getRefreshRate(), 0.0);
}

TEST_F(GfxWindowing, WindowCarriesItsGeometryNamesAndStyle) {
    const auto window =
        createWindow(style(WsWindowStyle::TaskBarShown, WsWindowStyle::StackingNormal, WsWindowStyle::CloseButtonNone));
    ASSERT_FALSE(window.isNull());
    const Window xid = window->getNativeHandle();
    EXPECT_EQ(window->getSize(), (Kr::GeSize<int>{300, 200}));

    XWindowAttributes attributes;
    ASSERT_NE(XGetWindowAttributes(_observer, xid, &attributes), 0);
    EXPECT_EQ(attributes.width, 300);
    EXPECT_EQ(attributes.height, 200);
    EXPECT_EQ(attributes.map_state, IsUnmapped);

    char* title = nullptr;
    ASSERT_NE(XFetchName(_observer, xid, &title), 0);
    EXPECT_STREQ(title, "Test Title");
    XFree(title);
    XClassHint classHint;
    ASSERT_NE(XGetClassHint(_observer, xid, &classHint), 0);
    EXPECT_STREQ(classHint.res_name, "krTestWindow");
    XFree(classHint.res_name);
    XFree(classHint.res_class);

    // Motif hints: flags, functions, decorations. Resizable with a title bar, no close function.
    const auto motif = longProperty(xid, "_MOTIF_WM_HINTS");
    ASSERT_EQ(motif.size(), 5u);
    EXPECT_EQ(motif[1], 2 | 4 | 8 | 16);
    EXPECT_EQ(motif[2], 2 | 4 | 8 | 16 | 32 | 64);
    EXPECT_TRUE(longProperty(xid, "_NET_WM_STATE").empty());
}

TEST_F(GfxWindowing, TaskBarAndStackingStylesBecomeWindowStates) {
    const auto window = createWindow(
        style(WsWindowStyle::TaskBarHidden, WsWindowStyle::StackingAbove, WsWindowStyle::CloseButtonShown));
    ASSERT_FALSE(window.isNull());
    const auto states = longProperty(window->getNativeHandle(), "_NET_WM_STATE");
    EXPECT_EQ(states, (std::vector<long>{static_cast<long>(XInternAtom(_observer, "_NET_WM_STATE_SKIP_TASKBAR", False)),
                                         static_cast<long>(XInternAtom(_observer, "_NET_WM_STATE_ABOVE", False))}));
    EXPECT_EQ(longProperty(window->getNativeHandle(), "_MOTIF_WM_HINTS").at(1) & 32, 32);
}

TEST_F(GfxWindowing, EmptyRectangleAndNullStyleStillGiveAWindow) {
    const auto emptyRect = createWindow(Kr::WsWindowStyleUtils::getNormalWindowStyle(
        Kr::GeRectangle<int>(0, 0, 0, 0), 0, WsWindowStyle::BorderResizable, WsWindowStyle::TitleBarNormal,
        WsWindowStyle::TaskBarShown, WsWindowStyle::StackingNormal, WsWindowStyle::CloseButtonNone));
    ASSERT_FALSE(emptyRect.isNull());
    EXPECT_EQ(emptyRect->getSize(), (Kr::GeSize<int>{1, 1}));
    EXPECT_FALSE(createWindow({}).isNull());
}

TEST_F(GfxWindowing, WindowOnAScreenTheDisplayLacksIsNull) {
    const auto window = createWindow(Kr::WsWindowStyleUtils::getNormalWindowStyle(
        Kr::GeRectangle<int>(0, 0, 10, 10), 3, WsWindowStyle::BorderNone, WsWindowStyle::TitleBarNone,
        WsWindowStyle::TaskBarShown, WsWindowStyle::StackingNormal, WsWindowStyle::CloseButtonNone));
    EXPECT_TRUE(window.isNull());
}

TEST_F(GfxWindowing, ReleasingTheLastReferenceDestroysTheWindow) {
    auto window = createWindow({});
    ASSERT_FALSE(window.isNull());
    const Window xid = window->getNativeHandle();
    auto second = window;
    window.reset();
    EXPECT_TRUE(windowExists(xid));
    second.reset();
    EXPECT_FALSE(windowExists(xid));
}

TEST_F(GfxWindowing, ContextAnswersOpenGLQueriesOnceCurrent) {
    const auto window = createWindow({});
    ASSERT_FALSE(window.isNull());
    Kr::OPtr<Kr::SmContext> context = Kr::SmContext::create(window);
    ASSERT_FALSE(context.isNull());
    EXPECT_FALSE(context->isCurrent());
    EXPECT_EQ(Kr::WsGLExtensions::getExtensionsString(), "");

    context->makeCurrent(window);
    EXPECT_TRUE(context->isCurrent());
    ASSERT_NE(glGetString(GL_VENDOR), nullptr);
    EXPECT_NE(std::string(reinterpret_cast<const char*>(glGetString(GL_VERSION))), "");

    context.reset();
    EXPECT_EQ(glXGetCurrentContext(), nullptr);
}

TEST_F(GfxWindowing, ContextRefusesNullDrawables) {
    EXPECT_TRUE(Kr::SmContext::create({}).isNull());

    const auto window = createWindow({});
    Kr::OPtr<Kr::SmContext> context = Kr::SmContext::create(window);
    ASSERT_FALSE(context.isNull());
    try {
        context->makeCurrent({});
        FAIL() << "makeCurrent on a null drawable returned";
    } catch (const Kr::ExBase& ex) {
        EXPECT_NE(ex.getText().find("the drawable is null"), std::string::npos) << ex.getText();
    }
}

TEST_F(GfxWindowing, ExtensionQueriesMatchTheContextAndGlx) {
    const auto window = createWindow({});
    Kr::OPtr<Kr::SmContext> context = Kr::SmContext::create(window);
    ASSERT_FALSE(context.isNull());
    context->makeCurrent(window);

    const std::string list = Kr::WsGLExtensions::getExtensionsString();
    std::istringstream names(list);
    std::string first;
    ASSERT_TRUE(names >> first);
    EXPECT_TRUE(Kr::WsGLExtensions::isSupported(first.c_str()));
    // A name is matched whole, never as the beginning of another.
    EXPECT_FALSE(Kr::WsGLExtensions::isSupported(first.substr(0, first.size() - 1).c_str()));
    EXPECT_FALSE(Kr::WsGLExtensions::isSupported("GL_KR_no_such_extension"));
    EXPECT_FALSE(Kr::WsGLExtensions::isSupported(nullptr));

    // Mesa's GLX is 1.4, which has pbuffers: the WGL name answers through it.
    int major = 0;
    int minor = 0;
    ASSERT_TRUE(glXQueryVersion(_observer, &major, &minor));
    ASSERT_GE(major * 10 + minor, 13);
    EXPECT_TRUE(Kr::WsGLExtensions::isSupported("WGL_ARB_pbuffer"));
    EXPECT_TRUE(Kr::WsGLExtensions::isSupported("GLX_ARB_create_context"));
}

TEST_F(GfxWindowing, PixelFormatsFollowTheFramebufferConfigurations) {
    const Kr::WsPixelFormatRegistry& registry = Kr::WsPixelFormatRegistry::getInstance();
    ASSERT_FALSE(registry.get(Kr::WsPixelFormatRegistry::Rgba32Depth).isNull());
    ASSERT_FALSE(registry.get(Kr::WsPixelFormatRegistry::Rgba32DepthStencil).isNull());
    EXPECT_TRUE(registry.get(Kr::WsPixelFormatRegistry::Rgba32Depth)->isAvailable());
    EXPECT_TRUE(registry.get(Kr::WsPixelFormatRegistry::Rgba32DepthStencil)->isAvailable());
    EXPECT_TRUE(registry.get(7).isNull());
}

} // namespace
