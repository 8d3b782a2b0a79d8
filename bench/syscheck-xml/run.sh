#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The XML check against the tools a user would otherwise reach for, on one generated file of
# XML_BENCH_MB megabytes (default 100): `syscheck xml`, `xmllint --noout --stream` and a bare
# expat parse, run in turn (A B C A B C ...) for XML_BENCH_ROUNDS rounds (default 3) so that
# the machine's load falls on all alike. Prints each round, the medians, the paired ratio
# (median over rounds of xmllint's time over syscheck's: above 1 means syscheck is faster) and
# each one's peak memory, with the load average.
# Then, unless XML_BENCH_MEMORY=0, what two extreme files cost `syscheck xml`: one text node of
# XML_BENCH_TEXT_MB megabytes (default 1024) and XML_BENCH_LEVELS nested elements (default
# 10 million). The files are made in a temporary folder and removed.
set -euo pipefail

bin=${KR_BIN_DIR:?KR_BIN_DIR must name the directory of syscheck}
benchBin=${KR_BENCH_BIN_DIR:-$bin/../bench}
megabytes=${XML_BENCH_MB:-100}
rounds=${XML_BENCH_ROUNDS:-3}
textMegabytes=${XML_BENCH_TEXT_MB:-1024}
levels=${XML_BENCH_LEVELS:-10000000}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

loadAverage() { cut -d' ' -f1-3 /proc/loadavg; }

# run NAME COMMAND...: one run; sets wall (seconds), cpu (user + system seconds) and peakKiB.
run() {
    local name=$1
    shift
    if ! /usr/bin/time -f "%e %U %S %M" -o "$work/usage" "$@" >"$work/out" 2>"$work/err"; then
        echo "$name failed:" >&2
        cat "$work/out" "$work/err" >&2
        exit 1
    fi
    local user system
    read -r wall user system peakKiB < <(tail -n 1 "$work/usage")
    cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.2f", u + s }')
}

requireValid() {
    grep -qx "XML file valid." "$work/out" || {
        echo "syscheck did not find $1 valid:" >&2
        cat "$work/out" >&2
        exit 1
    }
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
mib() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
rate() { awk -v bytes="$1" -v s="$2" 'BEGIN { printf "%.1f", bytes / 1048576 / s }'; }

file=$work/bench.xml
"$benchBin/xmlBenchGenerate" catalog "$file" "$megabytes"
bytes=$(stat -c %s "$file")
printf 'file: %s MB of generated XML, %s rounds, load average %s\n\n' "$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }')" \
    "$rounds" "$(loadAverage)"

tools=(syscheck xmllint expat)
declare -A label=([syscheck]="syscheck xml" [xmllint]="xmllint --noout --stream" [expat]="expat (bare parse)")
declare -A walls cpus peaks
ratios=()
cpuRatios=()
printf '%-6s %-26s %8s %8s %12s\n' round parser "wall s" "cpu s" "peak memory"
for ((r = 1; r <= rounds; r++)); do
    declare -A roundWall=() roundCpu=()
    for tool in "${tools[@]}"; do
        case $tool in
        syscheck) run "syscheck xml" "$bin/syscheck" xml "$file" && requireValid "$file" ;;
        xmllint) run "xmllint" xmllint --noout --stream "$file" ;;
        expat) run "expat" "$benchBin/xmlExpatParse" "$file" ;;
        esac
        roundWall[$tool]=$wall
        roundCpu[$tool]=$cpu
        walls[$tool]+="$wall "
        cpus[$tool]+="$cpu "
        if ((peakKiB > ${peaks[$tool]:-0})); then
            peaks[$tool]=$peakKiB
        fi
        printf '%-6s %-26s %8s %8s %9s MB\n' "$r" "${label[$tool]}" "$wall" "$cpu" "$(mib "$peakKiB")"
    done
    ratios+=("$(awk -v a="${roundWall[xmllint]}" -v b="${roundWall[syscheck]}" 'BEGIN { printf "%.3f", a / b }')")
    cpuRatios+=("$(awk -v a="${roundCpu[xmllint]}" -v b="${roundCpu[syscheck]}" 'BEGIN { printf "%.3f", a / b }')")
done

printf '\nmedians (load average now %s)\n' "$(loadAverage)"
printf '%-26s %8s %8s %9s %12s\n' parser "wall s" "cpu s" "MB/s" "peak memory"
for tool in "${tools[@]}"; do
    # shellcheck disable=SC2086
    w=$(median ${walls[$tool]})
    # shellcheck disable=SC2086
    c=$(median ${cpus[$tool]})
    printf '%-26s %8s %8s %9s %9s MB\n' "${label[$tool]}" "$w" "$c" "$(rate "$bytes" "$w")" "$(mib "${peaks[$tool]}")"
done
printf '\npaired ratio, xmllint --stream time / syscheck xml time (above 1: syscheck is faster)\n'
printf '  by wall time:      median %s (rounds: %s)\n' "$(median "${ratios[@]}")" "${ratios[*]}"
printf '  by processor time: median %s (rounds: %s)\n' "$(median "${cpuRatios[@]}")" "${cpuRatios[*]}"

if [[ ${XML_BENCH_MEMORY:-1} != 0 ]]; then
    rm -f "$file"
    printf '\nsyscheck xml on extreme files (load average %s)\n' "$(loadAverage)"
    for kind in text nested; do
        extreme=$work/$kind.xml
        if [[ $kind == text ]]; then
            "$benchBin/xmlBenchGenerate" text "$extreme" "$textMegabytes"
            what="one text node of $textMegabytes MB"
        else
            "$benchBin/xmlBenchGenerate" nested "$extreme" "$levels"
            what="$levels nested elements"
        fi
        run "syscheck xml" "$bin/syscheck" xml "$extreme"
        requireValid "$extreme"
        printf '%-36s file %7.1f MB  wall %7s s  peak memory %9s MB\n' "$what" \
            "$(awk -v b="$(stat -c %s "$extreme")" 'BEGIN { print b / 1048576 }')" "$wall" "$(mib "$peakKiB")"
        rm -f "$extreme"
    done
fi
