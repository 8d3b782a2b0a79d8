#!/usr/bin/env bash
# Wall time of the CPU check against lscpu, the tool a user would otherwise reach for, in
# the same run: `syscheck cpu`, `syscheck cpu full` (which adds the framework's lscpu-like
# report) and `lscpu`, each CPU_BENCH_RUNS times (default 200) after a warm-up, output
# discarded. Prints the times and the ratios syscheck / lscpu, of the means and of the
# best runs.
set -euo pipefail

bin=${KR_BIN_DIR:?KR_BIN_DIR must name the directory of syscheck}
runs=${CPU_BENCH_RUNS:-200}
command -v hyperfine >/dev/null || { echo "hyperfine is needed (scripts/install-deps.sh installs it)" >&2; exit 1; }
command -v lscpu >/dev/null || { echo "lscpu is needed (package util-linux)" >&2; exit 1; }

# A check that fails would be timed as a fast failure: make sure it works first.
"$bin/syscheck" cpu >/dev/null || { echo "syscheck cpu failed (exit $?)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

hyperfine --shell=none --warmup 10 --runs "$runs" --style none --export-json "$work/times.json" \
    --command-name "syscheck cpu" "$bin/syscheck cpu" \
    --command-name "syscheck cpu full" "$bin/syscheck cpu full" \
    --command-name "lscpu" "lscpu" >/dev/null

python3 - "$work/times.json" <<'PY'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
lscpu = results["lscpu"]["mean"]
for name in ("syscheck cpu", "syscheck cpu full", "lscpu"):
    r = results[name]
    print(f"{name:<18} mean {r['mean'] * 1000:7.2f} ms  (min {r['min'] * 1000:.2f}, max {r['max'] * 1000:.2f}, "
          f"{len(r['times'])} runs)")
# The best run is the least disturbed by other load on the machine.
lscpuMin = results["lscpu"]["min"]
for name in ("syscheck cpu", "syscheck cpu full"):
    print(f"ratio {name} / lscpu: mean {results[name]['mean'] / lscpu:.2f}, best {results[name]['min'] / lscpuMin:.2f}")
PY
