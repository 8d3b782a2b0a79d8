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

# measure NAME FILE COMMAND...: best wall time of $runs runs and the peak resident memory.
# Sets seconds and peakKiB.
measure() {
    local name=$1 file=$2
    shift 2
    seconds=""
    peakKiB=0
    local i start end t m
    for ((i = 0; i < runs; i++)); do
        start=$EPOCHREALTIME
        if ! /usr/bin/time -f "%M" -o "$work/peak" "$@" >"$work/out" 2>"$work/err"; then
            echo "$name failed on $file:" >&2
            cat "$work/out" "$work/err" >&2
            exit 1
        fi
        end=$EPOCHREALTIME
        t=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
        m=$(tail -n 1 "$work/peak")
        if [[ -z $seconds ]] || awk -v a="$t" -v b="$seconds" 'BEGIN { exit !(a < b) }'; then
            seconds=$t
        fi
        ((m > peakKiB)) && peakKiB=$m
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
printf '%-34s %10s %10s %14s\n' "parser" "seconds" "MB/s" "peak memory"

declare -A speed
for tool in syscheck xmllint expat; do
    case $tool in
    syscheck) measure "syscheck xml" "$file" "$bin/syscheck" xml "$file" && requireValid "$file" ;;
    xmllint) measure "xmllint" "$file" xmllint --noout --stream "$file" ;;
    expat) measure "expat" "$file" "$benchBin/xmlExpatParse" "$file" ;;
    esac
    speed[$tool]=$(rate "$bytes" "$seconds")
    [[ $tool == syscheck ]] && smallPeak=$peakKiB
    label=$tool
    [[ $tool == syscheck ]] && label="syscheck xml"
    [[ $tool == xmllint ]] && label="xmllint --noout --stream"
    [[ $tool == expat ]] && label="expat (bare parse)"
    printf '%-34s %10s %10s %11s MB\n' "$label" "$seconds" "${speed[$tool]}" "$(awk -v k="$peakKiB" 'BEGIN { printf "%.1f", k / 1024 }')"
done
printf '\nsyscheck xml / xmllint --stream: %s\n' "$(awk -v a="${speed[syscheck]}" -v b="${speed[xmllint]}" 'BEGIN { printf "%.2f", a / b }')"
printf 'syscheck xml / expat:            %s\n' "$(awk -v a="${speed[syscheck]}" -v b="${speed[expat]}" 'BEGIN { printf "%.2f", a / b }')"

if ((largeMegabytes > 0)); then
    rm -f "$file"
    large=$work/large.xml
    "$benchBin/xmlBenchGenerate" "$large" "$largeMegabytes"
    largeBytes=$(stat -c %s "$large")
    runs=1
    measure "syscheck xml" "$large" "$bin/syscheck" xml "$large"
    requireValid "$large"
    printf '\nflat memory: %s MB file in %s s (%s MB/s), peak %.1f MB against %.1f MB for the %s MB file\n' \
        "$(awk -v b="$largeBytes" 'BEGIN { printf "%.0f", b / 1048576 }')" "$seconds" "$(rate "$largeBytes" "$seconds")" \
        "$(awk -v k="$peakKiB" 'BEGIN { print k / 1024 }')" "$(awk -v k="$smallPeak" 'BEGIN { print k / 1024 }')" "$megabytes"
fi
