# SPDX-License-Identifier: Apache-2.0
"""Failures: moviehost's own exit codes and texts as MoviehostError, a moviehost that dies or
cannot start, and misuse refused before anything reaches moviehost."""

import errno
import os
import signal

import numpy as np
import pytest

import moviehost


@pytest.mark.parametrize("name, content, not_found", [
    ("missing.mov", None, True),
    ("text.mov", b"no movie at all\n", False),
    ("x" * 250 + ".mov", None, True),
    ("folder.mov", "folder", False),
])
def test_movies_that_cannot_be_read_raise_exit_code_minus_6(tmp_path, name, content, not_found):
    path = tmp_path / name
    if content == "folder":
        path.mkdir()
    elif content is not None:
        path.write_bytes(content)
    with pytest.raises(moviehost.MoviehostError) as raised:
        moviehost.MovieReader(path)
    assert raised.value.exit_code == -6
    assert raised.value.text == "failed to load movie"
    assert str(path) in str(raised.value)
    assert isinstance(raised.value, FileNotFoundError) == not_found
    if not_found:
        assert (raised.value.errno, raised.value.filename) == (errno.ENOENT, str(path))
    elif content != "folder":
        assert path.read_bytes() == content


@pytest.mark.parametrize("settings, code, text", [
    (dict(width=0, height=10, fps=25), -7, "failed to map memory"),
    (dict(width=10, height=10, fps=0), -51, "failed to create media"),
])
def test_set_ups_moviehost_refuses_raise_its_code_and_leave_its_text(tmp_path, settings, code, text):
    path = tmp_path / "refused.mov"
    with pytest.raises(moviehost.MoviehostError) as raised:
        moviehost.MovieWriter(path, **settings)
    assert raised.value.exit_code == code
    assert raised.value.text.startswith(text)
    assert path.read_text() == raised.value.text + "\n"


def test_sound_moviehost_refuses_ends_the_writer(tmp_path):
    path = tmp_path / "sound.mov"
    writer = moviehost.MovieWriter(path, 8, 8, 25)
    writer.write(np.zeros((8, 8, 3), np.uint8))
    with pytest.raises(moviehost.MoviehostError) as raised:
        writer.add_sound(np.zeros(100, np.int16), 70000, 1, 16)
    assert raised.value.exit_code == -51
    assert raised.value.text.startswith("failed to create media")
    assert writer.closed
    with pytest.raises(ValueError, match="closed movie writer"):
        writer.write(np.zeros((8, 8, 3), np.uint8))
    writer.close()


def test_misuse_is_refused_and_the_writer_carries_on(tmp_path):
    path = tmp_path / "out.mov"
    with moviehost.MovieWriter(path, 8, 6, 25, codec="png") as writer:
        for bad, error in [(np.zeros((6, 8, 3), np.float32), TypeError),
                           (np.zeros((6, 8, 3), np.int8), TypeError),
                           (np.zeros((8, 6, 3), np.uint8), ValueError),
                           (np.zeros((6, 8, 2), np.uint8), ValueError),
                           (np.zeros((6, 8), np.uint8), ValueError),
                           ([[1, 2, 3]], TypeError)]:
            with pytest.raises(error):
                writer.write(bad)
        writer.write(np.full((6, 8, 3), 9, np.uint8))
        for samples, channels, bits in [(np.zeros(5, np.int16), 2, 16), (np.zeros((4, 3), np.int16), 2, 16),
                                        (np.zeros(4, np.int32), 1, 16), (np.zeros((4, 4), np.int16)[:, ::2], 2, 16),
                                        (b"abc", 0, 8)]:
            with pytest.raises(ValueError):
                writer.add_sound(samples, 8000, channels, bits)
    with moviehost.MovieReader(path) as reader:
        assert len(reader) == 1 and int(reader[0][0, 0, 0]) == 9
    with pytest.raises(ValueError, match="codec type name"):
        moviehost.MovieWriter(path, 8, 6, 25, codec="c" * 32)


@pytest.mark.parametrize("settings, message", [
    (dict(codec="mjepg"), "no codec 'mjepg'; close matches: 'mjpeg'"),
    (dict(codec="ProRes_KS"), "close matches: 'prores_ks'"),
    (dict(codec="nothing-like-it"), r"no codec 'nothing-like-it' \(moviehost.codecs\(\) lists"),
    (dict(quality=101), "quality 101 .* outside 0 to 100"),
    (dict(quality=-1), "quality -1 .* outside 0 to 100"),
    (dict(format="rgb"), "'rgb24', 'rgba' and 'bgra'"),
])
def test_writer_settings_are_refused_before_any_file_is_made(tmp_path, settings, message):
    path = tmp_path / "never.mov"
    with pytest.raises(ValueError, match=message):
        moviehost.MovieWriter(path, 8, 6, 25, **settings)
    assert not path.exists()


def test_pictures_of_another_format_are_refused(tmp_path):
    with moviehost.MovieWriter(tmp_path / "out.mov", 8, 6, 25, codec="png", format="bgra") as writer:
        with pytest.raises(ValueError, match=r"\(6, 8, 4\) in bgra, not \(6, 8, 3\)"):
            writer.write(np.zeros((6, 8, 3), np.uint8))
        writer.write(np.zeros((6, 8, 4), np.uint8))
    with moviehost.MovieWriter(tmp_path / "out.mov", 8, 6, 25, codec="png", format="rgb24") as writer:
        with pytest.raises(ValueError, match=r"\(6, 8, 3\) in rgb24, not \(6, 8, 4\)"):
            writer.write(np.zeros((6, 8, 4), np.uint8))


def test_a_failure_inside_with_is_not_masked_and_the_movie_is_completed(tmp_path):
    path = tmp_path / "partial.mov"
    with pytest.raises(KeyError):
        with moviehost.MovieWriter(path, 8, 6, 25) as writer:
            writer.write(np.zeros((6, 8, 3), np.uint8))
            writer.write(np.zeros((6, 8, 3), np.uint8))
            raise KeyError("the caller's own failure")
    with moviehost.MovieReader(path) as reader:
        assert len(reader) == 2


def test_a_moviehost_that_dies_ends_the_reader_with_an_error(movies):
    reader = moviehost.MovieReader(movies["mjpeg"])
    reader[0]
    os.kill(reader.moviehost_pid, signal.SIGKILL)
    with pytest.raises(moviehost.MoviehostError) as raised:
        reader[1]
    assert raised.value.exit_code is None
    assert "moviehost" in str(raised.value)
    assert reader.closed
    reader.close()


def test_a_moviehost_that_cannot_start_is_named(tmp_path, movies):
    missing = str(tmp_path / "no-moviehost")
    for start in (lambda: moviehost.MovieReader(movies["mjpeg"], moviehost=missing),
                  lambda: moviehost.MovieWriter(tmp_path / "x.mov", 8, 8, 25, moviehost=missing),
                  lambda: moviehost.codecs(moviehost=missing)):
        with pytest.raises(moviehost.MoviehostError, match="no-moviehost") as raised:
            start()
        assert raised.value.exit_code is None


def test_moviehost_error_is_a_runtime_error_with_defaults():
    assert issubclass(moviehost.MoviehostError, RuntimeError)
    error = moviehost.MoviehostError("raised by a caller")
    assert (error.exit_code, error.text) == (None, "")
    assert issubclass(moviehost.MovieNotFoundError, moviehost.MoviehostError)
