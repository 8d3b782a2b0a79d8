# SPDX-License-Identifier: Apache-2.0
"""Movies read into NumPy arrays through moviehost, and written from them.

MovieReader hands out frames as RGB or RGBA arrays of their own, or as zero-copy BGRA views of
moviehost's shared section; MovieWriter writes frames and sound; codecs() lists the codec names
MovieWriter accepts. Failures raise MoviehostError (MovieNotFoundError for a movie that is not
there).
"""

# The extension hands out NumPy arrays; without NumPy it would fail only at the first frame.
try:
    import numpy as _numpy  # noqa: F401
except ImportError as missing:
    raise ImportError(
        "moviehost needs numpy, which this Python cannot import (Debian: apt install python3-numpy; in a "
        "virtual environment made with --system-site-packages Debian's numpy is seen; else pip install numpy)"
    ) from missing

from ._moviehost import (
    MovieNotFoundError,
    MovieReader,
    MovieWriter,
    MoviehostError,
    Timecode,
    __version__,
    codecs,
)

__all__ = ["MovieNotFoundError", "MovieReader", "MovieWriter", "MoviehostError", "Timecode", "codecs"]

# Named by the package, where callers import them from (reprs, pickles sent between processes).
for _name in __all__:
    globals()[_name].__module__ = __name__
del _name, _numpy
