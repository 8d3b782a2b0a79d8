# SPDX-License-Identifier: Apache-2.0
"""Writing: pictures of every accepted layout written losslessly and read back exactly, sound
tracks checked by FFmpeg's own decode, and the codec list against the C++ client's."""

import subprocess

import av
import numpy as np
import pytest

import moviehost
from conftest import BIN_DIR, make_movie

WIDTH, HEIGHT = 33, 19


def pictures(count, channels, seed=7):
    return np.random.default_rng(seed).integers(0, 256, (count, HEIGHT, WIDTH, channels), dtype=np.uint8)


def read_back(path):
    with moviehost.MovieReader(path, format="rgba") as reader:
        return reader[:], reader.rate


def as_bgra(rgba):
    return np.ascontiguousarray(rgba[..., [2, 1, 0, 3]])


@pytest.mark.parametrize("layout, format", [
    ("rgb", None), ("rgba into rgb", None), ("rgb into rgba", None), ("rgba", None), ("strided", None),
    ("reversed rows", None), ("rgb", "rgb24"), ("rgba", "rgba"), ("rgba", "bgra"), ("rgba into rgb", "bgra"),
    ("strided", "bgra"),
])
def test_pictures_of_every_layout_come_back_exactly(tmp_path, layout, format):
    alpha = layout in ("rgb into rgba", "rgba")
    source = pictures(4, 4 if layout in ("rgba into rgb", "rgba") or format == "bgra" else 3)
    given = {
        # Every other pixel of a wider picture, and its channels through a negative stride.
        "strided": lambda p: np.ascontiguousarray(np.repeat(p[..., ::-1], 2, axis=1))[:, ::2, ::-1],
        "reversed rows": lambda p: np.ascontiguousarray(p[::-1])[::-1],
    }.get(layout, lambda p: p)
    in_format = as_bgra if format == "bgra" else lambda p: p
    path = tmp_path / "out.mov"
    with moviehost.MovieWriter(path, WIDTH, HEIGHT, 24, codec="png", alpha=alpha, format=format) as writer:
        assert writer.format == format
        for picture in source:
            writer.write(given(in_format(picture)))
        assert writer.frames_written == 4
    frames, rate = read_back(path)
    assert rate == 24
    assert np.array_equal(frames[..., :3], source[..., :3])
    if alpha:
        expected_alpha = source[..., 3] if source.shape[-1] == 4 else np.full(source.shape[:-1], 255, np.uint8)
        assert np.array_equal(frames[..., 3], expected_alpha)


@pytest.mark.parametrize("format", ["rgb24", "rgba", "bgra"])
def test_a_movie_copied_frame_by_frame_in_one_format_is_the_same_movie(tmp_path, movies, format):
    copy = tmp_path / "copy.mov"
    with moviehost.MovieReader(movies["mjpeg"], format=format) as reader:
        original = reader[:]
        with moviehost.MovieWriter(copy, reader.width, reader.height, reader.rate, codec="png",
                                   format=format) as writer:
            for frame in reader:
                writer.write(frame)
    with moviehost.MovieReader(copy, format=format) as reader:
        assert np.array_equal(reader[:], original)


def decoded_sound(path):
    """Every sound track of the movie as FFmpeg decodes it: (codec tag, rate, channels, samples)."""
    with av.open(str(path)) as container:
        streams = list(container.streams.audio)
        decoded = {stream.index: [] for stream in streams}
        for packet in container.demux(*streams):
            decoded[packet.stream.index] += [frame.to_ndarray() for frame in packet.decode()]
        return [(s.codec_context.codec_tag, s.rate, s.channels, np.concatenate(decoded[s.index], axis=1))
                for s in streams]


def test_sound_tracks_follow_the_frames(tmp_path):
    stereo = np.random.default_rng(3).integers(-32768, 32768, (4800 * 3 + 7, 2), dtype=np.int16)
    mono = bytes(range(256)) * 20
    path = tmp_path / "sound.mov"
    with moviehost.MovieWriter(path, WIDTH, HEIGHT, 25) as writer:
        writer.write(pictures(1, 3)[0])
        writer.add_sound(stereo, 48000, 2, 16)
        writer.add_sound(mono, 22050, 1, 8)
        with pytest.raises(ValueError, match="come before its sound tracks"):
            writer.write(pictures(1, 3)[0])
    (tag16, rate16, channels16, samples16), (tag8, rate8, channels8, samples8) = decoded_sound(path)
    assert (tag16, rate16, channels16) == ("sowt", 48000, 2)
    assert np.array_equal(samples16.reshape(-1, 2), stereo)
    assert (tag8, rate8, channels8) == ("raw ", 22050, 1)
    assert np.array_equal(samples8.ravel(), np.frombuffer(mono, np.uint8))
    assert len(read_back(path)[0]) == 1


@pytest.mark.parametrize("codec", ["mjpeg", "prores_ks", "libx264"])
def test_lossy_codecs_write_movies_ffmpeg_reads(tmp_path, codec):
    source = np.zeros((6, HEIGHT + 1, WIDTH + 1, 3), np.uint8)
    source[:, :, :, 0] = np.linspace(0, 255, 6, dtype=np.uint8)[:, None, None]
    path = tmp_path / f"{codec}.mov"
    with moviehost.MovieWriter(path, WIDTH + 1, HEIGHT + 1, 25, codec=codec, quality=90) as writer:
        for picture in source:
            writer.write(picture)
    with av.open(str(path)) as container:
        decoded = np.stack([f.to_ndarray(format="rgb24") for f in container.decode(video=0)])
        assert container.streams.video[0].codec_context.name == {"prores_ks": "prores", "libx264": "h264"}.get(codec, codec)
    assert decoded.shape == source.shape
    assert np.abs(decoded.astype(int) - source).max() <= 12


def test_codecs_are_the_cpp_clients_list():
    listed = subprocess.run([str(BIN_DIR / "moviehost-client"), "codecs"], check=True, capture_output=True,
                            text=True).stdout.split()
    names = moviehost.codecs()
    assert names == listed
    assert {"mjpeg", "png", "prores_ks", "libx264"} <= set(names)
