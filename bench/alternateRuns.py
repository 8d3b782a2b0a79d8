#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Runs commands in turn, round after round (A B C, then B C A, ...), so that load from
elsewhere on the machine falls on every side alike, and prints per command the median wall
time, the median processor time (user + system) and the peak resident memory, then the
paired ratio of each command to the last one: the median of the per-round ratios. Peak
memory is taken by GNU time in separate runs: a child spawned from this interpreter would
report the interpreter's own peak, which Linux carries across exec.

usage: alternateRuns.py ROUNDS WARMUP "name=command line" ... (the last is the reference)
"""

import os
import shlex
import statistics
import sys
import tempfile
import time


def run_once(argv):
    """Wall seconds and processor seconds of one run, output discarded."""
    devnull = os.open(os.devnull, os.O_WRONLY)
    try:
        start = time.perf_counter()
        pid = os.posix_spawnp(argv[0], argv, os.environ,
                              file_actions=[(os.POSIX_SPAWN_DUP2, devnull, 1)])
        _, status, usage = os.wait4(pid, 0)
        wall = time.perf_counter() - start
    finally:
        os.close(devnull)
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{shlex.join(argv)} failed with {os.waitstatus_to_exitcode(status)}")
    return wall, usage.ru_utime + usage.ru_stime


def peak_kilobytes(argv, runs=5):
    peaks = []
    with tempfile.NamedTemporaryFile("r") as report:
        for _ in range(runs):
            pid = os.posix_spawnp("time", ["time", "-f", "%M", "-o", report.name] + argv, os.environ,
                                  file_actions=[(os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0)])
            os.waitpid(pid, 0)
            report.seek(0)
            peaks.append(int(report.read().split()[-1]))
    return max(peaks)


def quartiles(values):
    q = statistics.quantiles(values, n=4)
    return q[0], statistics.median(values), q[2]


def main():
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    rounds, warmup = int(sys.argv[1]), int(sys.argv[2])
    commands = []
    for entry in sys.argv[3:]:
        name, _, line = entry.partition("=")
        commands.append((name, shlex.split(line)))

    for _ in range(warmup):
        for _, argv in commands:
            run_once(argv)

    load_before = os.getloadavg()
    samples = {name: [] for name, _ in commands}
    for round_index in range(rounds):
        shift = round_index % len(commands)
        for name, argv in commands[shift:] + commands[:shift]:
            samples[name].append(run_once(argv))
    load_after = os.getloadavg()

    print(f"{rounds} rounds, commands in turn; load average before {load_before[0]:.2f} "
          f"{load_before[1]:.2f} {load_before[2]:.2f}, after {load_after[0]:.2f} {load_after[1]:.2f} "
          f"{load_after[2]:.2f} ({os.cpu_count()} processors)")
    width = max(len(name) for name, _ in commands)
    for name, _ in commands:
        wall = quartiles([s[0] * 1000 for s in samples[name]])
        cpu = statistics.median(s[1] * 1000 for s in samples[name])
        peak = peak_kilobytes(next(argv for n, argv in commands if n == name))
        print(f"{name:<{width}}  wall median {wall[1]:6.2f} ms (quartiles {wall[0]:.2f}-{wall[2]:.2f})  "
              f"cpu median {cpu:5.2f} ms  peak RSS {peak / 1024:.1f} MiB")
    reference = commands[-1][0]
    for name, _ in commands[:-1]:
        ratios = [a[0] / b[0] for a, b in zip(samples[name], samples[reference])]
        low, middle, high = quartiles(ratios)
        faster = sum(r < 1 for r in ratios) / len(ratios)
        print(f"paired ratio {name} / {reference}: median {middle:.3f} (quartiles {low:.3f}-{high:.3f}), "
              f"faster in {faster:.0%} of rounds")


if __name__ == "__main__":
    main()
