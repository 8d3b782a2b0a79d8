// SPDX-License-Identifier: Apache-2.0
// The graphics check: opens an OpenGL context on a window of its own and reports the screen
// mode, the OpenGL identification, the display driver's version, the OpenGL extensions and
// the availability of pixel formats and pixel buffers.
#include "graphicsDriverVersion.h"
#include "graphicsExtensionList.h"
#include "graphicsPixelFormatSupport.h"

#include <Kr/Ex.h>
#include <Kr/InPackage.h>
#include <Kr/LiString.h>
#include <Kr/LiStringTokenizer.h>
#include <Kr/SmContext.h>
#include <Kr/WsGLExtensions.h>
#include <Kr/WsPixelFormat.h>
#include <Kr/WsScreen.h>
#include <Kr/WsWinMgr.h>

#include <GL/gl.h>

#include <iostream>
#include <string>
#include <vector>

KR_PACKAGE_TAG(graphicsKrcheck)

namespace {

const char* const sourceFile = "app\\checkutil\\src\\graphicsKrcheckInit";

// An identification string the driver does not give prints as nothing.
std::string glText(GLenum name) {
    const GLubyte* text = glGetString(name);
    return text ? reinterpret_cast<const char*>(text) : std::string();
}

void runGraphicsCheck() {
    using Kr::WsWindowStyle;

    Kr::WsWinMgr* winMgr = Kr::WsWinMgr::getInstance();
    const Kr::RCShdPtr<WsWindowStyle> style = Kr::WsWindowStyleUtils::getNormalWindowStyle(
        Kr::GeRectangle<int>(0, 0, 0, 0), 0, WsWindowStyle::BorderResizable, WsWindowStyle::TitleBarNormal,
        WsWindowStyle::TaskBarShown, WsWindowStyle::StackingNormal, WsWindowStyle::CloseButtonNone);
    const Kr::RCShdPtr<Kr::WsWindow> win = winMgr->createWindow("OpenGL", "OpenGL", style);
    if (win.isNull()) {
        Kr::Assertions::throwAssertionFailed(sourceFile, 94, "!win.isNull()");
    }
    Kr::OPtr<Kr::SmContext> ctx = Kr::SmContext::create(win);
    if (ctx.isNull()) {
        Kr::Assertions::throwAssertionFailed(sourceFile, 98, "!ctx.isNull()");
    }
    ctx->makeCurrent(win);

    const Kr::WsScreen& screen = Kr::WsScreen::getInstance();
    const Kr::GeSize<int> resolution = screen.getResolution();
    std::cout << "Screen resolution: " << resolution.width << "x" << resolution.height << std::endl;
    std::cout << "Screen bit depth: " << screen.getBitDepth() << " bpp" << std::endl;
    std::cout << "Screen bits per pixel: " << screen.getBitsPerPixel() << " bits" << std::endl;
    std::cout << "Screen refresh rate: " << screen.getRefreshRate() << " Hz" << std::endl;

    std::cout << "OpenGL vendor string: " << glText(GL_VENDOR) << std::endl;
    std::cout << "OpenGL renderer string: " << glText(GL_RENDERER) << std::endl;
    std::cout << "OpenGL version: " << glText(GL_VERSION) << std::endl;

    // Each label goes out before its value is asked for, so that a failure while obtaining the
    // value shows which one it was.
    std::cout << "Driver version: " << std::flush;
    std::cout << queryDriverVersion() << std::endl;

    Kr::LiStringTokenizer::NotEmpty notEmpty;
    const Kr::LiStringTokenizer tokenizer(Kr::WsGLExtensions::getExtensionsString(), Kr::LiString(" "), notEmpty);
    for (const std::string& line : wrapExtensionList(std::vector<std::string>(tokenizer.begin(), tokenizer.end()))) {
        std::cout << line << std::endl;
    }
    std::cout << std::endl;

    std::cout << "RGBA 32bpp with Z buffer: " << std::flush;
    std::cout << describeDepthBufferSupport(Kr::WsPixelFormatRegistry::getInstance()) << std::endl;

    std::cout << "Pbuffer support: " << std::flush;
    std::cout << (Kr::WsGLExtensions::isSupported("WGL_ARB_pbuffer") ? "Yes" : "No") << std::endl;
}

} // namespace

template <> void Kr::InInit<KrInit::graphicsKrcheck>::init() {
    runGraphicsCheck();
}

template <> Kr::InInit<KrInit::graphicsKrcheck>::InInit() : InPackageInit("graphicsKrcheck") {
    registerPackage();
    addDependency(InInit<KrInit::gfx>::getType());
    addDependency(InInit<KrInit::resmgt>::getType());
    addDependency(InInit<KrInit::base>::getType());
}

template class Kr::InInit<KrInit::graphicsKrcheck>;
static Kr::InInit<KrInit::graphicsKrcheck> packageInit;
