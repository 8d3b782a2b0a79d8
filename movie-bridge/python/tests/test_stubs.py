# SPDX-License-Identifier: Apache-2.0
"""The type stubs beside the module name exactly what the module offers, with docstrings."""

import ast
import inspect
import pathlib

import moviehost


def stub_names():
    stub = pathlib.Path(moviehost.__file__).with_name("__init__.pyi")
    tree = ast.parse(stub.read_text())
    names = {}
    for node in tree.body:
        if isinstance(node, ast.ClassDef):
            names[node.name] = {n.target.id if isinstance(n, ast.AnnAssign) else n.name
                                for n in node.body if isinstance(n, (ast.FunctionDef, ast.AnnAssign))}
        elif isinstance(node, ast.FunctionDef):
            names[node.name] = set()
    return names


def test_stubs_match_the_module():
    stubs = stub_names()
    public = {name for name in dir(moviehost) if not name.startswith("_")}
    assert set(stubs) == public
    for cls in (moviehost.MovieReader, moviehost.MovieWriter):
        offered = {name for name, _ in inspect.getmembers(cls) if not name.startswith("_")}
        offered |= {name for name in ("__init__", "__len__", "__getitem__", "__iter__", "__enter__", "__exit__")
                    if name in cls.__dict__}
        assert stubs[cls.__name__] == offered, cls.__name__
        assert cls.__doc__ and all(getattr(cls, name).__doc__ for name in ("close", "__init__"))
    assert stubs["MoviehostError"] == {"exit_code", "text"}
    assert stubs["Timecode"] == set(moviehost.Timecode._fields)
    assert moviehost.__doc__ and moviehost.codecs.__doc__
