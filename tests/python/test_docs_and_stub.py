# The examples of docs/python.md run as written, and the type stub describes what the package has.
import ast
import inspect
import os
import re
import subprocess
import sys
from pathlib import Path

import pytest

import zentrel

ROOT = Path(__file__).resolve().parents[2]


def test_PythonGuideExamplesRun(data_folder, monkeypatch, tmp_path, capsys):
    monkeypatch.setenv("ZENTREL_DATA", data_folder)
    monkeypatch.chdir(tmp_path)
    text = (ROOT / "docs" / "python.md").read_text()
    blocks = re.findall(r"```python\n(.*?)```", text, re.S)
    assert len(blocks) >= 3
    scope = {}
    for block in blocks:
        exec(compile(block, "docs/python.md", "exec"), scope)
    assert "Result" in capsys.readouterr().out


def stub_names():
    tree = ast.parse(Path(zentrel.__file__).with_suffix(".pyi").read_text())
    names, members = set(), {}
    for node in tree.body:
        if isinstance(node, (ast.FunctionDef, ast.ClassDef)):
            names.add(node.name)
        if isinstance(node, ast.ClassDef):
            members[node.name] = {n.name for n in node.body if isinstance(n, ast.FunctionDef)}
        if isinstance(node, (ast.AnnAssign,)) and isinstance(node.target, ast.Name):
            names.add(node.target.id)
    return names, members


def test_StubListsEveryPublicName():
    names, members = stub_names()
    for name in zentrel.__all__:
        assert name in names, name
    for cls in (zentrel.Database, zentrel.Result):
        public = {n for n in dir(cls) if not n.startswith("_")}
        assert public <= members[cls.__name__], public - members[cls.__name__]


def words(text):
    return " ".join((text or "").split())


def test_HelpShowsTheStubsDocstrings():
    """help() on the module shows what the stub says: the docstrings live in the module too."""
    tree = ast.parse(Path(zentrel.__file__).with_suffix(".pyi").read_text())
    checked = 0
    for node in tree.body:
        members = [(zentrel, node)] if isinstance(node, ast.FunctionDef) else []
        if isinstance(node, ast.ClassDef) and hasattr(zentrel, node.name):
            members = [(getattr(zentrel, node.name), n) for n in node.body if isinstance(n, ast.FunctionDef)]
        for owner, member in members:
            documented = ast.get_docstring(member)
            if not documented:
                continue
            runtime = inspect.getattr_static(owner, member.name)
            doc = getattr(runtime, "__doc__", None) or getattr(getattr(runtime, "__func__", None), "__doc__", None)
            assert words(documented) in words(doc), f"{getattr(owner, '__name__', owner)}.{member.name}"
            checked += 1
    assert checked > 30


def test_StubPassesStubtest():
    pytest.importorskip("mypy.stubtest")
    env = dict(os.environ, PYTHONPATH=str(Path(zentrel.__file__).resolve().parents[1]))
    allowlist = Path(__file__).with_name("stubtest-allowlist.txt")
    done = subprocess.run([sys.executable, "-m", "mypy.stubtest", "zentrel", "--ignore-missing-stub", "--allowlist",
                           str(allowlist)],
                          capture_output=True, text=True, env=env, timeout=600)
    assert done.returncode == 0, done.stdout[-4000:] + done.stderr[-2000:]
