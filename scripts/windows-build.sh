#!/usr/bin/env bash
# windows-build.sh SOURCE-DIR BUILD-DIR BUILD-TYPE
# Configures and builds the Windows programs with both mingw-w64 toolchains, x86-64 (run
# under Wine by the tests) and i686 (the 32-bit build the host application starts), in
# BUILD-DIR/x86_64 and BUILD-DIR/i686. Exits 77 (skipped) when a cross compiler is absent.
set -euo pipefail
source_dir=$1 build_dir=$2 build_type=${3:-Release}
for compiler in x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix; do
    if ! command -v "$compiler" >/dev/null; then
        echo "skipped: cross compiler $compiler is not installed (scripts/install-deps.sh installs it)"
        exit 77
    fi
done
for arch in x86_64 i686; do
    cmake -S "$source_dir" -B "$build_dir/$arch" -G Ninja -Wno-dev \
        -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchains/mingw-w64-$arch.cmake" \
        -DCMAKE_BUILD_TYPE="$build_type" -DKR_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build_dir/$arch"
    echo "built $arch: $(cd "$build_dir/$arch/bin" && ls *.exe | tr '\n' ' ')"
done
