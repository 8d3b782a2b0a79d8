# SPDX-License-Identifier: Apache-2.0
"""Builds the package moviehost for pip with CMake: its extension and the moviehost program it
starts, which the package carries beside the extension. KR_CMAKE_BUILD_DIR names a configured
build folder to build in (a developer's build/release) instead of a fresh one; setuptools then
stages the wheel there too, so that builds from several such folders do not meet."""

import os
import pathlib
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

SOURCE = pathlib.Path(__file__).resolve().parent


def release_version():
    cmake = (SOURCE / "CMakeLists.txt").read_text()
    return re.search(r"^project\(\w+ VERSION ([0-9.]+)", cmake, re.MULTILINE).group(1)


def cached_value(build, name):
    cache = (build / "CMakeCache.txt").read_text()
    return re.search(rf"^{name}:\w+=(.*)$", cache, re.MULTILINE).group(1)


CONFIGURED_BUILD = os.environ.get("KR_CMAKE_BUILD_DIR")


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = pathlib.Path(CONFIGURED_BUILD or pathlib.Path(self.build_temp, "cmake")).resolve()
        if not (build / "CMakeCache.txt").exists():
            subprocess.run(["cmake", "-S", str(SOURCE), "-B", str(build), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                            "-DKR_BUILD_TESTS=OFF", "-DKR_BUILD_FRAMEWORK_USERS=OFF",
                            f"-DPython3_EXECUTABLE={sys.executable}"], check=True)
        subprocess.run(["cmake", "--build", str(build), "--target", "moviehostPython", "moviehost"], check=True)
        built = build / cached_value(build, "KR_INSTALL_PYTHONDIR") / "moviehost"
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy2(next(built.glob("_moviehost.*.so")), target)
        shutil.copy2(build / "bin" / "moviehost", target.parent / "moviehost")


setup(
    version=release_version(),
    packages=["moviehost"],
    package_dir={"moviehost": "movie-bridge/python/moviehost"},
    package_data={"moviehost": ["__init__.pyi", "py.typed"]},
    ext_modules=[Extension("moviehost._moviehost", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    options={"build": {"build_base": str(pathlib.Path(CONFIGURED_BUILD, "pip"))}} if CONFIGURED_BUILD else {},
)
