# SPDX-License-Identifier: Apache-2.0
"""Movies read into NumPy arrays through moviehost, and written from them."""

import os
from types import TracebackType
from typing import Iterator, Literal, NamedTuple, overload

import numpy as np
import numpy.typing as npt

Frame = npt.NDArray[np.uint8]
Format = Literal["rgb24", "rgba", "bgra"]

__version__: str

class MoviehostError(RuntimeError):
    """A movie job failed.

    exit_code is moviehost's exit code (None when moviehost did not end the job itself) and text
    its own failure text (empty when it gave none).
    """

    exit_code: int | None
    text: str

class MovieNotFoundError(FileNotFoundError, MoviehostError):
    """No movie at the path: errno ENOENT and the path as filename, moviehost's exit_code -6 and its text."""

class Timecode(NamedTuple):
    """A timecode: hours, minutes, seconds, frames and whether it counts drop-frame."""

    hours: int
    minutes: int
    seconds: int
    frames: int
    drop_frame: bool

def codecs(*, moviehost: str | None = None) -> list[str]:
    """The codec type names moviehost can write with, in its order."""

class MovieReader:
    """A movie read through moviehost, frame by frame, into NumPy.

    In "rgb24" (the default) and "rgba", reader[i] is a (height, width, 3 or 4) uint8 array of its
    own, C-contiguous, top row first. In "bgra" it is a read-only (height, width, 4) view (blue,
    green, red, alpha; top row first) of the section moviehost draws into, valid until the next
    read of this reader: keep such a frame with .copy(). reader[a:b:c] is always a new
    (n, height, width, channels) array.
    """

    def __init__(
        self, path: str | os.PathLike[str], *, format: Format = "rgb24", moviehost: str | None = None
    ) -> None: ...
    @property
    def path(self) -> str: ...
    @property
    def format(self) -> Format: ...
    @property
    def width(self) -> int: ...
    @property
    def height(self) -> int: ...
    @property
    def frame_count(self) -> int: ...
    @property
    def rate(self) -> int:
        """Frames per second, a whole number (truncated)."""
    @property
    def moviehost_pid(self) -> int: ...
    @property
    def closed(self) -> bool: ...
    def __len__(self) -> int: ...
    @overload
    def __getitem__(self, key: int) -> Frame: ...
    @overload
    def __getitem__(self, key: slice) -> Frame: ...
    def __iter__(self) -> Iterator[Frame]: ...
    def timecode(self, index: int) -> Timecode | int | None:
        """The timecode at a frame; an int for a counter track; None without timecode.

        Reads the frame unless it was read before, so a bgra view of another frame is overwritten.
        """
    def close(self) -> None:
        """Ends the job; raises MoviehostError when moviehost ends with a failure."""
    def __enter__(self) -> MovieReader: ...
    def __exit__(
        self,
        type: type[BaseException] | None,
        value: BaseException | None,
        traceback: TracebackType | None,
    ) -> None: ...

class MovieWriter:
    """A movie written through moviehost from NumPy pictures, then sound tracks."""

    def __init__(
        self,
        path: str | os.PathLike[str],
        width: int,
        height: int,
        fps: float,
        codec: str = "mjpeg",
        quality: int = 50,
        alpha: bool = False,
        *,
        format: Format | None = None,
        moviehost: str | None = None,
    ) -> None: ...
    @property
    def path(self) -> str: ...
    @property
    def width(self) -> int: ...
    @property
    def height(self) -> int: ...
    @property
    def fps(self) -> float: ...
    @property
    def codec(self) -> str: ...
    @property
    def quality(self) -> int: ...
    @property
    def alpha(self) -> bool: ...
    @property
    def format(self) -> Format | None: ...
    @property
    def frames_written(self) -> int: ...
    @property
    def closed(self) -> bool: ...
    def write(self, picture: npt.ArrayLike) -> None:
        """Adds one frame: (height, width, channels) uint8 in the writer's format, top row first.

        Without a format: red, green, blue and an optional alpha.
        """
    def add_sound(
        self, samples: npt.ArrayLike | bytes | bytearray | memoryview, rate: int, channels: int, bits: int
    ) -> None:
        """Adds one sound track after the frames: interleaved int16 (16 bits) or uint8 (8 bits) samples."""
    def close(self) -> None:
        """Completes the movie; raises MoviehostError when moviehost cannot."""
    def __enter__(self) -> MovieWriter: ...
    def __exit__(
        self,
        type: type[BaseException] | None,
        value: BaseException | None,
        traceback: TracebackType | None,
    ) -> None: ...
