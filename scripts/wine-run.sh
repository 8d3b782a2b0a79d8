#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# wine-run.sh prepare PREFIX                  makes the Wine prefix PREFIX (quietly) and checks
#                                             that Wine can start a trivial program in it
# wine-run.sh run PREFIX PROGRAM [ARGS...]    runs a Windows program under 64-bit Wine in PREFIX
# Both exit 77 (skipped) and say why where there is no Wine, or a Wine that cannot start a
# program (a 32-bit wine on a machine without 32-bit support is common).
set -uo pipefail
action=$1 prefix=$2
shift 2

wine=
for candidate in wine64 /usr/lib/wine/wine64 wine; do
    if command -v "$candidate" >/dev/null; then
        wine=$(command -v "$candidate")
        break
    fi
done
if [[ -z $wine ]]; then
    echo "skipped: Wine is not installed (scripts/install-deps.sh installs wine64)"
    exit 77
fi

export WINEPREFIX=$prefix WINEDEBUG=-all
# No Mono or Gecko installers, no windows: the programs are console programs.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

ready=$prefix/.kr-ready
case $action in
prepare)
    # A prefix made by this same Wine is kept: making one takes most of a minute.
    version=$("$wine" --version 2>&1)
    if [[ ! -f $ready || $(cat "$ready") != "$version" ]]; then
        rm -f "$ready"
        mkdir -p "$prefix"
        if ! log=$("$wine" wineboot --init 2>&1); then
            echo "skipped: $wine wineboot failed: $(tail -n 3 <<<"$log")"
            exit 77
        fi
    fi
    answer=$("$wine" cmd.exe /c echo kr-wine-ready 2>&1)
    if [[ $answer != *kr-wine-ready* ]]; then
        echo "skipped: $wine cannot start a trivial program: $(tail -n 3 <<<"$answer")"
        exit 77
    fi
    echo "$version" >"$ready"
    echo "Wine prefix ready: $prefix ($version)"
    ;;
run)
    program=$1
    shift
    if [[ ! -f $ready ]]; then
        echo "skipped: the Wine prefix $prefix is not ready (see the test windowsWinePrefix)"
        exit 77
    fi
    if [[ ! -f $program ]]; then
        echo "skipped: $program was not built (see the test movieBridgeWindowsBuild)"
        exit 77
    fi
    "$wine" "$program" "$@"
    ;;
*)
    echo "usage: wine-run.sh prepare PREFIX | run PREFIX PROGRAM [ARGS...]" >&2
    exit 2
    ;;
esac
