# Shared fixtures of the Python module's tests: the package from the build tree, the data folder
# the command line of the same build uses, and a runner for that command line.
import json
import os
import subprocess
from pathlib import Path

import pytest

import zentrel

ZENTREL_BIN = os.environ.get("ZENTREL_BIN", "")


def run_cli(*args):
    """Runs the zentrel command line; returns (exit code, stdout, stderr)."""
    if not ZENTREL_BIN:
        pytest.skip("ZENTREL_BIN names no zentrel program")
    done = subprocess.run([ZENTREL_BIN, *map(str, args)], capture_output=True, text=True, timeout=120)
    return done.returncode, done.stdout, done.stderr


def cli_json(*args):
    code, out, err = run_cli(*args, "--json")
    assert code == 0, err
    value = json.loads(out)
    return value if isinstance(value, list) else [value]


def cli_error(*args):
    """The message the command line prints for a failure, without its "zentrel: " prefix."""
    code, _, err = run_cli(*args)
    assert code != 0
    lines = [line for line in err.splitlines() if line.startswith("zentrel: ") and "note:" not in line]
    assert lines, err
    return lines[0][len("zentrel: "):]


@pytest.fixture(scope="session")
def data_folder():
    folder = zentrel.default_data_folder()
    if not Path(folder, "10k8b.raw").is_file():
        pytest.skip(f"no data folder at {folder} (scripts/build-data.sh builds it)")
    return folder


@pytest.fixture(scope="session")
def db(data_folder):
    return zentrel.Database(data_folder)
