"""Reader of the WMO 1991-2020 normals composites (TAVG, TMAX, TMIN, PRCP, MNVP, TSUN and their _min24)."""
import csv
from pathlib import Path

from .model import Normal, Station
from .problems import InputError, number
from .sunshine import sunshine_fraction

# Composite element -> variable of the table.
ELEMENTS = {"TAVG": "Temp", "TMAX": "Tmax", "TMIN": "Tmin", "PRCP": "Prec", "MNVP": "Vap", "TSUN": "Sun"}
FIELDS = ("Elem", "Rgn", "ID", "WIGOS_ID", "Latitude", "Longitude", "Elevation", "Country", "Station",
          "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec", "Annual")
MISSING = ("-99.9", "")
MISSING_ELEVATION = ("-9999.0", "-9999", "")
WMO_WIGOS = "0-20000-0-"  # the WIGOS series of stations that have a WMO number


def wmo_number(ident, wigos):
    """The 5-digit WMO number of a composite row, or None.

    The ID field alone is not enough: national numbers appear there too (000 + a national
    number under a national WIGOS series), so the number counts only when the WIGOS
    identifier is of the WMO series and agrees with the ID."""
    if wigos.startswith(WMO_WIGOS) and ident.startswith("000") and ident[3:] == wigos[len(WMO_WIGOS):]:
        return ident[3:] if len(ident) == 8 and ident[3:].isdigit() else None
    return None


def read_rows(path):
    """Yield (line number, fields) of a composite file, and InputError for a malformed line."""
    with open(path, encoding="utf-8", newline="") as f:
        for line, fields in enumerate(csv.reader(f), start=1):
            if line == 1:
                continue
            if len(fields) != len(FIELDS):
                yield line, InputError(path, line, f"{len(fields)} fields, expected {len(FIELDS)}.")
                continue
            yield line, [x.strip() for x in fields]


def parse_row(path, line, f):
    """(station, values) of one row; InputError for a field that cannot be read."""
    lat = number(f[4], path, line, 5, "Latitude")
    lon = number(f[5], path, line, 6, "Longitude")
    if not -90 <= lat <= 90:
        raise InputError(path, line, f'"{f[4]}" is not a latitude in -90..90.', 5, "Latitude")
    if not -180 <= lon <= 180:
        raise InputError(path, line, f'"{f[5]}" is not a longitude in -180..180.', 6, "Longitude")
    alt = number(f[6], path, line, 7, "Elevation", MISSING_ELEVATION)
    region = number(f[1], path, line, 2, "Rgn")
    values = [number(f[9 + m], path, line, 10 + m, FIELDS[9 + m], MISSING) for m in range(12)]
    ident, wigos = f[2], f[3]
    wmo = wmo_number(ident, wigos)
    name, country = f[8].replace("_", " "), f[7].replace("_", " ")
    key = wmo if wmo else f"{ident}|{wigos}|{country}|{name}|{lat:.3f}|{lon:.3f}"
    station = Station(key, name, country, lat, lon, alt, "WMO", wmo=wmo, origin=f"{path}, line {line}",
                      region=int(region) if region is not None else None)
    station.ident, station.wigos = ident, wigos
    return station, values


def read_composites(folder):
    """All WMO composite stations of a folder: (stations by key, problems, incomplete).

    A row with a missing month gives no normal of its variable (listed in incomplete as
    (station, variable, why)); Sun is converted from hours to the fraction of the day length."""
    folder = Path(folder)
    stations, problems, incomplete = {}, [], []
    seen = set()
    for element, variable in ELEMENTS.items():
        min24 = set()
        for line, f in read_rows(folder / f"wmo_normals_9120_{element}_min24.csv"):
            if not isinstance(f, InputError):
                min24.add((f[2], f[3], f[8], f[4], f[5]))
        path = folder / f"wmo_normals_9120_{element}.csv"
        for line, f in read_rows(path):
            if isinstance(f, InputError):
                problems.append(f)
                continue
            try:
                s, values = parse_row(path, line, f)
            except InputError as e:
                problems.append(e)
                continue
            station = stations.setdefault(s.key, s)
            if (s.key, variable) in seen:
                # The same WMO number twice in one element: a second station keeps its own key.
                s.key = f"{s.ident}|{s.wigos}|{s.country}|{s.name}|{s.lat:.3f}|{s.lon:.3f}"
                s.wmo = None
                station = stations.setdefault(s.key, s)
                if (s.key, variable) in seen:
                    problems.append(InputError(path, line, f"a second {variable} row of the same station; "
                                                           "the first one is kept.", 3, "ID"))
                    continue
            seen.add((s.key, variable))
            missing = sum(v is None for v in values)
            if missing:
                incomplete.append((station, variable, f"{missing} of 12 months missing in the WMO composite"))
                continue
            if variable == "Sun":
                fractions = [sunshine_fraction(h, station.lat, m + 1) for m, h in enumerate(values)]
                if None in fractions:
                    month = fractions.index(None)
                    incomplete.append((station, "Sun", f"{values[month]} hours of sunshine in month {month + 1} "
                                                       "exceed the day length"))
                    continue
                values = fractions
            listed = (f[2], f[3], f[8], f[4], f[5]) in min24
            station.normals[variable] = Normal(values, "WMO", "1991-2020", 24 if listed else None, 30)
    return stations, problems, incomplete
