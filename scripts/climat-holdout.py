#!/usr/bin/python3
# Copyright (c) The Zentrel developers. MIT licence.
"""The CLIMAT stations estimated from two station tables without themselves, side by side.

Folds over the stations of data/climat-normals.csv: each fold's stations are taken out of both
tables (from the combined table also every row of the same WMO number and every station within
1 km, its duplicates under other sources), the rest is imported into a scratch data folder, and
each held-out station is estimated at its own position and altitude. Each table is judged against
its own normals of the station (the CLIMAT table's 2003-2021, the combined table's 1991-2020), so
both answer the same question: how well does the database know a synoptic station it lacks.

Usage: scripts/climat-holdout.py [--build DIR] [--folds N] [--method M] [--old TABLE] [--new TABLE] [--vars V,...]
Prints MAE per variable (temperatures in K, Vap hPa, Wind m/s, Sun fraction; Prec and PET also
relative to the mean), for the stations both tables hold; PET also apart for the stations whose
combined-table PET assumes 2 m/s of wind, as the CLIMAT table's does, and those whose PET takes
their own wind normal.
"""
import argparse
import csv
import math
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
VARIABLES = ["Temp", "Tmax", "Tmin", "Prec", "Vap", "PET", "Wind", "Sun"]


def read_table(path):
    """(header comment lines, column names, rows as lists)"""
    comments, header, rows = [], None, []
    with open(path, newline="", encoding="utf-8") as f:
        for line in f:
            if line.startswith("#"):
                comments.append(line)
                continue
            fields = next(csv.reader([line]))
            if header is None and fields and fields[0] == "id":
                header = fields
                continue
            rows.append(fields)
    return comments, header, rows


def write_table(path, comments, header, rows):
    with open(path, "w", newline="", encoding="utf-8") as f:
        f.writelines(comments)
        w = csv.writer(f, lineterminator="\n")
        w.writerow(header)
        w.writerows(rows)


def km(lon1, lat1, lon2, lat2):
    p1, p2 = math.radians(lat1), math.radians(lat2)
    d = math.sin((p2 - p1) / 2) ** 2 + math.cos(p1) * math.cos(p2) * math.sin(math.radians(lon2 - lon1) / 2) ** 2
    return 2 * 6371.0 * math.asin(min(1.0, math.sqrt(d)))


def wmo_of(station_id):
    """The 5-digit WMO number of an id, or None. The tables name a station with a WMO number by
    that number alone; the national networks' own numbers (DWD-15280, JMA-71066) are other
    stations, often at the other end of the world, however alike their digits."""
    return station_id if station_id.isdigit() and len(station_id) == 5 else None


def pet_basis(note):
    """Which wind a combined-table PET row was computed with, from its note: "own wind" (the
    station's wind normal) or "2 m/s" (assumed, as every PET of the CLIMAT table is). The two
    are different quantities at a windy station, so the hold-out reports them apart too."""
    return "own wind" if "station's wind" in note else "2 m/s"


def scratch_database(zentrel, base, table, folder):
    shutil.copytree(base, folder, symlinks=True,
                    ignore=shutil.ignore_patterns("*.txt", "kriging-model-*", "stations.csv", "excluded*.csv", "about*"))
    subprocess.run([zentrel, "data", "import-csv", "--in", table, "--out", folder], check=True,
                   stdout=subprocess.DEVNULL)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--build", default=os.path.join(ROOT, "build"))
    ap.add_argument("--folds", type=int, default=10)
    ap.add_argument("--method", default="kriging")
    ap.add_argument("--old", default=os.path.join(ROOT, "data", "climat-normals.csv"))
    ap.add_argument("--new", default=os.path.join(ROOT, "data", "station-normals.csv"))
    ap.add_argument("--vars", default=",".join(VARIABLES), help="comma-separated variables (default: all)")
    a = ap.parse_args()
    variables = [v for v in a.vars.split(",") if v]
    sys.path.insert(0, os.path.join(a.build, "python"))
    import zentrel  # noqa: E402

    program = os.path.join(a.build, "bin", "zentrel")
    base = os.path.join(a.build, "bin", "ZentrelData")
    old = read_table(a.old)
    new = read_table(a.new)
    climat_ids = sorted({r[0] for r in old[2]})
    fold_of = {sid: k % a.folds for k, sid in enumerate(climat_ids)}
    position = {r[0]: (float(r[4]), float(r[3]), r[5]) for r in old[2]}
    observed = {"old": {(r[0], r[6]): [float(x) for x in r[7:19]] for r in old[2]},
                "new": {}}
    # Each table's station where that table puts it: their coordinates and altitudes differ by up
    # to several km and 100 m, and an estimate at the other table's altitude would be judged
    # against normals measured elsewhere.
    where = {"old": position, "new": {}}
    basis = {}  # of each station's combined-table PET
    for r in new[2]:
        wmo = wmo_of(r[0])
        if wmo in position:
            observed["new"][(wmo, r[6])] = [float(x) for x in r[7:19]]
            if r[6] == "PET":
                basis[wmo] = pet_basis(r[-1])
            where["new"].setdefault(wmo, (float(r[4]), float(r[3]), r[5]))
    errors = {"old": {v: [] for v in VARIABLES}, "new": {v: [] for v in VARIABLES}}
    means = {v: [] for v in VARIABLES}
    by_basis = {}  # PET's (CLIMAT, combined) errors by the combined table's wind
    work = tempfile.mkdtemp(prefix="climat-holdout-")
    try:
        for fold in range(a.folds):
            held = {sid for sid in climat_ids if fold_of[sid] == fold}
            near = [position[s] for s in held] + [where["new"][s] for s in held if s in where["new"]]
            keep_old = [r for r in old[2] if r[0] not in held]
            keep_new = []
            for r in new[2]:
                if wmo_of(r[0]) in held:
                    continue
                lon, lat = float(r[4]), float(r[3])
                if any(abs(lat - q[1]) < 0.02 and km(lon, lat, q[0], q[1]) <= 1.0 for q in near):
                    continue
                keep_new.append(r)
            estimates = {}
            for name, (comments, header, _), rows in (("old", old, keep_old), ("new", new, keep_new)):
                table = os.path.join(work, f"{name}-{fold}.csv")
                folder = os.path.join(work, f"{name}-{fold}")
                write_table(table, comments, header, rows)
                scratch_database(program, base, table, folder)
                db = zentrel.Database(data=folder)
                at = {s: where[name].get(s, position[s]) for s in held}
                ids = sorted(held)
                lon = [at[s][0] for s in ids]
                lat = [at[s][1] for s in ids]
                alt = [float(at[s][2]) if at[s][2] not in ("", "9999") else float("nan") for s in ids]
                for v in variables:
                    if v not in db.variables:
                        continue
                    res = db.estimate_many(lon, lat, alts=alt, var=v, method=a.method, quantities=("best",))
                    estimates[(name, v)] = dict(zip(ids, res["best"][:, :12].tolist()))
                shutil.rmtree(folder)
            for v in variables:
                for sid in sorted(held):
                    o_old, o_new = observed["old"].get((sid, v)), observed["new"].get((sid, v))
                    e_old, e_new = estimates.get(("old", v), {}).get(sid), estimates.get(("new", v), {}).get(sid)
                    if None in (o_old, o_new) or e_old is None or e_new is None:
                        continue
                    if any(math.isnan(x) for x in list(e_old) + list(e_new)):
                        continue
                    errors["old"][v].append(sum(abs(e - o) for e, o in zip(e_old, o_old)) / 12)
                    errors["new"][v].append(sum(abs(e - o) for e, o in zip(e_new, o_new)) / 12)
                    if v == "PET":
                        by_basis.setdefault(basis.get(sid, "2 m/s"), []).append((errors["old"][v][-1], errors["new"][v][-1]))
                    means[v].append((sum(o_old) + sum(o_new)) / 24)
            print(f"fold {fold + 1}/{a.folds} done", file=sys.stderr)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(f"CLIMAT stations held out ({a.folds} folds, method {a.method}): MAE from the CLIMAT table / from the combined table")
    print(f"{'Var':6s}{'Stations':>9s}{'CLIMAT':>10s}{'combined':>10s}{'ratio':>8s}")
    for v in variables:
        n = len(errors["old"][v])
        if n == 0:
            print(f"{v:6s}{0:9d}{'-':>10s}{'-':>10s}{'-':>8s}")
            continue
        mo, mn = sum(errors["old"][v]) / n, sum(errors["new"][v]) / n
        rel = ""
        if v in ("Prec", "PET"):
            m = sum(means[v]) / n
            rel = f"   ({100 * mo / m:.1f} % / {100 * mn / m:.1f} %)"
        print(f"{v:6s}{n:9d}{mo:10.3f}{mn:10.3f}{mn / mo:8.3f}{rel}")
    for name, pairs in sorted(by_basis.items()):
        mo, mn = sum(p[0] for p in pairs) / len(pairs), sum(p[1] for p in pairs) / len(pairs)
        print(f"  PET, combined table's wind {name + ':':10s}{len(pairs):6d}{mo:10.3f}{mn:10.3f}{mn / mo:8.3f}")


if __name__ == "__main__":
    main()
