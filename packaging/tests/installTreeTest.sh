#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Installs the build into a temporary prefix, moves the tree elsewhere, and uses it as a user
# and a developer would: the programs find their plug-ins and resources, and a project
# outside this tree builds against it with find_package and with pkg-config.
#   installTreeTest.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/first" >/dev/null
mv "$work/first" "$work/moved"
tree=$work/moved

# Every program and plug-in the build declares for installing (build/<preset>/installedBinaries.txt).
mapfile -t binaries < <(sed 's|^|bin/|' "$build/installedBinaries.txt")
[[ ${#binaries[@]} -ge 4 ]] || fail "the build's install list is missing or short: ${binaries[*]}"
for file in "${binaries[@]}" \
            lib/libKRbase.so lib/libKRdatamgt.so lib/libKRpluginAPI.so lib/libKRgfx.so \
            lib/libkrMovieClient.a lib/resources/hotkeys.xml lib/resources/toolui/notes.xml \
            include/Kr/In.h include/KrMovieBridge/movieReadClient.h include/KrMovieBridge/records.h \
            lib/cmake/KrMovieBridge/KrMovieBridgeConfig.cmake lib/cmake/KrFramework/KrFrameworkConfig.cmake \
            lib/pkgconfig/krmoviebridge.pc lib/pkgconfig/krframework.pc; do
    [[ -e "$tree/$file" ]] || fail "$file missing from the installed tree"
done
# Nothing of the build tree may leak into the run paths of what was installed.
if readelf -d "$tree"/bin/* "$tree"/lib/*.so 2>/dev/null | grep -E 'R(UN)?PATH' | grep -F "$build"; then
    fail "an installed binary keeps a run path into the build tree"
fi

# The moved programs find the plug-ins and resources beside them.
cpu=$("$tree/bin/syscheck" cpu) || fail "syscheck cpu failed in the moved tree"
grep -q "^Main memory size:" <<<"$cpu" || fail "syscheck cpu printed no memory block: $cpu"
printf 'create Constant Plate\ncreate Notes N\nconnect Plate N Input\nprint schematic N 1\n' >"$work/notes.kr"
(cd "$work" && "$tree/bin/krhost" notes.kr >krhost.out) || fail "krhost could not run a Notes script from the moved tree"
codecs=$("$tree/bin/moviehost-client" codecs) || fail "moviehost-client codecs failed in the moved tree"
grep -qx mjpeg <<<"$codecs" || fail "moviehost-client codecs did not list mjpeg: $codecs"

# A project outside this tree builds against the moved tree with find_package.
cmake -S "$source/packaging/tests/consumer" -B "$work/consumer" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_PREFIX_PATH="$tree" >/dev/null
cmake --build "$work/consumer" >/dev/null
[[ "$("$work/consumer/codecsConsumer" "$tree/bin/moviehost" "$work/codecs.job")" == "$codecs" ]] ||
    fail "the consumer program did not list the codecs through the installed client library"
hello=$("$tree/bin/syscheck" --kr-plugin-path "$work/consumer" xml any.xml) ||
    fail "syscheck could not run a check plug-in built against the installed framework"
[[ "$hello" == "hello from an installed framework: $tree/bin/syscheck xml any.xml" ]] || fail "unexpected check output: $hello"

# And with pkg-config.
export PKG_CONFIG_PATH=$tree/lib/pkgconfig
read -ra bridgeFlags <<<"$(pkg-config --static --cflags --libs krmoviebridge)"
g++ -std=c++20 -o "$work/codecsConsumerPc" "$source/packaging/tests/consumer/codecsConsumer.cpp" "${bridgeFlags[@]}"
[[ "$("$work/codecsConsumerPc" "$tree/bin/moviehost" "$work/codecs.job")" == "$codecs" ]] ||
    fail "the program built with pkg-config did not list the codecs"
read -ra frameworkFlags <<<"$(pkg-config --cflags --libs krframework)"
mkdir "$work/pcCheck"
g++ -std=c++20 -shared -fPIC -fvisibility=hidden -o "$work/pcCheck/libKRxml.krcheck" \
    "$source/packaging/tests/consumer/helloKrcheckInit.cpp" "${frameworkFlags[@]}"
[[ "$("$tree/bin/syscheck" --kr-plugin-path "$work/pcCheck" xml any.xml)" == "hello from an installed framework: $tree/bin/syscheck xml any.xml" ]] ||
    fail "the check built with pkg-config did not run"
echo "installed tree usable after moving it: programs, plug-ins, resources, CMake and pkg-config packages"
