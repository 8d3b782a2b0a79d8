# SPDX-License-Identifier: Apache-2.0
"""Installing: the installed tree holds the package where Debian's interpreter looks under the
prefix, and that package starts its prefix's moviehost; pip builds the package offline into a
virtual environment, which then carries its own moviehost; without NumPy, import says so."""

import os
import pathlib
import subprocess
import sys

import pytest

from conftest import make_movie

SOURCE = pathlib.Path(os.environ.get("KR_SOURCE_DIR", ""))
BUILD = pathlib.Path(os.environ.get("KR_BUILD_DIR", ""))
VERSION = os.environ.get("KR_RELEASE_VERSION")

# Prints where the package is, its version, the moviehost it started and a frame's shape.
READ_ONE_FRAME = """
import os, sys, moviehost
with moviehost.MovieReader(sys.argv[1]) as reader:
    print(moviehost.__file__, moviehost.__version__, os.readlink(f"/proc/{reader.moviehost_pid}/exe"),
          "x".join(map(str, reader[0].shape)))
"""


def run_python(python, code, *args, pythonpath=None):
    """Runs code without the test's PYTHONPATH and with no moviehost on PATH."""
    env = {key: value for key, value in os.environ.items() if key != "PYTHONPATH"}
    env["PATH"] = "/usr/bin:/bin"
    if pythonpath:
        env["PYTHONPATH"] = str(pythonpath)
    return subprocess.run([str(python), "-c", code, *map(str, args)], env=env, capture_output=True, text=True)


@pytest.fixture(scope="module")
def movie(tmp_path_factory):
    return make_movie(tmp_path_factory.mktemp("install") / "m.mov", ["-c:v", "png"], size="24x16", frames=2)


def test_the_installed_package_is_where_debians_python_looks_and_starts_its_prefixs_moviehost(tmp_path, movie):
    prefix = tmp_path / "usr" / "local"
    subprocess.run(["cmake", "--install", str(BUILD), "--prefix", str(prefix)], check=True, capture_output=True)
    searched = run_python("/usr/bin/python3", "import sys; print('\\n'.join(sys.path))").stdout.split()
    folders = [pathlib.Path(p).relative_to("/usr/local") for p in searched if p.startswith("/usr/local/")]
    installed = [folder for folder in folders if (prefix / folder / "moviehost" / "__init__.py").exists()]
    assert installed, f"no moviehost package in any of {folders} under {prefix}"
    # The temporary prefix stands in for /usr/local, which a test does not write to.
    read = run_python("/usr/bin/python3", READ_ONE_FRAME, movie, pythonpath=prefix / installed[0])
    assert read.returncode == 0, read.stderr
    location, version, started, shape = read.stdout.split()
    assert location == str(prefix / installed[0] / "moviehost" / "__init__.py")
    assert version == VERSION
    assert started == str(prefix / "bin" / "moviehost")
    assert shape == "16x24x3"


def test_pip_installs_offline_into_a_virtual_environment_with_its_own_moviehost(tmp_path, movie):
    venv = tmp_path / "venv"
    subprocess.run(["/usr/bin/python3", "-m", "venv", "--system-site-packages", str(venv)], check=True)
    python = venv / "bin" / "python"
    # The developer's configured tree is built in, not a fresh one, to keep the test short.
    installed = subprocess.run([str(python), "-m", "pip", "install", "--no-build-isolation", "--no-index", str(SOURCE)],
                               env={**os.environ, "KR_CMAKE_BUILD_DIR": str(BUILD)}, capture_output=True, text=True)
    assert installed.returncode == 0, installed.stdout + installed.stderr
    read = run_python(python, READ_ONE_FRAME + "import importlib.metadata as m; print(m.version('moviehost'))",
                      movie)
    assert read.returncode == 0, read.stderr
    location, version, started, shape, distribution = read.stdout.split()
    package = pathlib.Path(location).parent
    assert package.is_relative_to(venv)
    assert version == distribution == VERSION
    assert started == str(package / "moviehost")
    assert shape == "16x24x3"


def test_without_numpy_import_says_it_is_needed():
    code = "import sys; sys.modules['numpy'] = None; import moviehost"
    imported = run_python(sys.executable, code, pythonpath=os.environ["PYTHONPATH"])
    assert imported.returncode != 0
    assert "ImportError: moviehost needs numpy" in imported.stderr
