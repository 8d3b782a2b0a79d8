#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Builds the Debian package into a temporary folder and checks, without installing it, that it
# holds the programs, plug-ins, libraries and development files, and that its Depends name
# the shared libraries the binaries use (from dpkg-shlibdeps), but none of its own.
#   packageTest.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack failed"; }
packages=("$work"/*.deb)
[[ ${#packages[@]} -eq 1 && -f "${packages[0]}" ]] || fail "expected one .deb in $work"
deb=${packages[0]}

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||' >"$work/files"
# Every program and plug-in the build declares for installing (build/<preset>/installedBinaries.txt).
mapfile -t binaries < <(sed 's|^|opt/krsystem/bin/|' "$build/installedBinaries.txt")
[[ ${#binaries[@]} -ge 4 ]] || fail "the build's install list is missing or short: ${binaries[*]}"
for file in "${binaries[@]}" opt/krsystem/lib/libKRbase.so \
            opt/krsystem/lib/resources/toolui/switcher.xml opt/krsystem/include/Kr/In.h \
            opt/krsystem/lib/cmake/KrMovieBridge/KrMovieBridgeConfig.cmake opt/krsystem/lib/pkgconfig/krframework.pc; do
    grep -qx "$file" "$work/files" || fail "$file is not in the package"
done
if grep -E '(^|/)(tests?|bench)/|Tests$|Probe' "$work/files"; then
    fail "the package holds test or benchmark files"
fi

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libc6 libstdc++6 libavformat libavcodec libswscale libavutil libpng16-16 libx11-6 libxrandr2 libglx0 libopengl0; do
    [[ ",$depends" == *", $library"* || ",$depends" == *",$library"* ]] || fail "Depends lacks $library"
done
[[ "$depends" != *krsystem* && "$depends" != *libKR* ]] || fail "Depends names the package's own libraries"
