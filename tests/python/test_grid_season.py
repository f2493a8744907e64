# grid is the command line's surface as a Dataset; cycles and growing_seasons give the
# dekadal/daily values and growing periods of an estimate.

import numpy as np
import pytest

import zentrel
from conftest import run_cli

BOX = (11.0, 41.0, 13.0, 43.0)  # west, south, east, north: central Italy with some sea


def name(var, annual=False):
    """The Dataset's variable of a variable's estimate (as the command line's netCDF names it)."""
    if not annual:
        return var.lower()
    return var.lower() + ("_annual_total" if var in ("Prec", "PET") else "_annual_mean")


def test_GridIsTheCommandLinesNetcdf(db, data_folder, tmp_path):
    xr = pytest.importorskip("xarray")
    pytest.importorskip("netCDF4")
    var = db.variables[0]
    path = tmp_path / "cli.nc"
    code, _, err = run_cli("raster", "--data", data_folder, "--var", var, "--period", "all", "--quantities",
                           "best,stderr,low", "--level", "95", "--bbox", ",".join(map(str, BOX)), "--res", "0.5",
                           "--method", "robust", "--quiet", "-o", path)
    assert code == 0, err
    with xr.open_dataset(path) as cli:
        ds = db.grid(BOX, 0.5, var=var, quantities=("best", "stderr", "low"), level=95, method="robust")
        xr.testing.assert_identical(ds, cli)
        aligned, _ = xr.align(ds, cli, join="exact")  # the same cells
        assert aligned.sizes == {"time": 12, "lat": 4, "lon": 4, "nv": 2}


def test_GridCellsAreTheEstimatesAtTheirPoints(db):
    pytest.importorskip("xarray")
    for var in [v for v in ("Temp", "Prec") if v in db.variables]:
        ds = db.grid(BOX, 0.5, var=var, quantities=("best", "stderr"), method="robust")
        assert ds[name(var)].dims == ("time", "lat", "lon")
        np.testing.assert_allclose(ds["lon"], [11.25, 11.75, 12.25, 12.75])
        np.testing.assert_allclose(ds["lat"], [42.75, 42.25, 41.75, 41.25])  # from the north, as in the file
        best = ds[name(var)].values
        land = ~np.isnan(best[0])
        assert land.any() and (~land).any(), "the box should hold land and sea"
        lon2, lat2 = np.meshgrid(ds["lon"].values, ds["lat"].values)
        many = db.estimate_many(lon2[land], lat2[land], var=var, method="robust")
        np.testing.assert_array_equal(best[:, land].T, many["best"][:, :12])
        np.testing.assert_array_equal(ds[name(var) + "_stderr"].values[:, land].T, many["stderr"][:, :12])
        # The year: the total of the months of an amount (as estimate_many gives it too), the
        # mean of the others, over a scalar time coordinate of the climatological year.
        year = ds[name(var, annual=True)]
        total = var in ("Prec", "PET")
        assert year.attrs["units"] == ds[name(var)].attrs["units"]
        how = "sum" if total else "mean"
        assert year.attrs["cell_methods"] == f"year_time: {how} within years year_time: mean over years"
        assert "year_time" in year.coords and year.coords["year_time"].dims == ()
        assert ds["year_time"].attrs["climatology"] == "year_climatology_bounds"
        assert ds["year_climatology_bounds"].dims == ("nv",)
        np.testing.assert_allclose(year.values[land], many["best"][:, 12], rtol=1e-6)
        np.testing.assert_allclose(ds[name(var, annual=True) + "_stderr"].values[land], many["stderr"][:, 12], rtol=1e-6)


def test_GridPeriodSelectsOneMonthOrTheAnnualValue(db):
    pytest.importorskip("xarray")
    var = db.variables[0]
    every = db.grid(BOX, 1, var=var)
    july = db.grid(BOX, 1, var=var, period="July")
    annual = db.grid(BOX, 1, var=var, period=13)
    assert july[name(var)].dims == ("time", "lat", "lon") and july.sizes["time"] == 1
    assert name(var, annual=True) not in july
    np.testing.assert_array_equal(july[name(var)].values[0], every[name(var)].values[6])
    assert name(var) not in annual and "time" not in annual.dims
    np.testing.assert_array_equal(annual[name(var, annual=True)].values, every[name(var, annual=True)].values)


def test_GridWithSeaEstimatesEveryCell(db):
    pytest.importorskip("xarray")
    var = db.variables[0]
    ds = db.grid(BOX, 1, var=var, sea=True, period=1)
    assert not np.isnan(ds[name(var)].values).any()


def test_GridAcrossTheDateLine(db):
    pytest.importorskip("xarray")
    var = db.variables[0]
    ds = db.grid((170, 60, -170, 70), 2, var=var, period=7)
    assert np.all(np.diff(ds["lon"].values) > 0) and ds["lon"].values[-1] == 189
    land = ~np.isnan(ds[name(var)].values[0])
    assert land[:, :5].any() and land[:, 5:].any()


def test_GridIsReadyForNetcdf(db, tmp_path):
    xr = pytest.importorskip("xarray")
    pytest.importorskip("netCDF4")
    var = db.variables[0]
    ds = db.grid(BOX, 1, var=var, period="annual")
    path = tmp_path / "grid.nc"
    ds.to_netcdf(path)
    with xr.open_dataset(path) as back:
        np.testing.assert_array_equal(back[name(var, annual=True)].values, ds[name(var, annual=True)].values)


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
