# SPDX-License-Identifier: Apache-2.0
"""Threads: every wait on moviehost lets the GIL go, so a thread pool reads and writes several
movies at once; one reader shared by threads serves one read at a time."""

import contextlib
import os
import signal
import threading
from concurrent.futures import ThreadPoolExecutor

import numpy as np

import moviehost
from conftest import make_movie


def test_other_threads_run_while_a_read_waits_for_moviehost(movies):
    with moviehost.MovieReader(movies["mjpeg"]) as reader:
        expected = reader[5].copy()
        entered = threading.Event()
        got = []

        def read():
            entered.set()
            got.append(reader[5].copy())

        # A stopped moviehost cannot answer: the read waits until it is continued.
        os.kill(reader.moviehost_pid, signal.SIGSTOP)
        try:
            worker = threading.Thread(target=read)
            worker.start()
            entered.wait()
            # Had the waiting read kept the GIL, this thread would run again only once the
            # read had ended (by its time-out, long after this join gives up).
            worker.join(timeout=0.5)
            assert worker.is_alive() and not got
        finally:
            with contextlib.suppress(ProcessLookupError):
                os.kill(reader.moviehost_pid, signal.SIGCONT)
        worker.join()
        assert len(got) == 1 and np.array_equal(got[0], expected)


def test_a_thread_pool_reads_and_writes_several_movies_at_once(tmp_path):
    sources = [make_movie(tmp_path / f"in{i}.mov", ["-c:v", "mjpeg"], size=f"{40 + 8 * i}x24", frames=8)
               for i in range(4)]

    def transcode(index):
        target = tmp_path / f"out{index}.mov"
        with moviehost.MovieReader(sources[index]) as reader:
            frames = reader[:]
            with moviehost.MovieWriter(target, reader.width, reader.height, reader.rate, codec="png") as writer:
                for frame in reader:
                    writer.write(frame)
        with moviehost.MovieReader(target) as written:
            return frames, written[:]

    sequential = [moviehost.MovieReader(s)[:] for s in sources]
    with ThreadPoolExecutor(max_workers=4) as pool:
        results = list(pool.map(transcode, range(4)))
    for expected, (read, written) in zip(sequential, results):
        assert np.array_equal(read, expected)
        assert np.array_equal(written, expected)


def test_threads_sharing_one_reader_take_turns(movies):
    with moviehost.MovieReader(movies["libx264"]) as reader:
        every = reader[:]
        requests = [(i * 5) % len(every) for i in range(40)]
        with ThreadPoolExecutor(max_workers=4) as pool:
            got = list(pool.map(lambda i: (reader[i:i + 1][0], reader.timecode(i)), requests))
    for i, (frame, timecode) in zip(requests, got):
        assert np.array_equal(frame, every[i]) and timecode is None
