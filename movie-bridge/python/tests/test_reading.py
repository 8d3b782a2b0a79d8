# SPDX-License-Identifier: Apache-2.0
"""Reading: frames of every format against the C++ client's, zero-copy views of the section and
their lifetime, frames of their own, indexes, slices, iteration and timecode."""

import gc
import subprocess

import numpy as np
import pytest

import moviehost
from conftest import as_rgba, client_frames, make_movie


@pytest.mark.parametrize("codec, options, size", [
    ("mjpeg", ["-c:v", "mjpeg", "-q:v", "3"], "63x37"),
    ("libx264", ["-c:v", "libx264", "-preset", "veryfast", "-bf", "3", "-pix_fmt", "yuv420p"], "66x38"),
    ("prores_ks", ["-c:v", "prores_ks", "-profile:v", "3"], "64x48"),
    ("png", ["-c:v", "png", "-pix_fmt", "rgba"], "31x17"),
    ("png", ["-c:v", "png", "-pix_fmt", "rgb24"], "5x4"),
])
def test_frames_equal_the_cpp_clients_in_every_order(tmp_path, codec, options, size):
    movie = make_movie(tmp_path / f"{codec}.mov", options, size=size, frames=10)
    expected = client_frames(movie, tmp_path / "client")
    for format in ("rgb24", "rgba", "bgra"):
        with moviehost.MovieReader(movie, format=format) as reader:
            assert (reader.height, reader.width) == expected.shape[1:3]
            assert reader.frame_count == len(reader) == len(expected)
            forwards = np.stack([frame.copy() for frame in reader])
            backwards = reader[::-1]
            scattered = np.stack([reader[i].copy() for i in (7, 2, 9, 0, 2)])
        want = expected.copy()
        if format == "rgb24":
            assert forwards.shape[-1] == 3
            want[..., 3] = 255
        assert np.array_equal(as_rgba(forwards, format), want), format
        assert np.array_equal(as_rgba(backwards, format), want[::-1]), format
        assert np.array_equal(as_rgba(scattered, format), want[[7, 2, 9, 0, 2]]), format


def section_mapping(address):
    """The line of /proc/self/maps whose range holds the address: (start, end, path)."""
    with open("/proc/self/maps") as maps:
        for line in maps:
            fields = line.split(maxsplit=5)
            start, end = (int(x, 16) for x in fields[0].split("-"))
            if start <= address < end:
                return start, end, fields[5].strip() if len(fields) > 5 else ""
    raise AssertionError(f"address {address:#x} is in no mapping")


def test_a_bgra_frame_is_a_read_only_view_of_the_mapped_section(movies):
    with moviehost.MovieReader(movies["mjpeg"], format="bgra") as reader:
        frame = reader[4]
        top_row = frame.__array_interface__["data"][0]
        start, end, path = section_mapping(top_row)
        assert path.startswith("/memfd:moviehost-section")
        # The bottom row sits right after the 20-byte header; rows go up by a negative stride.
        assert frame.strides == (-reader.width * 4, 4, 1)
        assert top_row + (reader.height - 1) * frame.strides[0] == start + 20
        assert end - start >= reader.width * reader.height * 4 + 20
        assert not frame.flags.owndata and not frame.flags.writeable
        with pytest.raises(ValueError):
            frame[0, 0, 0] = 1
        assert reader[5].__array_interface__["data"][0] == top_row


def test_a_kept_view_shows_the_next_frame_read_and_a_copy_keeps_its_own(movies):
    with moviehost.MovieReader(movies["mjpeg"], format="bgra") as reader:
        every = reader[:]
        kept = reader[0]
        own = kept.copy()
        reader[6]
        assert np.array_equal(kept, every[6])
        assert np.array_equal(own, every[0])
        assert not np.array_equal(every[0], every[6])


@pytest.mark.parametrize("format, channels", [("rgb24", 3), ("rgba", 4)])
def test_rgb_frames_are_c_contiguous_arrays_of_their_own(movies, format, channels):
    with moviehost.MovieReader(movies["libx264"], format=format) as reader:
        assert reader.format == format
        every = reader[:]
        kept = list(reader)
        first = reader[0]
    assert every.shape == (len(kept), reader.height, reader.width, channels) and every.flags.c_contiguous
    assert all(frame.flags.owndata and frame.flags.c_contiguous for frame in kept)
    assert np.array_equal(np.stack(kept), every)
    assert np.array_equal(np.frombuffer(first, np.uint8).reshape(first.shape), every[0])
    assert not np.array_equal(kept[0], kept[-1])


def test_views_stay_readable_after_the_reader_is_closed_and_gone(movies):
    reader = moviehost.MovieReader(movies["mjpeg"], format="bgra")
    last = reader[3].copy()
    view = reader[3]
    reader.close()
    assert reader.closed
    with pytest.raises(ValueError, match="closed movie reader"):
        reader[0]
    with pytest.raises(ValueError, match="closed movie reader"):
        reader[0:2]
    del reader
    gc.collect()
    assert np.array_equal(view, last)


def test_indexes_and_slices_behave_as_for_python_sequences(movies):
    with moviehost.MovieReader(movies["mjpeg"]) as reader:
        count = len(reader)
        every = reader[:]
        assert every.shape == (count, reader.height, reader.width, 3) and every.flags.owndata
        cases = [slice(10, 0, -1), slice(-3, None), slice(None, None, 4), slice(5, 2), slice(-100, 100, 5)]
        for selection in cases:
            assert np.array_equal(reader[selection], every[selection]), selection
        for index in (0, count - 1, -1, -count, np.int64(3), np.uint8(2)):
            assert np.array_equal(reader[index], every[index]), index
        for index in (count, -count - 1, 2**40, -2**63, 2**70):
            with pytest.raises(IndexError):
                reader[index]
        for key in (1.0, "1", None, (1, 2)):
            with pytest.raises(TypeError):
                reader[key]
        with pytest.raises(ValueError, match="'rgb24', 'rgba' and 'bgra'"):
            moviehost.MovieReader(movies["mjpeg"], format="yuv420p")
        with pytest.raises(ValueError):
            reader[::0]
        assert [f.copy().sum() for f in reader] == [f.sum() for f in every]


def test_movie_properties_match_ffprobe(movies):
    probe = subprocess.run(
        ["ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets", "-show_entries",
         "stream=width,height,nb_read_packets", "-of", "csv=p=0", str(movies["libx264"])],
        check=True, capture_output=True, text=True).stdout.strip().split(",")
    with moviehost.MovieReader(movies["libx264"]) as reader:
        assert [reader.width, reader.height, reader.frame_count] == [int(x) for x in probe]
        assert reader.rate == 25
        assert reader.path == str(movies["libx264"])
        assert "66x38, 12 frames at 25 fps, rgb24" in repr(reader)


@pytest.mark.parametrize("rate, start, frames, expected", [
    ("25", "01:00:00:00", (0, 11, -1), [(1, 0, 0, 0, False), (1, 0, 0, 11, False), (1, 0, 0, 11, False)]),
    ("30000/1001", "00:00:59;28", (0, 1, 2, 3), [(0, 0, 59, 28, True), (0, 0, 59, 29, True),
                                                  (0, 1, 0, 2, True), (0, 1, 0, 3, True)]),
    ("25", None, (0, 5), [None, None]),
])
def test_timecode_of_a_frame(tmp_path, rate, start, frames, expected):
    extra = ["-timecode", start] if start else []
    movie = make_movie(tmp_path / "tc.mov", ["-c:v", "mjpeg"], rate=rate, extra=extra)
    with moviehost.MovieReader(movie) as reader:
        assert [reader.timecode(i) for i in frames] == expected
        if start:
            assert reader.timecode(0).hours == expected[0][0]


def test_timecode_draws_only_frames_not_read_before(movies):
    with moviehost.MovieReader(movies["mjpeg"], format="bgra") as other:
        every = other[:]
    with moviehost.MovieReader(movies["mjpeg"], format="bgra") as reader:
        view = reader[2]
        reader.timecode(2)
        assert np.array_equal(view, every[2])
        reader.timecode(8)
        assert np.array_equal(view, every[8])
        with pytest.raises(IndexError):
            reader.timecode(12)
