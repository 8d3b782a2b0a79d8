# SPDX-License-Identifier: Apache-2.0
# Tests of KRgfx and of the Li text utilities, included from host-framework/src/gfx.
set(gfxTestDir ${PROJECT_SOURCE_DIR}/host-framework/tests)

# Windowing against a private Xvfb that the tests start themselves.
kr_add_test(gfxWindowingTests LABELS gui SOURCES ${gfxTestDir}/gfxWindowingTests.cpp ${gfxTestDir}/gfxSanitizerOptions.cpp
             LIBS KRgfx X11::X11 OpenGL::GL)
kr_add_test(gfxNoDisplayTests SOURCES ${gfxTestDir}/gfxNoDisplayTests.cpp LIBS KRgfx)
kr_add_test(gfxQueryRulesTests
    SOURCES ${gfxTestDir}/gfxQueryRulesTests.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/glxExtensionSupport.cpp
            ${CMAKE_CURRENT_SOURCE_DIR}/xRefreshRate.cpp
    LIBS X11::X11 X11::Xrandr)
kr_add_test(liStringTokenizerTests SOURCES ${gfxTestDir}/liStringTokenizerTests.cpp LIBS KRbase)
