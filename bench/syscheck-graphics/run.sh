#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# Wall time of the graphics check against glxinfo, the tool a user would otherwise reach for,
# on one and the same Xvfb server (Mesa's llvmpipe): `syscheck graphics`, `glxinfo -B` (the
# identification only) and `glxinfo` (everything, extensions included), each
# GRAPHICS_BENCH_RUNS times (default 50) after a warm-up, output discarded. Prints the mean
# times and the ratios syscheck / glxinfo.
set -euo pipefail

bin=${KR_BIN_DIR:?KR_BIN_DIR must name the directory of syscheck}
runs=${GRAPHICS_BENCH_RUNS:-50}
for tool in hyperfine xvfb-run glxinfo; do
    command -v "$tool" >/dev/null || { echo "$tool is needed (scripts/install-deps.sh installs it)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Everything below runs inside one server; a check that fails would be timed as a fast
# failure, so it is run once first.
xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp" bash -c '
    set -euo pipefail
    "$1/syscheck" graphics >/dev/null || { echo "syscheck graphics failed (exit $?)" >&2; exit 1; }
    hyperfine --shell=none --warmup 5 --runs "$2" --style none --export-json "$3/times.json" \
        --command-name "syscheck graphics" "$1/syscheck graphics" \
        --command-name "glxinfo -B" "glxinfo -B" \
        --command-name "glxinfo" "glxinfo" >/dev/null
' bench "$bin" "$runs" "$work"

python3 - "$work/times.json" <<'PY'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
for name in ("syscheck graphics", "glxinfo -B", "glxinfo"):
    r = results[name]
    print(f"{name:<18} mean {r['mean'] * 1000:7.2f} ms  (min {r['min'] * 1000:.2f}, max {r['max'] * 1000:.2f}, "
          f"{len(r['times'])} runs)")
ours = results["syscheck graphics"]["mean"]
for name in ("glxinfo -B", "glxinfo"):
    print(f"ratio syscheck graphics / {name}: {ours / results[name]['mean']:.2f}")
PY
