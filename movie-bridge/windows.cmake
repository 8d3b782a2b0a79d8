# SPDX-License-Identifier: Apache-2.0
# The Windows build of moviehost (included from CMakeLists.txt when WIN32): the Win32
# channel and the fake engine; no FFmpeg, PNG, POSIX channel or client here.

add_library(krBridgeWin32 STATIC src/platform/win32ChannelPlatform.cpp)
target_link_libraries(krBridgeWin32 PUBLIC krBridgeCore)

kr_add_program(moviehost SOURCES src/mainWindows.cpp LIBS krBridgeHost krBridgeWin32 krBridgeFakeMedia)

# The host application's part over the Win32 channel, checking every answer; the Linux
# build runs it under Wine (tests/CMakeLists.txt).
kr_add_program(moviehostWin32HostTest
    SOURCES tests/win32/moviehostWin32HostTest.cpp tests/win32/win32HostJob.cpp
    LIBS krBridgeFakeMedia TEST_ONLY)
add_dependencies(moviehostWin32HostTest moviehost)
