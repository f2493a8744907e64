# The module gives the command line's estimates bit for bit: every variable the database holds,
# both methods, at places of different kinds, with the altitude from the raster or given.
import json

import numpy as np
import pytest

import zentrel
from conftest import cli_json, run_cli

# (lon, lat, alt or None): a city, a high valley, a dry interior, the southern hemisphere,
# beyond 60 N (polar files), a coast point given its own altitude, and the corners of the map
# where the raster lookup and the distances wrap.
LOCATIONS = [
    (-180.0, -90.0, None),
    (180.0, 90.0, None),
    (12.48, 41.9, None),
    (86.92, 27.99, None),
    (25.0, 23.0, None),
    (-58.38, -34.6, None),
    (25.7, 66.5, None),
    (-9.14, 38.72, 450.0),
]
ARRAYS = {"Best": "best", "Bias": "bias", "StdErr": "stderr", "AbsGrad": "abs_grad",
          "DirecGrad": "direc_grad", "VertGrad": "vert_grad", "LongGradDeg": "long_grad_deg",
          "LatGradDeg": "lat_grad_deg", "LongGrad": "long_grad", "LatGrad": "lat_grad",
          "VertExplVar": "vert_expl_var", "AnnualCycle": "annual_cycle"}


# The command-line options of each method: the older switch for the robust one.
METHOD_OPTIONS = {"robust": ["--robust", 1]}


def as_float32(values):
    return np.array([np.nan if v is None else v for v in values], dtype=np.float32)


def cli_results(data_folder, db, lon, lat, alt, method):
    args = ["estimate", "--data", data_folder, "--lon", lon, "--lat", lat]
    if alt is not None:
        args += ["--alt", alt]
    args += METHOD_OPTIONS.get(method, ["--method", method])
    code, out, _ = run_cli(*args, "--var", "all", "--json")
    if code == 0:
        return {r["variable"]: r for r in json.loads(out) if r["variable"] in db.variables}
    # A database without some variable: one call per variable it holds.
    return {r["variable"]: r for v in db.variables for r in cli_json(*args, "--var", v)}


def assert_same(result, expected):
    for key, name in ARRAYS.items():
        np.testing.assert_array_equal(getattr(result, name), as_float32(expected["result"][key]), err_msg=key)
    assert result.direc_grad_name == expected["result"]["DirecGradName"]
    assert np.float32(result.alt) == np.float32(expected["location"]["alt"])
    assert result.neighbour_count == expected["neighbourCount"]
    assert result.active_count == expected["activeCount"]
    assert result.active_alt_count == expected["activeAltCount"]
    got = result.neighbour_list
    assert [n["name"] for n in got] == [n["name"] for n in expected["neighbours"]]
    for mine, theirs in zip(got, expected["neighbours"]):
        assert mine["active"] == bool(theirs["active"])
        for key in ("lon", "lat", "alt", "dist", "dir", "weight"):
            assert np.float32(mine[key]) == np.float32(theirs[key]), key
        np.testing.assert_array_equal(mine["data"], as_float32(theirs["data"]))
        assert (mine["source"], mine["period"]) == (theirs["source"], theirs["period"])
    assert result.warnings == expected["warnings"]
    assert result.messages == expected["messages"]


@pytest.mark.parametrize("method", zentrel.METHODS)
@pytest.mark.parametrize("lon,lat,alt", LOCATIONS)
def test_EveryHeldVariableMatchesTheCommandLine(db, data_folder, lon, lat, alt, method):
    expected = cli_results(data_folder, db, lon, lat, alt, method)
    assert expected, "the database holds no variable"
    for var, theirs in expected.items():
        mine = db.estimate(lon, lat, alt, var=var, method=method)
        assert mine.variable == var
        assert_same(mine, theirs)


def test_SettingsKeywordsMatchTheCommandLineOptions(db, data_folder):
    var = db.variables[0]
    expected = cli_json("estimate", "--data", data_folder, "--lon", 12.48, "--lat", 41.9, "--var", var,
                        "--maxstat", 7, "--maxdist", 600, "--powexp", 2, "--gradcorr", 0, "--shad", 0.5)[0]
    mine = db.estimate(12.48, 41.9, var=var, max_stat=7, max_dist=600, pow_exp=2, grad_corr=False, shad=0.5)
    assert_same(mine, expected)


def test_LowAndHighAreTheTableBoundsAtTheLevel(db):
    r = db.estimate(12.48, 41.9, level=95)
    k = np.float32(1.96)
    np.testing.assert_array_equal(r.low, (r.best - k * r.stderr).astype(np.float32))
    low99, high99 = r.bounds(99)
    assert np.all(low99 <= r.low) and np.all(high99 >= r.high)


def test_NeighboursTableHasOneRowPerNeighbour(db):
    pd = pytest.importorskip("pandas")
    r = db.estimate(12.48, 41.9)
    table = r.neighbours
    assert isinstance(table, pd.DataFrame)
    assert len(table) == r.neighbour_count
    assert list(table["name"]) == [n["name"] for n in r.neighbour_list]
    assert table["jan"].iloc[0] == r.neighbour_list[0]["data"][0]


def test_NeighboursWithoutPandasAreAList(db, monkeypatch):
    import sys
    monkeypatch.setitem(sys.modules, "pandas", None)  # import pandas now fails
    r = db.estimate(12.48, 41.9)
    assert isinstance(r.neighbours, list)
    assert [n["name"] for n in r.neighbours] == [n["name"] for n in r.neighbour_list]


def test_SeaPointWithoutAltitudeIsEstimatedAtZeroMetresWithANote(db):
    with pytest.warns(UserWarning, match="the point is sea in the elevation raster; altitude 0 m is used"):
        r = db.estimate(-30.0, 40.0)
    assert r.alt == 0
