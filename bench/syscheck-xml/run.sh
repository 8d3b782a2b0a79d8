#!/usr/bin/env bash
# The XML check against the tools a user would otherwise reach for, on one generated file
# of XML_BENCH_MB megabytes (default 100): `syscheck xml`, `xmllint --noout --stream` and
# a bare expat parse, best of XML_BENCH_RUNS runs (default 3) each, in megabytes per second,
# with the ratios and each one's peak memory. Then `syscheck xml` once on a file of
# XML_BENCH_LARGE_MB megabytes (default 1024, 0 skips it) to show that its memory does not
# grow with the file.
set -euo pipefail

bin=${KR_BIN_DIR:?KR_BIN_DIR must name the directory of syscheck}
benchBin=${KR_BENCH_BIN_DIR:-$bin/../bench}
megabytes=${XML_BENCH_MB:-100}
largeMegabytes=${XML_BENCH_LARGE_MB:-1024}
runs=${XML_BENCH_RUNS:-3}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# measure NAME FILE COMMAND...: the best of $runs runs by wall time, the processor time
# (user + system) of that run, and the highest peak resident memory of all runs. Sets
# seconds, cpuSeconds and peakKiB. Processor time is the steadier figure on a busy machine.
measure() {
    local name=$1 file=$2
    shift 2
    seconds=""
    cpuSeconds=""
    peakKiB=0
    local i start end t cpu m
    for ((i = 0; i < runs; i++)); do
        start=$EPOCHREALTIME
        if ! /usr/bin/time -f "%U %S %M" -o "$work/usage" "$@" >"$work/out" 2>"$work/err"; then
            echo "$name failed on $file:" >&2
            cat "$work/out" "$work/err" >&2
            exit 1
        fi
        end=$EPOCHREALTIME
        t=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
        read -r user system m < <(tail -n 1 "$work/usage")
        cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.2f", u + s }')
        if [[ -z $seconds ]] || awk -v a="$t" -v b="$seconds" 'BEGIN { exit !(a < b) }'; then
            seconds=$t
            cpuSeconds=$cpu
        fi
        if ((m > peakKiB)); then
            peakKiB=$m
        fi
    done
}

rate() { awk -v bytes="$1" -v s="$2" 'BEGIN { printf "%.1f", bytes / 1048576 / s }'; }

requireValid() {
    grep -qx "XML file valid." "$work/out" || {
        echo "syscheck did not find $1 valid:" >&2
        cat "$work/out" >&2
        exit 1
    }
}

file=$work/bench.xml
"$benchBin/xmlBenchGenerate" "$file" "$megabytes"
bytes=$(stat -c %s "$file")
printf 'file: %s MB of generated XML, best of %s runs\n\n' "$(awk -v b="$bytes" 'BEGIN { printf "%.1f", b / 1048576 }')" "$runs"
printf '%-26s %9s %9s %9s %9s %12s\n' "parser" "wall s" "MB/s" "cpu s" "MB/cpu-s" "peak memory"

declare -A label=([syscheck]="syscheck xml" [xmllint]="xmllint --noout --stream" [expat]="expat (bare parse)")
declare -A speed cpuSpeed
for tool in syscheck xmllint expat; do
    case $tool in
    syscheck) measure "syscheck xml" "$file" "$bin/syscheck" xml "$file" && requireValid "$file" ;;
    xmllint) measure "xmllint" "$file" xmllint --noout --stream "$file" ;;
    expat) measure "expat" "$file" "$benchBin/xmlExpatParse" "$file" ;;
    esac
    speed[$tool]=$(rate "$bytes" "$seconds")
    cpuSpeed[$tool]=$(rate "$bytes" "$cpuSeconds")
    if [[ $tool == syscheck ]]; then
        smallPeak=$peakKiB
    fi
    printf '%-26s %9s %9s %9s %9s %9.1f MB\n' "${label[$tool]}" "$seconds" "${speed[$tool]}" "$cpuSeconds" \
        "${cpuSpeed[$tool]}" "$(awk -v k="$peakKiB" 'BEGIN { print k / 1024 }')"
done
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
printf '\nsyscheck xml / xmllint --stream: %s by wall time, %s by processor time\n' \
    "$(ratio "${speed[syscheck]}" "${speed[xmllint]}")" "$(ratio "${cpuSpeed[syscheck]}" "${cpuSpeed[xmllint]}")"
printf 'syscheck xml / expat:            %s by wall time, %s by processor time\n' \
    "$(ratio "${speed[syscheck]}" "${speed[expat]}")" "$(ratio "${cpuSpeed[syscheck]}" "${cpuSpeed[expat]}")"

if ((largeMegabytes > 0)); then
    rm -f "$file"
    large=$work/large.xml
    "$benchBin/xmlBenchGenerate" "$large" "$largeMegabytes"
    largeBytes=$(stat -c %s "$large")
    runs=1
    measure "syscheck xml" "$large" "$bin/syscheck" xml "$large"
    requireValid "$large"
    printf '\nflat memory: %s MB file in %s s (%s MB/s, %s MB per cpu-s), peak %.1f MB against %.1f MB for the %s MB file\n' \
        "$(awk -v b="$largeBytes" 'BEGIN { printf "%.0f", b / 1048576 }')" "$seconds" "$(rate "$largeBytes" "$seconds")" \
        "$(rate "$largeBytes" "$cpuSeconds")" \
        "$(awk -v k="$peakKiB" 'BEGIN { print k / 1024 }')" "$(awk -v k="$smallPeak" 'BEGIN { print k / 1024 }')" "$megabytes"
fi
