# The examples of docs/python.md run as written, and the type stub describes what the package has.
import ast
import re
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
