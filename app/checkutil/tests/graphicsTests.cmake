# SPDX-License-Identifier: Apache-2.0
# Tests of the graphics check, included from app/checkutil/CMakeLists.txt.
if(NOT KR_BUILD_TESTS)
    return()
endif()

kr_add_test(graphicsReportTests
    SOURCES tests/graphicsExtensionListTests.cpp tests/graphicsPixelFormatSupportTests.cpp
            tests/graphicsDriverVersionLinuxTests.cpp
            src/graphicsExtensionList.cpp src/graphicsPixelFormatSupport.cpp src/graphicsKrcheckLinux.cpp
    LIBS KRgfx KRbase)
target_include_directories(graphicsReportTests PRIVATE src)

# syscheck graphics on Xvfb through xvfb-run, compared with glxinfo on the same server.
kr_add_test(graphicsCheckTests LABELS integration gui
    SOURCES tests/graphicsCheckTests.cpp tests/processRun.cpp src/graphicsKrcheckLinux.cpp
    DEPENDS syscheck libKRgraphics TIMEOUT 300)
target_include_directories(graphicsCheckTests PRIVATE src)

# The WMI driver-version query keeps compiling for Windows.
kr_add_cross_compile_check(graphicsKrcheckWinNTCompiles
    COMPILER x86_64-w64-mingw32-g++-posix
    SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/src/graphicsKrcheckWinNT.cpp
    INCLUDES ${PROJECT_SOURCE_DIR}/host-framework/include)
