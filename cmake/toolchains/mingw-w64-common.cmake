# SPDX-License-Identifier: Apache-2.0
# What both mingw-w64 toolchain files share; each sets CMAKE_SYSTEM_PROCESSOR and
# krMingwTriple first. The compilers of the POSIX thread model (Debian's
# g++-mingw-w64-*-posix) are used because their C++ runtime has std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${krMingwTriple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${krMingwTriple}-g++-posix)
set(CMAKE_RC_COMPILER ${krMingwTriple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${krMingwTriple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs carry their C++, GCC and thread runtimes, so they run without any mingw DLL
# beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
