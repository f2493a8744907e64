#!/usr/bin/env python3
"""Checks the layers of src/core: no include points to a folder above its own.

The layers, lowest first, are listed in LAYERS (src/core/README.md says what each holds). A file
may include files of its own folder and of the folders below it; an include of a higher folder
is printed as FILE:LINE with both folders, and the exit code is 1. Includes of other libraries
(<...>, and "..." names outside src/core) are not checked.

Usage: scripts/check-layers.py [CORE_DIR]   (default: src/core beside this script)
"""
import re
import sys
from pathlib import Path

# Lowest first. The files at the top of src/core (error.h, text_lines.h, ...) count as base/.
LAYERS = ["base", "files", "settings", "data", "season", "neighbours", "kriging", "engine", "formats", "locations", "maps",
          "validation", "batch"]
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def folder_of(relative: Path) -> str:
    return relative.parts[0] if len(relative.parts) > 1 else "base"


def violations(core: Path):
    """(file, line number, own folder, included folder) of every include that points upwards, and
    the folders of src/core that LAYERS does not name."""
    rank = {name: i for i, name in enumerate(LAYERS)}
    folders = sorted(p.name for p in core.iterdir() if p.is_dir())
    unknown = [f for f in folders if f not in rank]
    found = []
    for path in sorted(core.rglob("*")):
        if path.suffix not in (".h", ".cpp") or not path.is_file():
            continue
        own = folder_of(path.relative_to(core))
        for number, line in enumerate(path.read_text(encoding="utf-8", errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            if not match:
                continue
            target = Path(match.group(1))
            if len(target.parts) > 1 and target.parts[0] not in rank:
                continue  # another library's header
            if len(target.parts) == 1 and not (core / target).is_file():
                continue  # a header beside the file itself, or another library's
            other = folder_of(target)
            if own in rank and rank[other] > rank[own]:
                found.append((path.relative_to(core), number, own, other))
    return found, unknown


def main(argv):
    core = Path(argv[1]) if len(argv) > 1 else Path(__file__).resolve().parent.parent / "src" / "core"
    found, unknown = violations(core)
    for folder in unknown:
        print(f"{core / folder}: a folder the layers do not name; add it to LAYERS in {Path(__file__).name}")
    for path, number, own, other in found:
        print(f"{core / path}:{number}: {own}/ includes {other}/, a layer above it")
    if found or unknown:
        print(f"layers, lowest first: {' < '.join(LAYERS)}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
