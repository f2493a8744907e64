"""Reader of JMA's 1991-2020 normals of its Japanese stations (station_index.json, monthly_yearly_normal.json)."""
import json
from pathlib import Path

from .model import Normal, Station
from .problems import InputError
from .sunshine import sunshine_fraction

# JSON series -> variable of the table.
SERIES = {"temperature": "Temp", "precipitation": "Prec", "sunshine_duration": "Sun"}


def _coordinate(entry, key, limit, path, where):
    value = entry.get(key)
    if not isinstance(value, (int, float)) or isinstance(value, bool) or not -limit <= value <= limit:
        raise InputError(path, where, f"{value!r} is not a {key} in -{limit}..{limit}.", 0)
    return float(value)


def read_jma_japan(folder):
    """(stations, problems, incomplete) of the Japanese normals; ids "JMA-" + the station number."""
    folder = Path(folder)
    index_path, normal_path = folder / "station_index.json", folder / "monthly_yearly_normal.json"
    with open(index_path, encoding="utf-8") as f:
        index = json.load(f)
    with open(normal_path, encoding="utf-8") as f:
        normals = json.load(f)
    stations, problems, incomplete = [], [], []
    for number_text in sorted(normals):
        where = f"station {number_text}"
        try:
            entry = index.get(number_text)
            if entry is None:
                raise InputError(normal_path, where, "the station is not in station_index.json.")
            lat = _coordinate(entry, "latitude", 90, index_path, where)
            lon = _coordinate(entry, "longitude", 180, index_path, where)
            alt = entry.get("altitude")
            if alt is not None and not isinstance(alt, (int, float)):
                raise InputError(index_path, where, f"{alt!r} is not an altitude in m.")
            monthly = normals[number_text].get("monthly")
            if not isinstance(monthly, dict):
                raise InputError(normal_path, where, "it has no monthly normals.")
            series = {}
            for key, variable in SERIES.items():
                values = monthly.get(key)
                if values is None:
                    continue
                if not isinstance(values, list) or len(values) != 12:
                    raise InputError(normal_path, f"{where}, {key}", "twelve monthly values expected.")
                for m, v in enumerate(values):
                    if v is not None and (not isinstance(v, (int, float)) or isinstance(v, bool)):
                        raise InputError(normal_path, f"{where}, {key}, month {m + 1}", f"{v!r} is not a number.")
                    if v is not None and key != "temperature" and v < 0:
                        raise InputError(normal_path, f"{where}, {key}, month {m + 1}", f"{v} is negative.")
                series[variable] = values
        except InputError as e:
            problems.append(e)
            continue
        s = Station(f"JMA-{number_text}", f"JMA {number_text}", "Japan", lat, lon,
                    None if alt is None else float(alt), "JMA Japan", origin=f"{normal_path}, {where}")
        for variable, values in series.items():
            missing = sum(v is None for v in values)
            if missing:
                incomplete.append((s, variable, f"{missing} of 12 months missing in JMA's Japanese normals"))
                continue
            values = [float(v) for v in values]
            if variable == "Sun":
                fractions = [sunshine_fraction(h, lat, m + 1) for m, h in enumerate(values)]
                if None in fractions:
                    incomplete.append((s, "Sun", "sunshine hours exceed the day length"))
                    continue
                values = fractions
            s.normals[variable] = Normal(values, "JMA Japan", "1991-2020")
        if s.normals:
            stations.append(s)
    return stations, problems, incomplete
