# Bad arguments raise ValueError (naming the argument, in Python's manner) or zentrel.DataError
# with the command line's message, never crash; Python takes exactly what the command line takes.
# A database replaced under an open Database is seen whole.
import math
import os
import shutil
import warnings
from pathlib import Path

import numpy as np
import pytest

import zentrel
from conftest import cli_error, run_cli


def test_PositionOutOfRangeIsAValueErrorNamingTheArgument(db):
    cases = [((181, 0), "lon must be -180..180, got 181"), ((0, -91), "lat must be -90..90, got -91"),
             ((0, 91), "lat must be -90..90, got 91"),
             ((float("nan"), 0), "lon must be -180..180, got nan"), ((0, float("inf")), "lat must be -90..90, got inf")]
    for (lon, lat), message in cases:
        with pytest.raises(ValueError) as caught:
            db.estimate(lon, lat)
        assert str(caught.value) == message
        # Many locations at once: the same check, naming the list and the place in it.
        with pytest.raises(ValueError, match=r"^(lons|lats)\[0\] must be"):
            db.estimate_many([lon], [lat])


def test_UnknownVariableNamesTheVariables(db):
    with pytest.raises(ValueError, match="var must be one of Temp, Tmax, Tmin, Prec, Vap, PET, Wind, Sun"):
        db.estimate(12.48, 41.9, var="Rain")


def test_VariableNamesAreCaseInsensitiveAsOnTheCommandLine(db):
    var = db.variables[0]
    np.testing.assert_array_equal(db.estimate(12.48, 41.9, var=var.lower()).best, db.estimate(12.48, 41.9, var=var).best)


def test_UnknownMethodNamesTheAllowedMethods(db):
    with pytest.raises(ValueError) as caught:
        db.estimate(12.48, 41.9, method="krige")
    for method in zentrel.METHODS:
        assert method in str(caught.value)
    with pytest.raises(ValueError, match="described, robust"):
        db.estimate_many([12.48], [41.9], method="")


def test_LevelMustBe90Or95Or99(db):
    for level in (80, 91, 100):
        with pytest.raises(ValueError, match="level must be 90, 95 or 99"):
            db.estimate(12.48, 41.9, level=level)
    r = db.estimate(12.48, 41.9)
    with pytest.raises(ValueError):
        r.bounds(50)
    with pytest.raises(ValueError):
        zentrel.cycles(r, level=1)


# Python takes exactly the values the command line takes, and says why in Python's manner.
ACCEPTANCE = [("alt", -600, "--alt"), ("alt", 10000, "--alt"), ("alt", -1e6, "--alt"), ("alt", 1e6, "--alt"),
              ("alt", 1e30, "--alt"), ("max_stat", 20, "--maxstat"), ("max_stat", 50, "--maxstat"),
              ("max_stat", 0, "--maxstat"), ("max_dist", 22000, "--maxdist"), ("max_dist", 30000, "--maxdist"),
              ("max_dist", 0, "--maxdist"), ("min_dist", 5, "--mindist"), ("min_dist", 1e30, "--mindist"),
              ("pow_exp", -1, "--powexp"), ("pow_exp", 6, "--powexp"), ("shad", 2, "--shad"),
              ("shad", -0.5, "--shad"), ("min_high", -600, "--minhigh"), ("max_high", 20000, "--maxhigh")]


def test_PythonRefusesExactlyWhatTheCommandLineRefuses(db, data_folder):
    for keyword, value, option in ACCEPTANCE:
        code, _, err = run_cli("estimate", "--data", data_folder, "--lon", 12.48, "--lat", 41.9,
                               *(["--alt", 100] if keyword != "alt" else []), f"{option}={value}")
        args = {"alt": 100, keyword: value}
        if code == 0:
            db.estimate(12.48, 41.9, **args)
            continue
        assert code == 2, err
        with pytest.raises(ValueError) as caught:
            db.estimate(12.48, 41.9, **args)
        assert str(caught.value).startswith(f"{keyword} must be "), str(caught.value)
        assert str(caught.value).endswith(f", got {value!r}"), str(caught.value)


def test_ArgumentErrorsReadLikePython(db):
    cases = [({"max_stat": 50}, "max_stat must be 1..20, got 50"),
             ({"max_stat": 2.5}, "max_stat must be a whole number in 1..20, got 2.5"),
             ({"max_dist": "far"}, "max_dist must be more than 0 and at most 22000, got 'far'"),
             ({"max_dist": float("nan")}, "max_dist must be more than 0 and at most 22000, got nan"),
             ({"max_dist": [1]}, "max_dist must be more than 0 and at most 22000, got [1]"),
             ({"alt": float("inf")}, "alt must be -600..10000, got inf"),
             ({"level": 80}, "level must be 90, 95 or 99, got 80"),
             ({"level": float("nan")}, "level must be 90, 95 or 99, got nan")]
    for keywords, message in cases:
        with pytest.raises(ValueError) as caught:
            db.estimate(12.48, 41.9, **keywords)
        assert str(caught.value) == message
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


@pytest.mark.parametrize("how", ["data=", "ZENTREL_DATA", "nothing found"])
def test_MissingDataFolderErrorNamesWhereItLookedAndHowToNameOne(tmp_path, monkeypatch, how):
    missing = str(tmp_path / "nowhere")
    monkeypatch.delenv("ZENTREL_DATA", raising=False)
    monkeypatch.delenv("XDG_DATA_HOME", raising=False)
    monkeypatch.setenv("HOME", str(tmp_path / "home"))
    with pytest.raises(zentrel.DataError) as caught:
        if how == "data=":
            zentrel.Database(data=tmp_path / "nowhere")
        elif how == "ZENTREL_DATA":
            monkeypatch.setenv("ZENTREL_DATA", missing)
            zentrel.Database()
        else:  # programs without data beside them, no user folder, nothing installed
            zentrel._zentrel.find_data_folder(str(tmp_path / "bin"))
    text = str(caught.value)
    assert "--data" not in text
    if how == "nothing found":
        for place in (tmp_path / "bin" / "ZentrelData", tmp_path / "home/.local/share/zentrel/ZentrelData",
                      tmp_path / "share/zentrel/ZentrelData"):
            assert str(place) in text
        assert "data=" in text and "ZENTREL_DATA" in text
    else:
        assert missing in text and how in text


def test_DefaultFolderIsTheOneTheCommandLineUses(monkeypatch):
    monkeypatch.delenv("ZENTREL_DATA", raising=False)
    code, out, err = run_cli("data", "where")
    assert code == 0, err
    assert out.splitlines()[0].startswith(f"Data folder: {zentrel.default_data_folder()} (")


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
    with pytest.raises(ValueError, match=r"^lons\[1\] must be -180..180, got 200.0$"):
        db.estimate_many([1, 200], [3, 4])
    with pytest.raises(ValueError, match=r"^alts\[0\] must be -600..10000, got inf$"):
        db.estimate_many([1], [3], alts=[float("inf")])
    for threads in (-1, 100000, 2.5, float("inf")):
        with pytest.raises(ValueError, match=r"^threads must be "):
            db.estimate_many([1], [3], threads=threads)
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
    with pytest.raises(ValueError, match=r"^prec\[0\] must be 0..15000, got nan$"):
        zentrel.growing_seasons([float("nan")] * 12, [1] * 12)
    with pytest.raises(ValueError, match=r"^prec\[2\] must be 0..15000, got -99.0$"):
        zentrel.growing_seasons([1, 1, -99] + [1] * 9, [1] * 12)


NORMALS_HEAD = "id,name,country,lat,lon,alt,variable,jan,feb,mar,apr,may,jun,jul,aug,sep,oct,nov,dec\n"


def normals(offset, extra=0):
    """Temp stations around Rome and around Lima, all months offset + their number."""
    rows = [f"{k},S{k},XX,{41 + 0.3 * (k % 3)},{12 + 0.3 * (k // 3)},100,Temp," + ",".join([str(offset + k)] * 12)
            for k in range(6)]
    rows += [f"{10 + k},L{k},XX,{-12 - 0.3 * k},{-77 + 0.2 * k},100,Temp," + ",".join([str(offset + k)] * 12)
             for k in range(3 + extra)]
    return NORMALS_HEAD + "\n".join(rows) + "\n"


def test_DatabaseReplacedByAnImportIsSeenWholeByAnOpenDatabase(tmp_path):
    folder = tmp_path / "db"
    for offset, extra in ((0, 0), (10, 1)):
        (tmp_path / "n.csv").write_text(normals(offset, extra))
        code, _, err = run_cli("data", "import-csv", "--in", tmp_path / "n.csv", "--out", folder)
        assert code == 0, err
        if offset == 0:
            opened = zentrel.Database(folder)
            before = opened.estimate(12.4, 41.3, 100).best
            assert opened.info()["stations"] == 9
    # Rome was estimated before (its band files were read), Lima was not: both see the new data.
    # (Within a hundredth: the extra station in Lima moves the kriging's fit of the terrain,
    # which the folder borrows from the data beside the program.)
    np.testing.assert_allclose(opened.estimate(12.4, 41.3, 100).best, before + 10, atol=0.05)
    # Equal but for the float sums of the kriging weights, whose order follows the order in which
    # each database object found the neighbours.
    np.testing.assert_allclose(opened.estimate(12.4, 41.3, 100).best, zentrel.Database(folder).estimate(12.4, 41.3, 100).best,
                               rtol=1e-5)
    np.testing.assert_array_equal(opened.estimate(-77.2, -12.3, 100).best,
                                  zentrel.Database(folder).estimate(-77.2, -12.3, 100).best)
    assert opened.info()["stations"] == 10


# Random finite and non-finite arguments to every entry point: a ValueError that names the
# argument, or a result within the physical ranges (fixed seed, bounded count).
PHYSICAL = {"Temp": (-100, 70), "Tmax": (-100, 70), "Tmin": (-100, 70), "Prec": (0, 15000), "Vap": (0, 100),
            "PET": (0, 1500), "Wind": (0, 100), "Sun": (0, 1)}
ANNUAL_TOTALS = ("Prec", "PET")


def wild(rng, low, high):
    """A value inside low..high, at its edges, just or far beyond them, or not finite."""
    kind = rng.integers(6)
    if kind == 0:
        return float(rng.uniform(low, high))
    if kind == 1:
        return float(rng.choice([low, high]))
    if kind == 2:
        return float(rng.choice([low - 1e-3, high + 1e-3]))
    if kind == 3:
        return float(rng.choice([-1e30, -1e6, 1e6, 1e30]))
    if kind == 4:
        return float(rng.choice([math.nan, math.inf, -math.inf]))
    return int(rng.integers(-5, 30))


def check_values(var, values):
    low, high = PHYSICAL[var]
    values = np.asarray(values, dtype=float)
    months, annual = values[..., :12], values[..., 12]
    assert np.all(np.isnan(months) | ((months >= low) & (months <= high))), (var, months)
    top = 12 * high if var in ANNUAL_TOTALS else high
    assert np.all(np.isnan(annual) | ((annual >= low) & (annual <= top))), (var, annual)


def names_argument(error, wild_names):
    """The message starts with the argument ("lons[0]" for lon in an array) or is the resolution's."""
    head = str(error).split(" ")[0]
    if head.endswith("]"):
        head = head.split("[")[0][:-1]
    return head in wild_names or ("res" in wild_names and str(error).startswith("Resolution"))


@pytest.mark.filterwarnings("ignore::UserWarning")
def test_WildArgumentsToEveryEntryPointGiveAValueErrorOrAPhysicalResult(db):
    rng = np.random.default_rng(20261206)
    ranges = {"lon": (-180, 180), "lat": (-90, 90), "alt": (-600, 10000), "level": (90, 99), "threads": (0, 8),
              "max_stat": (1, 20), "max_dist": (0, 22000), "min_dist": (0, 22000), "pow_exp": (0, 5),
              "shad": (0, 1), "min_high": (-600, 10000), "max_high": (-600, 10000)}
    settings = ("max_stat", "max_dist", "min_dist", "pow_exp", "shad", "min_high", "max_high")
    base = {"lon": 12.48, "lat": 41.9, "alt": 100.0, "level": 90, "threads": 1}
    for _ in range(300):
        var = str(rng.choice(db.variables))
        entry = rng.integers(4)
        wild_names = set(rng.choice(list(base) + list(settings), size=int(rng.integers(1, 3)), replace=False))
        args = dict(base)
        args.update({name: wild(rng, *ranges[name]) for name in wild_names})
        kw = {name: args[name] for name in settings if name in args}
        try:
            if entry == 0:
                r = db.estimate(args["lon"], args["lat"], args["alt"], var=var, level=args["level"], **kw)
                check_values(var, [r.best, r.low, r.high])
                lows, highs = r.bounds(args["level"])
                check_values(var, [lows, highs])
                if var == "Temp":
                    zentrel.cycles(r, level=args["level"])
            elif entry == 1:
                many = db.estimate_many([args["lon"], 12.0], [args["lat"], 42.0], [args["alt"], math.nan], var=var,
                                        level=args["level"], threads=args["threads"],
                                        quantities=("best", "low", "high"), **kw)
                check_values(var, [many["best"], many["low"], many["high"]])
            elif entry == 2:
                alt, sea = db.altitude([args["lon"]], [args["lat"]])
                assert -12000 < alt[0] < 9000
            else:
                wild_names.add("res")
                res = float(rng.choice([0.5, 1, 2.5, 0, -1, math.nan, math.inf]))  # a few cells at most
                lon = min(178.0, max(-180.0, args["lon"])) if math.isfinite(args["lon"]) else 12.0
                ds = db.grid((lon, 41, lon + 1, 42), res, var=var, period=7, quantities=("best",),
                             level=args["level"], threads=args["threads"], **kw)
                low, high = PHYSICAL[var]
                for name in ds.data_vars:
                    if name.startswith(var.lower()):
                        values = np.asarray(ds[name], dtype=float)
                        assert np.all(np.isnan(values) | ((values >= low) & (values <= high))), (name, values)
        except ValueError as error:
            assert names_argument(error, wild_names), (error, wild_names)
        except zentrel.DataError as error:
            pytest.fail(f"{error} for {args}")


# One rule for numbers, as on the command line: any int or float of a whole value for a count
# (20 and 20.0), never the text of a number nor True and False, which Python counts as 1 and 0.
@pytest.mark.parametrize("call, name", [
    (lambda db: db.estimate(12.48, 41.9, max_stat="20.0"), "max_stat"),
    (lambda db: db.estimate(12.48, 41.9, max_stat=True), "max_stat"),
    (lambda db: db.estimate(12.48, 41.9, pow_exp="1"), "pow_exp"),
    (lambda db: db.estimate(12.48, 41.9, neighb_alt="1"), "neighb_alt"),
    (lambda db: db.estimate(True, 41.9), "lon"),
    (lambda db: db.estimate(12.48, 41.9, alt=False), "alt"),
])
def test_TextsAndTruthValuesAreNoNumbers(db, call, name):
    with pytest.raises(ValueError, match=f"^{name} must be "):
        call(db)


def test_SwitchesTakeTruthValues(db):
    np.testing.assert_array_equal(db.estimate(12.48, 41.9, alt_corr=True).best, db.estimate(12.48, 41.9, alt_corr=1).best)


@pytest.mark.parametrize("values", [np.array([12.5 + 0j]), np.array([True]), np.array(["12.5"])])
def test_ArraysOfComplexTruthOrTextValuesAreRefusedWithoutNumpysWarning(db, values):
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        with pytest.raises(ValueError, match="^lons must be an array of "):
            db.estimate_many(values, [41.9])


def test_FolderWithoutStationsIsRefusedWhenOpened(tmp_path):
    (tmp_path / "empty").mkdir()
    with pytest.raises(zentrel.DataError, match="holds the normals of no variable") as caught:
        zentrel.Database(tmp_path / "empty")
    assert str(tmp_path / "empty") in str(caught.value)
