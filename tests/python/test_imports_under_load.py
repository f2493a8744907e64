# Imports that switch a database in while estimates run on it, in other processes (zentrel
# estimate) and in threads of one process (a Database kept across the imports): every result is
# one whole database's answer, the old one's or the new one's, never a mixture.
import json
import subprocess
import threading

import numpy as np
import pytest

import zentrel
from conftest import ZENTREL_BIN, run_cli

HEAD = "id,name,country,lat,lon,alt,variable,jan,feb,mar,apr,may,jun,jul,aug,sep,oct,nov,dec\n"
PLACES = [(12.4, 41.6), (13.1, 42.3), (11.8, 42.9)]


def network(offset):
    """Thirty Temp and Prec stations around Rome at several altitudes; offset shifts every value."""
    rows = []
    for k in range(30):
        lat, lon, alt = 40.5 + 0.25 * (k % 6), 11.0 + 0.5 * (k // 6), 50 + 97 * (k % 7)
        temp = [round(offset + 8 + 8 * np.sin((m - 3) / 12 * 2 * np.pi) - 0.006 * alt + 0.1 * (k % 5), 1) for m in range(12)]
        rows.append(f"T{k},S{k},XX,{lat},{lon},{alt},Temp," + ",".join(map(str, temp)))
        rows.append(f"T{k},S{k},XX,{lat},{lon},{alt},Prec," + ",".join(str(40 + offset + k + m) for m in range(12)))
    return HEAD + "\n".join(rows) + "\n"


def imported(tmp_path, name, offset):
    (tmp_path / f"{name}.csv").write_text(network(offset))
    code, _, err = run_cli("data", "import-csv", "--in", tmp_path / f"{name}.csv", "--out", tmp_path / name)
    assert code == 0, err
    return tmp_path / name


def cli_best(folder, lon, lat, var):
    done = subprocess.run([ZENTREL_BIN, "estimate", "--data", str(folder), "--lon", str(lon), "--lat", str(lat), "--alt", "300",
                           "--var", var, "--json"], capture_output=True, text=True, timeout=120)
    return done.returncode, done.stderr, (json.loads(done.stdout)["result"]["Best"] if done.returncode == 0 else None)


def matches(value, answers):
    """The names of the answers `value` equals (the float sums of the kriging weights may differ
    in their last bits between two database objects)."""
    def numbers(v):
        return np.array([np.nan if x is None else x for x in v], dtype=float)
    return [name for name, answer in answers.items()
            if np.allclose(numbers(value), numbers(answer), rtol=1e-5, atol=1e-4, equal_nan=True)]


@pytest.fixture
def two_databases(tmp_path):
    if not ZENTREL_BIN:
        pytest.skip("ZENTREL_BIN names no zentrel program")
    old, new = imported(tmp_path, "old", 0), imported(tmp_path, "new", 3)
    folder = imported(tmp_path, "db", 0)
    csvs = [tmp_path / "old.csv", tmp_path / "new.csv"]
    return tmp_path, folder, {"old": old, "new": new}, csvs


def alternate_imports(folder, csvs, count, stop):
    """Imports the new and the old database in turn, the new one first and, for an odd count, last."""
    try:
        for n in range(count):
            code, _, err = run_cli("data", "import-csv", "--in", csvs[(n + 1) % 2], "--out", folder)
            assert code == 0, err
    finally:
        stop.set()


def during_imports(folder, csvs, count, threads, call, least):
    """Calls call(k, n) over and over in `threads` threads (k the thread, n its call) while
    `count` imports alternate, each thread at least `least` times; their results, once no call
    failed."""
    stop = threading.Event()
    results, failures = [], []

    def work(k):
        n = 0
        while not stop.is_set() or n < least:
            try:
                results.append(call(k, n))
            except Exception as e:  # noqa: BLE001 - any failure is the finding
                failures.append(repr(e))
            n += 1

    workers = [threading.Thread(target=work, args=(k,)) for k in range(threads)]
    for w in workers:
        w.start()
    alternate_imports(folder, csvs, count, stop)
    for w in workers:
        w.join()
    assert not failures, failures[:3]
    return results


def test_CommandLineEstimatesDuringImportsEachMatchOneWholeDatabase(two_databases):
    _, folder, references, csvs = two_databases
    answers = {(place, var): {name: cli_best(ref, *place, var)[2] for name, ref in references.items()}
               for place in PLACES for var in ("Temp", "Prec")}

    def estimate(k, n):
        place, var = PLACES[(k + n) % len(PLACES)], ("Temp", "Prec")[(k + n) % 2]
        code, err, best = cli_best(folder, *place, var)
        assert code == 0, err
        return place, var, matches(best, answers[(place, var)])

    seen = during_imports(folder, csvs, 13, 3, estimate, 3)
    mixed = [(place, var) for place, var, names in seen if not names]
    assert not mixed, f"{len(mixed)} of {len(seen)} results matched neither database: {mixed[:5]}"
    assert matches(cli_best(folder, *PLACES[0], "Temp")[2], answers[(PLACES[0], "Temp")]) == ["new"]


def test_DatabaseKeptAcrossImportsGivesOneWholeDatabasesAnswerInEveryThread(two_databases):
    _, folder, references, csvs = two_databases
    answers = {(place, var): {name: zentrel.Database(ref).estimate(*place, 300, var=var).best for name, ref in references.items()}
               for place in PLACES for var in ("Temp", "Prec")}
    opened = zentrel.Database(folder)

    def estimate(k, n):
        place, var = PLACES[(k + n) % len(PLACES)], ("Temp", "Prec")[(k + n) % 2]
        return place, var, opened.estimate(*place, 300, var=var).best

    results = during_imports(folder, csvs, 7, 8, estimate, 4)
    mixed = [(place, var) for place, var, best in results if not matches(best, answers[(place, var)])]
    assert not mixed, f"{len(mixed)} of {len(results)} results matched neither database: {mixed[:5]}"
    # After the last import the open Database answers from the new database alone.
    for place in PLACES:
        for var in ("Temp", "Prec"):
            assert matches(opened.estimate(*place, 300, var=var).best, answers[(place, var)]) == ["new"], (place, var)


def grid_values(db, path):
    """January's best estimate of every cell of a small grid around Rome, as the file holds it."""
    db._grid_file(str(path), [11.0, 40.5, 13.5, 42.5], "0.5", "Temp", [1], ["best"], "kriging", 90, 1, True, None)
    xyz = path.with_suffix(".xyz")
    done = subprocess.run(["gdal_translate", "-q", "-of", "XYZ", f'NETCDF:"{path}":temp', str(xyz)], capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    return [float(line.split()[2]) for line in xyz.read_text().splitlines()]


def test_ManyEstimatesAndGridsDuringImportsEachComeFromOneWholeDatabase(two_databases):
    """estimate_many and grid take every location of one call from one database: a call that an
    import interrupts starts again on the new one, so the whole array is the old answer or the new."""
    tmp_path, folder, references, csvs = two_databases
    # Half the places around Rome, half over the world: the station files of every band are read
    # as the call reaches them, so an import often lands between two of its reads.
    rng = np.random.default_rng(3)
    lons = np.concatenate([rng.uniform(11, 13.5, 40), rng.uniform(-180, 180, 40)])
    lats = np.concatenate([rng.uniform(40.5, 42.5, 40), rng.uniform(-60, 70, 40)])
    alts = np.full(80, 300.0)

    def many(db):
        return db.estimate_many(lons, lats, alts, var="Temp", quantities="best", threads=2)["best"].ravel()

    many_answers = {name: many(zentrel.Database(ref)) for name, ref in references.items()}
    grid_answers = {name: grid_values(zentrel.Database(ref), tmp_path / f"{name}.nc") for name, ref in references.items()}
    opened = zentrel.Database(folder)

    def run(k, n):
        return ("grid", grid_values(opened, tmp_path / f"grid{n}.nc")) if k == 0 else ("many", many(opened))

    results = during_imports(folder, csvs, 7, 3, run, 2)
    answers = {"grid": grid_answers, "many": many_answers}
    mixed = [kind for kind, values in results if not matches(values, answers[kind])]
    assert not mixed, f"{len(mixed)} of {len(results)} calls matched neither database as a whole: {mixed[:5]}"
    assert matches(many(opened), many_answers) == ["new"]
    assert matches(grid_values(opened, tmp_path / "last.nc"), grid_answers) == ["new"]
