// SPDX-License-Identifier: Apache-2.0
// The decisions behind the windowing queries, free of any X server.
// GoogleTest first: Xlib's macros (None, Bool, Status) would break its templates.
#include <gtest/gtest.h>

#include "../src/gfx/glxExtensionSupport.h"
#include "../src/gfx/xRefreshRate.h"

namespace {

XRRModeInfo mode(unsigned long dotClock, unsigned int hTotal, unsigned int vTotal, XRRModeFlags flags = 0) {
    XRRModeInfo info{};
    info.dotClock = dotClock;
    info.hTotal = hTotal;
    info.vTotal = vTotal;
    info.modeFlags = flags;
    return info;
}

TEST(GfxRefreshRate, ComesFromTheModeTimingsToTheHundredth) {
    EXPECT_EQ(Kr::gfx::modeRefreshRate(mode(148500000, 2200, 1125)), 60.0);  // 1920x1080 at 60
    EXPECT_EQ(Kr::gfx::modeRefreshRate(mode(148351648, 2200, 1125)), 59.94); // 1920x1080 at 59.94
    EXPECT_EQ(Kr::gfx::modeRefreshRate(mode(241500000, 2720, 1481)), 59.95); // 2560x1440, reduced blanking
    EXPECT_EQ(Kr::gfx::modeRefreshRate(mode(74250000, 2200, 1125, RR_Interlace)), 60.0);
    EXPECT_EQ(Kr::gfx::modeRefreshRate(mode(25175000, 800, 525, RR_DoubleScan)), 29.97);
}

TEST(GfxRefreshRate, ModeWithoutTimingsIsUnknown) {
    EXPECT_EQ(Kr::gfx::modeRefreshRate(mode(0, 0, 0)), 0.0);
    EXPECT_EQ(Kr::gfx::modeRefreshRate(mode(148500000, 0, 1125)), 0.0);
    EXPECT_EQ(Kr::gfx::modeRefreshRate(mode(148500000, 2200, 0)), 0.0);
}

Kr::gfx::GlxCapabilities glx(int major, int minor, std::string glxExtensions, std::string glExtensions = {}) {
    return {std::move(glExtensions), std::move(glxExtensions), major, minor};
}

TEST(GfxExtensionSupport, NamesMatchAsWholeWordsOfEitherList) {
    const auto capabilities =
        glx(1, 4, "GLX_ARB_multisample GLX_EXT_visual_info", "GL_ARB_shadow GL_ARB_shadow_ambient");
    EXPECT_TRUE(Kr::gfx::isExtensionSupported("GL_ARB_shadow", capabilities));
    EXPECT_TRUE(Kr::gfx::isExtensionSupported("GL_ARB_shadow_ambient", capabilities));
    EXPECT_TRUE(Kr::gfx::isExtensionSupported("GLX_EXT_visual_info", capabilities));
    EXPECT_FALSE(Kr::gfx::isExtensionSupported("GL_ARB_shado", capabilities));
    EXPECT_FALSE(Kr::gfx::isExtensionSupported("ARB_shadow", capabilities));
    EXPECT_FALSE(Kr::gfx::isExtensionSupported("", capabilities));
}

TEST(GfxExtensionSupport, PbufferNameAnswersThroughGlx13OrTheSgixExtension) {
    EXPECT_TRUE(Kr::gfx::isExtensionSupported("WGL_ARB_pbuffer", glx(1, 3, "")));
    EXPECT_TRUE(Kr::gfx::isExtensionSupported("WGL_ARB_pbuffer", glx(2, 0, "")));
    EXPECT_TRUE(Kr::gfx::isExtensionSupported("WGL_ARB_pbuffer", glx(1, 2, "GLX_SGIX_fbconfig GLX_SGIX_pbuffer")));
    EXPECT_FALSE(Kr::gfx::isExtensionSupported("WGL_ARB_pbuffer", glx(1, 2, "GLX_SGIX_fbconfig")));
    EXPECT_FALSE(Kr::gfx::isExtensionSupported("WGL_ARB_pbuffer", glx(0, 0, "")));
}

TEST(GfxExtensionSupport, WglNamesWithoutAGlxVersionNeedTheirExtension) {
    EXPECT_FALSE(Kr::gfx::isExtensionSupported("WGL_EXT_swap_control", glx(1, 4, "GLX_ARB_multisample")));
    EXPECT_TRUE(Kr::gfx::isExtensionSupported("WGL_EXT_swap_control", glx(1, 4, "GLX_MESA_swap_control")));
    EXPECT_FALSE(Kr::gfx::isExtensionSupported("WGL_ARB_multisample", glx(1, 3, "")));
    EXPECT_TRUE(Kr::gfx::isExtensionSupported("WGL_ARB_multisample", glx(1, 4, "")));
    EXPECT_FALSE(Kr::gfx::isExtensionSupported("WGL_ARB_buffer_region", glx(1, 4, "GLX_SGIX_pbuffer")));
}

} // namespace
