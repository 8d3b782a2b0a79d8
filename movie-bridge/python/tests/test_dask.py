# SPDX-License-Identifier: Apache-2.0
"""Batches on a cluster: the example examples/transcodeOnDask.py, run against the scheduler of a
LocalCluster of two worker processes, transcodes a folder losslessly (every output frame equals its
source frame as FFmpeg decodes both) and reports the movie that failed."""

import logging
import os
import pathlib
import subprocess
import sys

import av
import numpy as np
import pytest
from distributed import LocalCluster

from conftest import make_movie

EXAMPLE = pathlib.Path(os.environ.get("KR_SOURCE_DIR", "")) / "examples" / "transcodeOnDask.py"


@pytest.fixture
def scheduler():
    """The address of a LocalCluster's scheduler; the cluster and its workers end with the test."""
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                      silence_logs=logging.ERROR) as cluster:
        yield cluster.scheduler_address


def decoded(path):
    with av.open(str(path)) as container:
        return np.stack([frame.to_ndarray(format="rgb24") for frame in container.decode(video=0)])


def test_a_folder_is_transcoded_one_task_per_movie_and_failures_are_reported(tmp_path, scheduler):
    sources = tmp_path / "sources"
    sources.mkdir()
    for name, size, frames in [("a.mov", "40x24", 6), ("b.mp4", "33x17", 4), ("c.mov", "64x48", 5)]:
        make_movie(sources / name, ["-c:v", "png", "-pix_fmt", "rgb24"] if name.endswith(".mov")
                   else ["-c:v", "libx264rgb", "-qp", "0"], size=size, frames=frames)
    (sources / "broken.mov").write_text("no movie at all\n")
    (sources / "notes.txt").write_text("not a movie, not a task\n")
    targets = tmp_path / "targets"

    run = subprocess.run([sys.executable, str(EXAMPLE), str(sources), str(targets), "--scheduler", scheduler],
                         capture_output=True, text=True, timeout=120)

    assert run.returncode == 1, run.stdout + run.stderr
    lines = run.stdout.splitlines()
    assert lines[-1] == "3 transcoded, 1 failed"
    failed = [line for line in lines if line.startswith("failed")]
    assert len(failed) == 1 and failed[0].startswith(f"failed {sources / 'broken.mov'}: MoviehostError: ")
    assert "exit code -6" in failed[0]
    done = [line for line in lines if line.startswith("done")]
    assert len(done) == 3 and all(" on tcp://" in line for line in done)
    assert sorted(p.name for p in targets.iterdir()) == ["a.mov", "b.mp4.mov", "c.mov"]
    for source in ("a.mov", "b.mp4", "c.mov"):
        target = targets / (source if source.endswith(".mov") else source + ".mov")
        assert np.array_equal(decoded(target), decoded(sources / source)), source
