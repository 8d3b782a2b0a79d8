#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# windows-build.sh SOURCE-DIR BUILD-DIR BUILD-TYPE
# Configures and builds the Windows programs with both mingw-w64 toolchains in BUILD-DIR/x86_64
# and BUILD-DIR/i686: everything for x86-64, whose programs the tests run under Wine, and
# only moviehost for i686, the 32-bit process the host application starts
# (the WMI query belongs to the 64-bit graphics check). Exits 77 (skipped) when a cross
# compiler is absent.
set -euo pipefail
source_dir=$1 build_dir=$2 build_type=${3:-Release}
for compiler in x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix; do
    if ! command -v "$compiler" >/dev/null; then
        echo "skipped: cross compiler $compiler is not installed (scripts/install-deps.sh installs it)"
        exit 77
    fi
done
declare -A targets=([x86_64]=all [i686]=moviehost)
for arch in x86_64 i686; do
    cmake -S "$source_dir" -B "$build_dir/$arch" -G Ninja -Wno-dev \
        -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchains/mingw-w64-$arch.cmake" \
        -DCMAKE_BUILD_TYPE="$build_type" -DKR_BUILD_TESTS=OFF >/dev/null
    # shellcheck disable=SC2086
    cmake --build "$build_dir/$arch" --target ${targets[$arch]}
    echo "built $arch: $(cd "$build_dir/$arch/bin" && ls *.exe | tr '\n' ' ')"
done
