# grid lays estimate_many over a regular grid with the raster's land mask; cycles and
# growing_seasons give the dekadal/daily values and growing periods of an estimate.
import sys

import numpy as np
import pytest

import zentrel
from conftest import run_cli

BOX = (11.0, 41.0, 13.0, 43.0)  # west, south, east, north: central Italy with some sea


def test_GridCellsAreTheEstimatesAtTheirPoints(db):
    xr = pytest.importorskip("xarray")
    var = db.variables[0]
    ds = db.grid(BOX, 0.5, var=var, quantities=("best", "stderr"))
    assert isinstance(ds, xr.Dataset)
    assert ds["best"].dims == ("month", "lat", "lon")
    np.testing.assert_allclose(ds["lon"], [11, 11.5, 12, 12.5, 13])
    np.testing.assert_allclose(ds["lat"], [41, 41.5, 42, 42.5, 43])
    lon2, lat2 = np.meshgrid(ds["lon"].values, ds["lat"].values)
    _, sea = db.altitude(lon2, lat2)
    assert sea.any() and (~sea).any(), "the box should hold land and sea"
    assert np.isnan(ds["best"].values[:, sea]).all()
    many = db.estimate_many(lon2[~sea], lat2[~sea], var=var)
    np.testing.assert_array_equal(ds["best"].values[:, ~sea].T, many["best"])
    np.testing.assert_array_equal(ds["stderr"].values[:, ~sea].T, many["stderr"])


def test_GridPeriodSelectsOneMonthOrTheAnnualValue(db):
    pytest.importorskip("xarray")
    var = db.variables[0]
    every = db.grid(BOX, 1, var=var)
    july = db.grid(BOX, 1, var=var, period="July")
    annual = db.grid(BOX, 1, var=var, period=13)
    assert july["best"].dims == ("lat", "lon")
    np.testing.assert_array_equal(july["best"].values, every["best"].values[6])
    np.testing.assert_array_equal(annual["best"].values, every["best"].values[12])


def test_GridWithSeaEstimatesEveryCell(db):
    pytest.importorskip("xarray")
    ds = db.grid(BOX, 1, var=db.variables[0], sea=True, period=1)
    assert not np.isnan(ds["best"].values).any()


def test_GridWithoutXarrayGivesNumpyArrays(db, monkeypatch):
    monkeypatch.setitem(sys.modules, "xarray", None)  # import xarray now fails
    out = db.grid(BOX, 1, var=db.variables[0], quantities=("best",))
    assert isinstance(out, dict)
    assert out["best"].shape == (13, 3, 3)
    np.testing.assert_allclose(out["lon"], [11, 12, 13])
    np.testing.assert_array_equal(out["month"], np.arange(1, 14))


def test_GridIsReadyForNetcdf(db, tmp_path):
    xr = pytest.importorskip("xarray")
    pytest.importorskip("netCDF4")
    ds = db.grid(BOX, 1, var=db.variables[0], period="annual")
    path = tmp_path / "grid.nc"
    ds.to_netcdf(path)
    back = xr.open_dataset(path)
    np.testing.assert_array_equal(back["best"].values, ds["best"].values)
    back.close()


def test_CyclesHaveTheDaysAndDekadsOfTheYear(db):
    r = db.estimate(12.48, 41.9, var=db.variables[0])
    plain = zentrel.cycles(r)
    assert plain["daily"].shape == (365,) and plain["dekadal"].shape == (36,)
    assert "daily_low" not in plain
    bounded = zentrel.cycles(r, level=95)
    np.testing.assert_array_equal(bounded["daily"], plain["daily"])
    assert np.all(bounded["daily_low"] <= bounded["daily"]) and np.all(bounded["daily"] <= bounded["daily_high"])
    assert np.all(bounded["dekadal_low"] <= bounded["dekadal_high"])
    # The daily course averages to the fitted annual mean.
    assert abs(plain["daily"].mean() - r.annual_cycle[12]) < 0.05 * max(1.0, abs(r.annual_cycle[12]))


def test_GrowingSeasonsMatchTheCommandLinesSeasonFile(db, data_folder, tmp_path):
    if not {"Prec", "PET"} <= set(db.variables):
        pytest.skip("the database holds no Prec or PET")
    for lon, lat in [(12.48, 41.9), (36.8, -1.28), (2.1, 13.5)]:
        prec, pet = db.estimate(lon, lat, var="Prec"), db.estimate(lon, lat, var="PET")
        out = tmp_path / "seasons.txt"
        code, _, err = run_cli("estimate", "--data", data_folder, "--lon", lon, "--lat", lat, "--var", "all",
                               "--format", "lgs-output", "-o", out)
        if code != 0 and "Wind" not in db.variables:
            pytest.skip("the command line's season file needs all eight variables")
        assert code == 0, err
        lines = out.read_bytes().decode("cp1252").splitlines()[2:]
        seasons = zentrel.growing_seasons(prec, pet)["seasons"]
        assert len(seasons) == len(lines)
        for season, line in zip(seasons, lines):
            fields = line.split(",")
            assert season["type"] == int(fields[6])
            assert np.float32(season["length"]) == np.float32(fields[7])
        same = zentrel.growing_seasons(prec.best[:12], pet.best)
        assert same == zentrel.growing_seasons(prec, pet)


def result_file_section(path, title):
    """The Best column of a section of the result file, one value per row until "Mean"."""
    lines = path.read_bytes().decode("cp1252").splitlines()
    start = next(i for i, line in enumerate(lines) if line.startswith(title))
    values = []
    for line in lines[start + 4:]:
        if line.startswith("Mean"):
            return np.array(values)
        values.append(float(line.split()[-1]))
    raise AssertionError(f"no end of {title}")


def test_CyclesMatchTheResultFilesDekadalAndDailySections(db, data_folder, tmp_path):
    for var in [v for v in ("Temp", "Prec") if v in db.variables]:
        path = tmp_path / f"{var}.zte"
        code, _, err = run_cli("estimate", "--data", data_folder, "--lon", 12.48, "--lat", 41.9, "--var", var,
                               "--format", "zte", "-o", path, "--quantities", "best", "--dekadal", "--daily")
        assert code == 0, err
        c = zentrel.cycles(db.estimate(12.48, 41.9, var=var))
        # The file writes two decimals.
        dekadal = result_file_section(path, "Estimated annual cycle of expectation values in dekadal")
        daily = result_file_section(path, "Estimated annual cycle of expectation values in daily")
        assert dekadal.shape == (36,) and daily.shape == (365,)
        np.testing.assert_allclose(c["dekadal"], dekadal, atol=0.0051, rtol=0, err_msg=var)
        np.testing.assert_allclose(c["daily"], daily, atol=0.0051, rtol=0, err_msg=var)
