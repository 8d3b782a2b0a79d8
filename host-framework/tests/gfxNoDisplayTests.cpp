// SPDX-License-Identifier: Apache-2.0
// Without an X server every windowing query has a defined answer and nothing fails hard.
#include <Kr/SmContext.h>
#include <Kr/WsGLExtensions.h>
#include <Kr/WsPixelFormat.h>
#include <Kr/WsScreen.h>
#include <Kr/WsWinMgr.h>

#include <gtest/gtest.h>

#include <stdlib.h>

namespace {

TEST(GfxWithoutDisplay, WindowsAreNullAndQueriesAnswerNothing) {
    unsetenv("DISPLAY");

    EXPECT_TRUE(Kr::WsWinMgr::getInstance()->createWindow("OpenGL", "OpenGL", {}).isNull());
    EXPECT_TRUE(Kr::SmContext::create({}).isNull());

    const Kr::WsScreen& screen = Kr::WsScreen::getInstance();
    EXPECT_EQ(screen.getResolution(), (Kr::GeSize<int>{0, 0}));
    EXPECT_EQ(screen.getBitDepth(), 0);
    EXPECT_EQ(screen.getBitsPerPixel(), 0);
    EXPECT_EQ(screen.getRefreshRate(), 0.0);

    EXPECT_EQ(Kr::WsGLExtensions::getExtensionsString(), "");
    EXPECT_FALSE(Kr::WsGLExtensions::isSupported("WGL_ARB_pbuffer"));

    const Kr::WsPixelFormatRegistry& registry = Kr::WsPixelFormatRegistry::getInstance();
    EXPECT_FALSE(registry.get(Kr::WsPixelFormatRegistry::Rgba32Depth)->isAvailable());
    EXPECT_FALSE(registry.get(Kr::WsPixelFormatRegistry::Rgba32DepthStencil)->isAvailable());
}

} // namespace
