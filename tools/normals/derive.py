"""Derives data/station-normals.csv from the five station sources, with the offsets and the excluded stations.

Usage: python3 tools/normals/derive.py --shared ../shared/data --terrain ZentrelData/10k8b.raw
       [--residuals residuals.csv] [--out data]
"""
import argparse
import sys
from pathlib import Path

if __name__ == "__main__" and not __package__:
    sys.path.insert(0, str(Path(__file__).resolve().parents[2]))
    __package__ = "tools.normals"

from . import climat, dwd, jma_japan, jma_world, merge, neighbours, period, qc, wind, wmo  # noqa: E402
from .geo import distance_km  # noqa: E402
from .model import VARIABLES, Normal  # noqa: E402
from .penman import monthly_pet, wind_at_2m  # noqa: E402
from .table import EXCLUDED_HEADER, HEADER, MONTHS, coordinate, csv_text, decimal, sort_rows, station_row  # noqa: E402
from .terrain import Terrain  # noqa: E402

# The source does not give the anemometer height: the WMO standard height of surface wind.
ASSUMED_WIND_HEIGHT = 10.0
ASSUMED_WIND = 2.0

COMMENTS = (
    "# Station normals, one row per station and variable; read by zentrel data import-csv",
    "# Source: WMO Climatological Standard Normals 1991-2020, WMO and NOAA NCEI; Japan Meteorological Agency;"
    " Deutscher Wetterdienst (precipitation normals, CC BY 4.0; CLIMAT reports).",
    "# Period: 1991-2020; stations with CLIMAT normals only: 2003-2021, adjusted to 1991-2020",
    "# Derivation: tools/normals/derive.py: one station per WMO number and per place (1 km, 50 m), the 1991-2020"
    " sources before CLIMAT; CLIMAT-only normals moved by the offsets of data/period-offsets.csv; quality control"
    " in data/excluded-stations.csv",
    "# Note: PET by FAO-56 Penman-Monteith from the Tmax, Tmin, Vap and Sun normals with the station's wind"
    " normal brought from 10 m to 2 m, or 2 m/s where it has none (see the note column)",
    "# Note: Wind as in the WMO 1991-2020 wind table (measuring height not given; 10 m assumed)",
)


class Derivation:
    """The whole run: sources read, places merged, period adjusted, quality controlled, PET derived."""

    def __init__(self, shared, climat_table, terrain, residuals=None):
        self.shared, self.terrain = Path(shared), terrain
        self.excluded = []  # rows of EXCLUDED_HEADER
        self.problems = []
        self.read(Path(climat_table))
        self.offset_rows = []
        self.decide_jma_world_period()
        self.merge()
        self.adjust_period()
        self.control(residuals)
        self.derive_pet()

    # --- reading ---
    def read(self, climat_table):
        folder = self.shared / "wmo-normals-1991-2020"
        composites, problems, incomplete = wmo.read_composites(folder)
        self.collect(problems, incomplete)
        self.composites = sorted(composites.values(), key=lambda s: s.key)
        winds, problems, incomplete = wind.read_wind(folder / "wmo_normals_9120_wind_speed.csv")
        self.collect(problems, incomplete)
        self.wind_alone = merge.attach_wind(self.composites, winds)
        self.jma_world, problems, incomplete = jma_world.read_jma_world(
            self.shared / "jma-world-normals" / "climate_world.csv", None)
        self.collect(problems, incomplete)
        self.jma_japan, problems, incomplete = jma_japan.read_jma_japan(self.shared / "jma-japan-normals-1991-2020")
        self.collect(problems, incomplete)
        self.dwd, problems, incomplete = dwd.read_dwd(self.shared / "dwd-germany-precipitation-1991-2020")
        self.collect(problems, incomplete)
        self.climat, problems = climat.read_climat(climat_table)
        self.collect(problems, [])
        self.climat_list, problems = climat.read_station_list(self.shared / "climat" / "stations_list_CLIMAT_data.txt")
        self.collect(problems, [])

    def collect(self, problems, incomplete):
        for p in problems:
            # Files named within the shared folder, so that the list is the same on every machine.
            text = str(p).replace(str(self.shared) + "/", "")
            self.problems.append(text)
            self.excluded.append(["", "", "", "", "", "", "", "", f"unreadable line: {text}"])
        for s, variable, why in incomplete:
            self.exclude(s, variable, why)

    def exclude(self, s, variable, why, ident=None, source=None):
        self.excluded.append([ident or s.wmo or merge.source_id(s), s.name, s.country, coordinate(s.lat),
                              coordinate(s.lon), decimal(s.alt, 1), variable, source or s.source, why])

    # --- the period of JMA's world normals, measured against both periods ---
    def pairs_by_number(self, targets, bases, variables):
        by_number = {}
        for s in bases:
            if s.wmo:
                by_number.setdefault(s.wmo, []).append(s)
        pairs = []
        for t in targets:
            for b in by_number.get(t.wmo, []):
                if distance_km(t.lon, t.lat, b.lon, b.lat) > merge.SAME_NUMBER_KM:
                    continue
                for v in variables:
                    if v in t.normals and v in b.normals:
                        pairs.append((v, b.lon, b.lat, t.normals[v].values, b.normals[v].values))
                break
        return pairs

    def decide_jma_world_period(self):
        versus_wmo = period.agreement(self.pairs_by_number(self.jma_world, self.composites, ("Temp", "Prec")))
        versus_climat = period.agreement(self.pairs_by_number(self.jma_world, self.climat, ("Temp", "Prec")))
        for label, result in (("JMA world minus WMO 1991-2020", versus_wmo),
                              ("JMA world minus CLIMAT 2003-2021", versus_climat)):
            for v in ("Temp", "Prec"):
                n, mean_abs, medians = result[v]
                self.offset_rows.append([label, v, "World", str(n), "ratio" if v == "Prec" else "difference",
                                         "measured only"] + [decimal(x, 3) for x in medians])
        closer = sum(versus_wmo[v][1] < versus_climat[v][1] for v in ("Temp", "Prec"))
        self.jma_world_period = "1991-2020" if closer == 2 else "2003-2021" if closer == 0 else "unknown"
        for s in self.jma_world:
            for n in s.normals.values():
                n.period = self.jma_world_period

    # --- one station per place ---
    def merge(self):
        reference = {k: (lon, lat) for k, (name, country, lon, lat, alt) in self.climat_list.items()}
        everyone = self.composites + self.wind_alone + self.jma_world + self.jma_japan + self.dwd + self.climat
        for s in everyone:
            for v, why in qc.physics({v: n.values for v, n in s.normals.items()}):
                if v in s.normals:
                    self.exclude(s, v, why, source=s.normals.pop(v).source)
        everyone = [s for s in everyone if s.normals]
        merge.release_conflicting_numbers(everyone, reference)
        self.stations = []  # (id, head, {variable: Normal}, {variable: note})
        used = set()
        groups = merge.places(everyone)
        merged = []
        for members in groups:
            head, chosen, dropped = merge.merge_place(members)
            for other, v, why, n in dropped:
                self.exclude(other, v, why, source=n.source)
            merged.append((head, members, chosen))
        merged.sort(key=lambda m: (m[0].wmo or "~" + merge.source_id(m[0])))
        self.climat_wmo_pairs = []
        for head, members, chosen in merged:
            ident = head.wmo or merge.source_id(head)
            base, k = ident, 2
            while ident in used:
                ident, k = f"{base}-{k}", k + 1
            used.add(ident)
            self.name_station(head, members)
            if head.alt is None:
                known = [s.alt for s in sorted(members, key=merge.representative_order) if s.alt is not None]
                head.alt = known[0] if known else None
            normals = {v: n for v, (member, n) in chosen.items()}
            notes = {v: [] for v in normals}
            listed = merge.listed_altitude(head, self.climat_list)
            if listed is not None:
                head.alt = listed
                for v in notes:
                    notes[v].append("altitude from the CLIMAT station list")
            for v, (member, n) in chosen.items():
                if member is not head and member.source != head.source and member.wmo != head.wmo:
                    notes[v].append(f"from {merge.source_id(member)} at the same place")
            self.stations.append([ident, head, normals, notes, members])
            # Pairs for the period offsets: the WMO and the CLIMAT normal of one station.
            for v in period.ADDITIVE + period.MULTIPLICATIVE:
                w = [s for s in members if s.source == "WMO" and v in s.normals and s.wmo]
                c = [s for s in members if s.source == "CLIMAT" and v in s.normals and s.wmo]
                if w and c and w[0].wmo == c[0].wmo:
                    self.climat_wmo_pairs.append((v, c[0].lon, c[0].lat, w[0].normals[v].values,
                                                  c[0].normals[v].values))

    def name_station(self, head, members):
        if head.name:
            return
        for s in sorted(members, key=merge.representative_order):
            if s.name:
                head.name, head.country = s.name, s.country
                return
        if head.wmo in self.climat_list:
            head.name, head.country = self.climat_list[head.wmo][:2]
        else:
            head.name = f"WMO {head.wmo}" if head.wmo else merge.source_id(head)

    # --- one period ---
    def adjust_period(self):
        self.offsets = period.Offsets(self.climat_wmo_pairs)
        levels = sorted({lvl for (_, lvl) in self.offsets.samples})
        for v in period.ADDITIVE + period.MULTIPLICATIVE:
            for level in levels:
                n = self.offsets.pairs(v, level)
                if n == 0:
                    continue
                used = ("measured only" if v not in period.APPLIED else
                        "applied" if n >= period.MIN_PAIRS else f"fewer than {period.MIN_PAIRS} pairs")
                kind = "ratio" if v in period.MULTIPLICATIVE else "difference"
                medians = self.offsets.medians[(v, level)]
                self.offset_rows.append(["WMO 1991-2020 minus CLIMAT 2003-2021", v, level, str(n), kind, used]
                                        + [decimal(x, 3) for x in medians])
        self.adjusted = {}
        for ident, head, normals, notes, members in self.stations:
            for v, n in list(normals.items()):
                if n.source != "CLIMAT" or v not in period.ADDITIVE + period.MULTIPLICATIVE:
                    continue
                if v not in period.APPLIED:
                    notes[v].append("not adjusted (offset to 1991-2020 below 0.02)")
                    continue
                level, offsets = self.offsets.offsets(v, head.lon, head.lat)
                if offsets is None:
                    notes[v].append("not adjusted: too few stations to measure the offset")
                    continue
                normals[v] = Normal(period.adjust(v, n.values, offsets), n.source, n.period, n.years_min,
                                    n.years_max)
                notes[v].append("adjusted to 1991-2020" + ("" if level == period.region_of(head.lon, head.lat)
                                                          else f" ({level} offsets)"))

    # --- quality control ---
    def drop(self, station, variable, why):
        ident, head, normals, notes, members = station
        n = normals.pop(variable)
        self.excluded.append([ident, head.name, head.country, coordinate(head.lat), coordinate(head.lon),
                              decimal(head.alt, 1), variable, n.source, why])

    def control(self, residuals):
        flagged = {}
        if residuals:
            positions = {}
            for ident, head, normals, notes, members in self.stations:
                for v in normals:
                    positions.setdefault((v, round(head.lon, 2), round(head.lat, 2)), []).append(
                        (ident, head.lon, head.lat))
            flagged = neighbours.read_flags(residuals, positions)
        # Which flagged normals another station is near enough to contradict (first pass: none flagged).
        checkable = set()
        for v in sorted({v for _, v in flagged}):
            holders = [(ident, head) for ident, head, normals, notes, members in self.stations if v in normals]
            near = neighbours.contradicted([(head.lon, head.lat) for _, head in holders])
            checkable.update((holders[i][0], v) for i in near)
        for station in self.stations:
            ident, head, normals, notes, members = station
            if self.terrain is not None:
                why = qc.relief(self.terrain, head.lon, head.lat, head.alt)
                if why:
                    for v in sorted(normals):
                        self.drop(station, v, why)
                    continue
            for v, why in qc.physics({v: n.values for v, n in normals.items()}):
                if v in normals:
                    self.drop(station, v, why)
            for v in sorted(normals):
                if (ident, v) not in flagged:
                    continue
                if (ident, v) in checkable or not neighbours.kept_when_alone(v):
                    self.drop(station, v, flagged[(ident, v)])
                else:
                    notes[v].append(f"kept, though far off its neighbours' estimate: none within "
                                    f"{neighbours.CONTRADICT_KM:g} km")

    # --- PET ---
    def derive_pet(self):
        for station in self.stations:
            ident, head, normals, notes, members = station
            inputs = ("Tmax", "Tmin", "Vap", "Sun")
            if not all(v in normals for v in inputs):
                continue
            if "Wind" in normals:
                wind2 = [wind_at_2m(u, ASSUMED_WIND_HEIGHT) for u in normals["Wind"].values]
                note = f"PET with the station's wind from {ASSUMED_WIND_HEIGHT:g} m (assumed) to 2 m"
            else:
                wind2 = [ASSUMED_WIND] * 12
                note = f"PET with assumed wind {ASSUMED_WIND:g} m/s"
            values = monthly_pet(head.lat, head.alt, *(normals[v].values for v in inputs), wind2)
            parts = [normals[v] for v in inputs]
            years_min = [n.years_min for n in parts]
            years_max = [n.years_max for n in parts]
            sources = sorted({n.source for n in parts}, key=lambda s: merge.SOURCES.index(s))
            pet = Normal(values, sources[-1], "2003-2021" if "CLIMAT" in sources else parts[0].period,
                         None if None in years_min else min(years_min), None if None in years_max else min(years_max))
            if len(sources) > 1:
                note += "; inputs from " + " and ".join(sources)
            if any("adjusted" in " ".join(notes[v]) for v in inputs):
                note += "; inputs adjusted to 1991-2020"
            low, high = qc.PLAUSIBLE["PET"]
            if not all(low <= x <= high for x in values):
                self.excluded.append([ident, head.name, head.country, coordinate(head.lat), coordinate(head.lon),
                                      decimal(head.alt, 1), "PET", pet.source, "PET outside the plausible 0..500 mm"])
                continue
            normals["PET"] = pet
            notes["PET"] = [note]

    # --- output ---
    def rows(self):
        out = []
        for ident, head, normals, notes, members in self.stations:
            for v, n in normals.items():
                out.append(station_row(ident, head, v, n, "; ".join(notes.get(v, []))))
        return sort_rows(out)

    def excluded_rows(self):
        return sorted(self.excluded, key=lambda r: (r[0] == "", r[0], r[6], r[8]))


def counts(rows):
    per_variable = {v: 0 for v in VARIABLES}
    per_source = {}
    for r in rows:
        per_variable[r[6]] += 1
        per_source[r[-3]] = per_source.get(r[-3], 0) + 1
    return per_variable, per_source


def main(argv=None):
    here = Path(__file__).resolve().parents[2]
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--shared", default=str(here.parent / "shared" / "data"), help="folder of the station sources")
    p.add_argument("--climat", default=str(here / "data" / "climat-normals.csv"), help="the CLIMAT table")
    p.add_argument("--terrain", help="elevation raster 10k8b.raw (without it no relief check)")
    p.add_argument("--residuals", help="zentrel validate --csv output of a first run (neighbour check)")
    p.add_argument("--out", default=str(here / "data"), help="folder of the three tables")
    p.add_argument("--importable", help="also write the table with the 21 columns zentrel data import-csv reads")
    a = p.parse_args(argv)
    terrain = Terrain.read(a.terrain) if a.terrain else None
    d = Derivation(a.shared, a.climat, terrain, a.residuals)
    rows = d.rows()
    out = Path(a.out)
    (out / "station-normals.csv").write_text(csv_text(HEADER, rows, COMMENTS), encoding="utf-8")
    (out / "excluded-stations.csv").write_text(csv_text(EXCLUDED_HEADER, d.excluded_rows()), encoding="utf-8")
    (out / "period-offsets.csv").write_text(csv_text(
        ("comparison", "variable", "region", "pairs", "kind", "use") + MONTHS, d.offset_rows), encoding="utf-8")
    if a.importable:
        Path(a.importable).write_text(csv_text(HEADER[:21], [r[:21] for r in rows], COMMENTS), encoding="utf-8")
    per_variable, per_source = counts(rows)
    print("derive: " + ", ".join(f"{v} {n}" for v, n in per_variable.items()), file=sys.stderr)
    print("derive: rows per source: " + ", ".join(f"{s} {n}" for s, n in sorted(per_source.items())), file=sys.stderr)
    print(f"derive: JMA world normals measured as {d.jma_world_period}; {len(d.problems)} unreadable lines; "
          f"{len(d.excluded)} rows excluded", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
