# SPDX-License-Identifier: Apache-2.0
# Cross build for 64-bit Windows (Debian's g++-mingw-w64-x86-64-posix).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(krMingwTriple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
