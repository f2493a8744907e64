"""Reader of the CLIMAT table data/climat-normals.csv (2003-2021 normals made by the C++ importer)."""
import csv
from pathlib import Path

from .model import Normal, Station
from .problems import InputError, number

FIELDS = ("id", "name", "country", "lat", "lon", "alt", "variable") + tuple(
    ("jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec")) + ("years_min", "years_max")
PERIOD = "2003-2021"


def read_climat(path):
    """(stations, problems). PET rows are left out: PET is derived again from the final inputs."""
    path = Path(path)
    stations, problems = {}, []
    with open(path, encoding="utf-8", newline="") as f:
        lines = [(n, t) for n, t in enumerate(f, start=1) if t.strip() and not t.startswith("#")]
    for (line, _), fields in zip(lines, csv.reader(t for _, t in lines)):
        if fields[0] == "id":
            continue
        try:
            if len(fields) != len(FIELDS):
                raise InputError(path, line, f"{len(fields)} fields, expected {len(FIELDS)}.")
            lat = number(fields[3], path, line, 4, "lat")
            lon = number(fields[4], path, line, 5, "lon")
            alt = number(fields[5], path, line, 6, "alt", ("", "9999"))
            values = [number(fields[7 + m], path, line, 8 + m, FIELDS[7 + m]) for m in range(12)]
            years = [number(fields[19 + k], path, line, 20 + k, FIELDS[19 + k], ("",)) for k in range(2)]
        except InputError as e:
            problems.append(e)
            continue
        variable = fields[6]
        if variable == "PET":
            continue
        ident = fields[0]
        s = stations.get(ident)
        if s is None:
            wmo = ident if len(ident) == 5 and ident.isdigit() else None
            s = stations[ident] = Station(ident, fields[1], fields[2], lat, lon, alt, "CLIMAT", wmo=wmo,
                                          origin=f"{path}, line {line}")
        s.normals[variable] = Normal(values, "CLIMAT", PERIOD, *(None if y is None else int(y) for y in years))
    return list(stations.values()), problems


def read_station_list(path):
    """WMO number -> (name, country, lon, lat, alt) of the CLIMAT station list (semicolon table, header first).

    alt is None where the list gives no height."""
    path = Path(path)
    out, problems = {}, []
    with open(path, encoding="utf-8", errors="replace") as f:
        for line, text in enumerate(f, start=1):
            fields = [x.strip() for x in text.rstrip("\r\n").split(";")]
            if line == 1 or not text.strip():
                continue
            if len(fields) == 6 and not (fields[2] and fields[3]):
                continue  # a station listed without position
            try:
                if len(fields) != 6:
                    raise InputError(path, line, f"{len(fields)} fields, expected 6.")
                lat = number(fields[2], path, line, 3, "Latitude")
                lon = number(fields[3], path, line, 4, "Longitude")
                alt = number(fields[4], path, line, 5, "Height", ("", "-999", "9999"))
            except InputError as e:
                problems.append(e)
                continue
            out.setdefault(fields[0], (fields[1], fields[5], lon, lat, alt))
    return out, problems
