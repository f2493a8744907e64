# estimate_many gives every location exactly what estimate gives it alone, on any number of
# threads, for inputs of any shape.
import numpy as np
import pytest

import zentrel

# Scattered points include sea points, where estimate() notes the altitude it takes.
pytestmark = pytest.mark.filterwarnings("ignore:note. the point is sea")


def scattered(count, seed=7):
    """Locations over Europe, Africa and the Atlantic (sea points included), fixed by the seed."""
    rng = np.random.default_rng(seed)
    return rng.uniform(-20, 40, count), rng.uniform(-35, 65, count)


@pytest.fixture(scope="module")
def var(db):
    return db.variables[0]


def test_ManyEqualsOneByOneForEveryQuantity(db, var):
    lons, lats = scattered(40)
    many = db.estimate_many(lons, lats, var=var, quantities=zentrel.QUANTITIES + ("active_count",), threads=2)
    for i, (lon, lat) in enumerate(zip(lons, lats)):
        one = db.estimate(lon, lat, var=var)
        for q in zentrel.QUANTITIES:
            np.testing.assert_array_equal(many[q][i], getattr(one, q), err_msg=f"{q} at location {i}")
        assert many["active_count"][i] == one.active_count


def test_OneThreadAndSeveralThreadsGiveIdenticalArrays(db, var):
    lons, lats = scattered(300, seed=3)
    one = db.estimate_many(lons, lats, var=var, quantities=("best", "stderr", "bias"), threads=1)
    several = db.estimate_many(lons, lats, var=var, quantities=("best", "stderr", "bias"), threads=3)
    for q in one:
        np.testing.assert_array_equal(one[q], several[q], err_msg=q)


def test_RobustMethodAndSettingsReachEveryWorker(db, var):
    lons, lats = scattered(20, seed=11)
    many = db.estimate_many(lons, lats, var=var, method="robust", max_stat=5, threads=2)
    for i in (0, 7, 19):
        one = db.estimate(lons[i], lats[i], var=var, method="robust", max_stat=5)
        np.testing.assert_array_equal(many["best"][i], one.best)


def test_LocationWithoutNeighboursGetsNanNotThePreviousLocationsValues(db, var):
    # A point in the middle of the Pacific with a small search radius has no neighbour; it comes
    # after a land point on the same worker.
    lons, lats = np.array([12.48, -140.0]), np.array([41.9, 0.0])
    many = db.estimate_many(lons, lats, alts=[20, 0], var=var, max_dist=50,
                            quantities=("best", "active_count"), threads=1)
    assert many["active_count"][1] == 0
    assert np.isnan(many["best"][1]).all()
    assert many["active_count"][0] > 0 and not np.isnan(many["best"][0]).any()


@pytest.mark.parametrize("method", zentrel.METHODS)
def test_WhatWasNotEstimatedIsNanNeverZero(db, var, method):
    # A lattice over Africa with a short search radius: places without, with one and with few
    # neighbours beside well-surrounded ones.
    lons, lats = np.meshgrid(np.arange(-15, 50, 2.5), np.arange(-35, 35, 2.5))
    out = db.estimate_many(lons.ravel(), lats.ravel(), var=var, method=method, max_dist=400,
                           quantities=("best", "stderr", "low", "high", "bias", "active_count"))
    active = out["active_count"]
    none, one = active == 0, active == 1
    assert none.any() and one.any(), "the lattice should hold places without and with one neighbour"
    for q in ("best", "stderr", "low", "high", "bias"):
        assert np.isnan(out[q][none]).all(), q
        assert np.isnan(out[q][one, 12]).all(), q  # a single station gives no annual value
    no_error = np.isnan(out["stderr"][:, 0]) & ~none
    assert no_error.any(), "the lattice should hold places with too few stations for an error"
    for q in ("low", "high", "bias"):
        assert np.array_equal(np.isnan(out[q][:, :12]), np.isnan(out["stderr"][:, :12])), q
    assert not (out["stderr"] == 0).any(), "a standard error of 0 is one that was not estimated"


def test_ShapeOfTheInputIsKeptWithThirteenValuesLast(db, var):
    lons, lats = np.meshgrid(np.linspace(10, 14, 3), np.linspace(40, 44, 2))
    many = db.estimate_many(lons, lats, var=var, quantities=("best", "active_count"))
    assert many["best"].shape == (2, 3, 13)
    assert many["best"].dtype == np.float32
    assert many["active_count"].shape == (2, 3)
    flat = db.estimate_many(lons.ravel(), lats.ravel(), var=var)
    np.testing.assert_array_equal(many["best"].reshape(-1, 13), flat["best"])


def test_MissingAltitudesComeFromTheElevationRaster(db, var):
    lons, lats = np.array([12.48, 7.65, 2.35]), np.array([41.9, 45.9, 48.86])
    raster_alts, _ = db.altitude(lons, lats)
    from_raster = db.estimate_many(lons, lats, var=var)
    np.testing.assert_array_equal(db.estimate_many(lons, lats, alts=raster_alts, var=var)["best"], from_raster["best"])
    partly = db.estimate_many(lons, lats, alts=[np.nan, raster_alts[1], np.nan], var=var)
    np.testing.assert_array_equal(from_raster["best"], partly["best"])
    given = db.estimate_many(lons, lats, alts=[3000, 3000, 3000], var=var)
    assert not np.array_equal(given["best"], from_raster["best"])


def test_EmptyInputGivesEmptyArrays(db, var):
    many = db.estimate_many([], [], var=var)
    assert many["best"].shape == (0, 13)


def test_ListsAndScalarsAreAccepted(db, var):
    many = db.estimate_many(12.48, 41.9, var=var, quantities="best")
    assert list(many) == ["best"]
    assert many["best"].shape == (13,)
    np.testing.assert_array_equal(many["best"], db.estimate(12.48, 41.9, var=var).best)


def test_OneDatabaseServesSeveralPythonThreadsAtOnce(db, var):
    from concurrent.futures import ThreadPoolExecutor
    lons, lats = scattered(24, seed=5)
    alone = [db.estimate(lon, lat, var=var).best for lon, lat in zip(lons, lats)]
    with ThreadPoolExecutor(4) as pool:
        together = list(pool.map(lambda p: db.estimate(p[0], p[1], var=var).best, zip(lons, lats)))
    for a, b in zip(alone, together):
        np.testing.assert_array_equal(a, b)
