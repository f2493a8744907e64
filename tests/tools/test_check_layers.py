# The layers of src/core: the real tree keeps them, and the check sees an include that breaks them.
import importlib.util
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
module_source = importlib.util.spec_from_file_location("check_layers", ROOT / "scripts" / "check-layers.py")
check_layers = importlib.util.module_from_spec(module_source)
module_source.loader.exec_module(check_layers)


def test_core_includes_point_only_downwards():
    found, unknown = check_layers.violations(ROOT / "src" / "core")
    assert unknown == []
    assert found == []


def make_core(tmp_path, files):
    for name, text in files.items():
        path = tmp_path / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text)
    return tmp_path


def test_upward_include_is_named_with_file_line_and_folders(tmp_path):
    core = make_core(tmp_path, {
        "base/types.h": "#pragma once\n",
        "engine/engine.h": '#pragma once\n#include "base/types.h"\n',
        "data/station.h": '#pragma once\n#include <vector>\n#include "engine/engine.h"\n',
        "neighbours/search.h": '#pragma once\n#include "kriging/kriging.h"\n',  # the layer right above
        "kriging/kriging.h": '#pragma once\n#include "neighbours/search.h"\n',
    })
    found, unknown = check_layers.violations(core)
    assert unknown == []
    assert found == [(Path("data/station.h"), 3, "data", "engine"), (Path("neighbours/search.h"), 2, "neighbours", "kriging")]


def test_top_level_files_count_as_base(tmp_path):
    core = make_core(tmp_path, {
        "error.h": '#pragma once\n#include "settings/method.h"\n',
        "settings/method.h": '#pragma once\n#include "error.h"\n',
    })
    found, _ = check_layers.violations(core)
    assert found == [(Path("error.h"), 2, "base", "settings")]


def test_folder_missing_from_the_layers_is_reported(tmp_path):
    core = make_core(tmp_path, {"gadgets/thing.h": '#include "base/types.h"\n', "base/types.h": ""})
    _, unknown = check_layers.violations(core)
    assert unknown == ["gadgets"]


def test_other_libraries_headers_are_not_checked(tmp_path):
    core = make_core(tmp_path, {"base/types.h": '#include "fmt/format.h"\n#include "nlohmann/json.hpp"\n'})
    assert check_layers.violations(core) == ([], [])
