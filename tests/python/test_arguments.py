# Bad arguments raise ValueError or zentrel.DataError with the command line's messages, never crash.
import os
import shutil
from pathlib import Path

import numpy as np
import pytest

import zentrel
from conftest import cli_error


def test_PositionOutOfRangeIsAValueError(db):
    for lon, lat in [(181, 0), (0, -91), (float("nan"), 0), (0, float("inf"))]:
        with pytest.raises(ValueError, match=r"lon must lie in -180..180 and lat in -90..90"):
            db.estimate(lon, lat)


def test_UnknownVariableNamesTheVariables(db):
    with pytest.raises(ValueError, match="var must be one of Temp, Tmax, Tmin, Prec, Vap, PET, Wind, Sun"):
        db.estimate(12.48, 41.9, var="Rain")


def test_VariableNamesAreCaseInsensitiveAsOnTheCommandLine(db):
    var = db.variables[0]
    np.testing.assert_array_equal(db.estimate(12.48, 41.9, var=var.lower()).best, db.estimate(12.48, 41.9, var=var).best)


def test_UnknownMethodNamesTheAllowedMethods(db):
    with pytest.raises(ValueError) as caught:
        db.estimate(12.48, 41.9, method="kriging")
    for method in zentrel.METHODS:
        assert method in str(caught.value)
    with pytest.raises(ValueError, match="described, robust"):
        db.estimate_many([12.48], [41.9], method="")


def test_LevelMustBe90Or95Or99(db):
    with pytest.raises(ValueError, match="level must be 90, 95 or 99"):
        db.estimate(12.48, 41.9, level=80)
    r = db.estimate(12.48, 41.9)
    with pytest.raises(ValueError):
        r.bounds(50)
    with pytest.raises(ValueError):
        zentrel.cycles(r, level=1)


def test_NonFiniteAltitudeIsAValueError(db):
    with pytest.raises(ValueError, match="alt must be"):
        db.estimate(12.48, 41.9, float("nan"))


def test_SettingChecksGiveTheCommandLinesMessages(db, data_folder):
    cases = [({"max_stat": 21}, ["--maxstat", 21]), ({"max_stat": 0}, ["--maxstat", 0]),
             ({"max_dist": 30000}, ["--maxdist", 30000]), ({"pow_exp": -1}, ["--powexp", -1]),
             ({"pow_exp": 6}, ["--powexp", 6]), ({"shad": 2}, ["--shad", 2]), ({"shad": -0.5}, ["--shad=-0.5"])]
    for keywords, options in cases:
        expected = cli_error("estimate", "--data", data_folder, "--lon", 12.48, "--lat", 41.9, *options)
        with pytest.raises(ValueError) as caught:
            db.estimate(12.48, 41.9, **keywords)
        assert str(caught.value) == expected, keywords


def test_NonIntegerStationCountAndTextsAreRefused(db):
    with pytest.raises(ValueError, match="max_stat: Number of stations must be an integer"):
        db.estimate(12.48, 41.9, max_stat=2.5)
    with pytest.raises(ValueError, match='max_dist needs a number, not "far"'):
        db.estimate(12.48, 41.9, max_dist="far")
    with pytest.raises(ValueError, match="needs a number"):
        db.estimate(12.48, 41.9, max_dist=float("nan"))
    with pytest.raises(ValueError, match="needs a number"):
        db.estimate(12.48, 41.9, max_dist=[1])
    with pytest.raises(ValueError, match="alt_corr must be 0 or 1"):
        db.estimate(12.48, 41.9, alt_corr=2)


def test_WholeFloatStationCountIsTheInteger(db):
    np.testing.assert_array_equal(db.estimate(12.48, 41.9, max_stat=5.0).best, db.estimate(12.48, 41.9, max_stat=5).best)


def test_UnknownSettingNamesTheSettings(db):
    with pytest.raises(ValueError) as caught:
        db.estimate(12.48, 41.9, maxstat=5)
    for name in zentrel.SETTINGS:
        assert name in str(caught.value)


def test_SmallMinimumDistanceIsCorrectedWithANote(db):
    with pytest.warns(UserWarning, match="note: "):
        r = db.estimate(12.48, 41.9, min_dist=0.01)
    np.testing.assert_array_equal(r.best, db.estimate(12.48, 41.9).best)


def test_MissingFolderIsADataErrorWithTheCommandLinesMessage(tmp_path):
    missing = tmp_path / "nowhere"
    expected = cli_error("estimate", "--data", missing, "--lon", 12.48, "--lat", 41.9)
    with pytest.raises(zentrel.DataError) as caught:
        zentrel.Database(missing)
    assert str(caught.value) == expected


def test_BrokenStationFileIsADataErrorNamingTheFile(tmp_path, data_folder):
    folder = tmp_path / "broken"
    folder.mkdir()
    (folder / "max.txt").write_text("41.9, 12.5, 20, 1, 2, 3, 4, x, 6, 7, 8, 9, 10, 11, 12, \"A\", \"IT\"\n")
    args = ["estimate", "--data", folder, "--lon", 12.48, "--lat", 41.9, "--alt", 20]
    expected = cli_error(*args, "--var", "Tmax")
    broken = zentrel.Database(folder)
    with pytest.raises(zentrel.DataError) as caught:
        broken.estimate(12.48, 41.9, 20, var="Tmax")
    assert str(caught.value) == expected
    assert "max.txt" in str(caught.value)
    # A variable whose file is missing, and the elevation raster that is missing.
    expected = cli_error(*args, "--var", "Sun")
    with pytest.raises(zentrel.DataError) as caught:
        broken.estimate_many([12.48], [41.9], [20], var="Sun")
    assert str(caught.value) == expected
    with pytest.raises(zentrel.DataError):
        broken.estimate(12.48, 41.9, var="Tmax")


def test_ArraysOfTheWrongShapeOrKindAreValueErrors(db):
    with pytest.raises(ValueError, match="same shape"):
        db.estimate_many([1, 2], [3])
    with pytest.raises(ValueError, match="alts"):
        db.estimate_many([1, 2], [3, 4], alts=[1])
    with pytest.raises(ValueError, match="lons must be an array of numbers"):
        db.estimate_many(["a"], [3])
    with pytest.raises(ValueError, match="location 1 is"):
        db.estimate_many([1, 200], [3, 4])
    with pytest.raises(ValueError, match="threads"):
        db.estimate_many([1], [3], threads=-1)
    with pytest.raises(ValueError, match="unknown quantity"):
        db.estimate_many([1], [3], quantities=("best", "median"))


def test_GridArgumentsAreChecked(db):
    with pytest.raises(ValueError, match="bbox takes four numbers"):
        db.grid((1, 2, 3), 0.5)
    with pytest.raises(ValueError, match="east must differ from west"):
        db.grid((12, 40, 12, 42), 0.5)
    with pytest.raises(ValueError, match="res must be a positive number"):
        db.grid((12, 40, 14, 42), 0)
    with pytest.raises(ValueError, match="period"):
        db.grid((12, 40, 14, 42), 0.5, period=14)
    with pytest.raises(ValueError, match="not a quantity"):
        db.grid((12, 40, 14, 42), 0.5, quantities=("best", "median"))


def test_VariableWithoutNormalsIsRefusedAsOnTheCommandLine(db, data_folder):
    missing = [v for v in zentrel.VARIABLES if v not in db.variables]
    if not missing:
        pytest.skip("the database holds every variable")
    message = cli_error("estimate", "--data", data_folder, "--lon", 12.48, "--lat", 41.9, "--var", missing[0])
    for call in (lambda: db.estimate(12.48, 41.9, var=missing[0]),
                 lambda: db.estimate_many([12.48], [41.9], var=missing[0]),
                 lambda: db.grid((12, 41, 13, 42), 0.5, var=missing[0])):
        with pytest.raises(zentrel.DataError) as e:
            call()
        assert str(e.value) == message


def test_GrowingSeasonsRefuseTheWrongVariableOrLength(db):
    with pytest.raises(ValueError, match="prec must be an estimate of Prec"):
        zentrel.growing_seasons(db.estimate(12.48, 41.9, var="Temp"), [1] * 12)
    with pytest.raises(ValueError, match="12 monthly values"):
        zentrel.growing_seasons([1] * 11, [1] * 12)
    with pytest.raises(ValueError, match="not a number"):
        zentrel.growing_seasons([float("nan")] * 12, [1] * 12)
