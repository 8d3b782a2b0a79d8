# SPDX-License-Identifier: Apache-2.0
"""Shared fixtures: test movies made with the ffmpeg command, and the C++ client's programs."""

import os
import pathlib
import subprocess

import av
import numpy as np
import pytest

BIN_DIR = pathlib.Path(os.environ.get("KR_BIN_DIR", ""))


def make_movie(path, codec_options, size="64x48", frames=12, rate="25", extra=()):
    """A test-pattern movie (testsrc2: every frame differs) written by the ffmpeg command."""
    subprocess.run(
        ["ffmpeg", "-nostdin", "-v", "error", "-f", "lavfi", "-i", f"testsrc2=size={size}:rate={rate}",
         "-frames:v", str(frames), *codec_options, *extra, "-y", str(path)],
        check=True)
    return path


def read_png_rgba(path):
    """A PNG decoded by FFmpeg through PyAV, as (height, width, 4) red, green, blue, alpha."""
    with av.open(str(path)) as container:
        return next(container.decode(video=0)).to_ndarray(format="rgba")


def client_frames(movie, directory):
    """Every frame of the movie as the C++ client writes it (moviehost-client frames), as RGBA."""
    subprocess.run([str(BIN_DIR / "moviehost-client"), "frames", str(movie), str(directory)],
                   check=True, capture_output=True)
    return np.stack([read_png_rgba(p) for p in sorted(pathlib.Path(directory).glob("frame-*.png"))])


def as_rgba(frames, format):
    """Frames of a reader's format as red, green, blue, alpha (alpha 255 for rgb24)."""
    if format == "bgra":
        return frames[..., [2, 1, 0, 3]]
    if format == "rgb24":
        return np.concatenate([frames, np.full(frames.shape[:-1] + (1,), 255, np.uint8)], axis=-1)
    return frames


@pytest.fixture(scope="session")
def movies(tmp_path_factory):
    """Small movies shared by the tests: mjpeg with a timecode track, and libx264 with B-frames."""
    folder = tmp_path_factory.mktemp("movies")
    return {
        "mjpeg": make_movie(folder / "mjpeg.mov", ["-c:v", "mjpeg", "-q:v", "3"], extra=["-timecode", "01:00:00:00"]),
        "libx264": make_movie(folder / "libx264.mov", ["-c:v", "libx264", "-preset", "veryfast", "-bf", "2",
                                                       "-pix_fmt", "yuv420p"], size="66x38"),
    }
