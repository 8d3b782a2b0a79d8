# SPDX-License-Identifier: Apache-2.0
"""Frames per second read into NumPy arrays in Python: the moviehost module, PyAV with frame
threads (thread_type="AUTO", frame.to_ndarray) and the ffmpeg command on a pipe read with
numpy.frombuffer, in BGRA (moviehost's zero-copy views) and in RGB (arrays of their own).

    pythonReadBench.py once METHOD MOVIE       one pass in this process; prints: frames/s peak-MiB cpu-s
    pythonReadBench.py compare ROUNDS MOVIE... each movie read by each method in turn (A B C A B C ...),
                                               each pass a fresh process; prints medians and paired ratios

Every method hands each frame over as a (height, width, channels) uint8 array, top row first, and the
consumer touches one byte of every 16 pixels of it, so all do the same work with the pixels. Peak
memory is the reading process's, plus moviehost's or ffmpeg's. cpu-s is the processor time of both.
KR_BENCH_MOVIEHOST names another moviehost program, to compare builds.
"""

import os
import resource
import statistics
import subprocess
import sys
import time

import numpy as np



def touch(frame):
    return int(frame[:, ::16, 0].sum())


def peak_mib_of(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmHWM:"):
                return int(line.split()[1]) / 1024
    return 0.0


def processor_seconds():
    total = 0.0
    for who in (resource.RUSAGE_SELF, resource.RUSAGE_CHILDREN):
        usage = resource.getrusage(who)
        total += usage.ru_utime + usage.ru_stime
    return total


def read_moviehost(path, format):
    import moviehost

    with moviehost.MovieReader(path, format=format, moviehost=os.environ.get("KR_BENCH_MOVIEHOST")) as reader:
        for frame in reader:
            touch(frame)
        frames = len(reader)
        helper_peak = peak_mib_of(reader.moviehost_pid)
    return frames, helper_peak


def read_pyav(path, format):
    import av

    with av.open(path) as container:
        stream = container.streams.video[0]
        # Frame threads, as fast as PyAV decodes.
        stream.thread_type = "AUTO"
        frames = 0
        for frame in container.decode(stream):
            touch(frame.to_ndarray(format=format))
            frames += 1
    return frames, 0.0


def read_pipe(path, format):
    probe = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                            "stream=width,height", "-of", "csv=p=0", path],
                           check=True, capture_output=True, text=True).stdout
    width, height = (int(x) for x in probe.strip().split(","))
    channels = 3 if format == "rgb24" else 4
    size = width * height * channels
    command = ["ffmpeg", "-nostdin", "-v", "error", "-i", path, "-f", "rawvideo", "-pix_fmt", format, "-"]
    frames = 0
    with subprocess.Popen(command, stdout=subprocess.PIPE) as ffmpeg:
        while len(data := ffmpeg.stdout.read(size)) == size:
            touch(np.frombuffer(data, np.uint8).reshape(height, width, channels))
            frames += 1
    child_peak = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024
    return frames, child_peak


# Each method: how it reads, and the format it hands frames over in.
METHODS = {
    "moviehost": (read_moviehost, "bgra"),
    "pyav": (read_pyav, "bgra"),
    "pipe": (read_pipe, "bgra"),
    "moviehost-rgb24": (read_moviehost, "rgb24"),
    "pyav-rgb24": (read_pyav, "rgb24"),
}
# The peer each method is compared with, in the same format.
PEERS = {"pyav": "moviehost", "pipe": "moviehost", "pyav-rgb24": "moviehost-rgb24"}


def once(method, path):
    read, format = METHODS[method]
    start = time.perf_counter()
    frames, other_peak = read(path, format)
    seconds = time.perf_counter() - start
    own_peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024
    print(f"{frames / seconds:.2f} {own_peak + other_peak:.0f} {processor_seconds():.2f}")


def compare(rounds, movies):
    for path in movies:
        runs = {method: [] for method in METHODS}
        for _ in range(rounds):
            for method in METHODS:
                line = subprocess.run([sys.executable, __file__, "once", method, path], check=True,
                                      capture_output=True, text=True).stdout.split()
                runs[method].append([float(x) for x in line])
        name = os.path.splitext(os.path.basename(path))[0]
        for method in METHODS:
            rates, peaks, cpus = zip(*runs[method])
            compared = ""
            if method in PEERS:
                ours = [r[0] for r in runs[PEERS[method]]]
                ratio = statistics.median(a / b for a, b in zip(ours, rates))
                compared = f"   {PEERS[method]} x{ratio:.2f} (median of paired rounds)"
            print(f"{name:<10} {method:<15} {statistics.median(rates):7.1f} frames/s  "
                  f"peak {statistics.median(peaks):5.0f} MiB  cpu {statistics.median(cpus):6.2f} s{compared}")
    load = " ".join(f"{x:.2f}" for x in os.getloadavg())
    print(f"{rounds} rounds, methods alternated; load average {load} on {os.cpu_count()} cores")


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "once" and sys.argv[2] in METHODS:
        once(sys.argv[2], sys.argv[3])
    elif len(sys.argv) >= 4 and sys.argv[1] == "compare":
        compare(int(sys.argv[2]), sys.argv[3:])
    else:
        sys.exit(__doc__)
