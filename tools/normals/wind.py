"""Reader of the WMO 1991-2020 wind speed rows (units as submitted, degree|minute|second coordinates)."""
import csv
import re
from pathlib import Path

from .model import Normal, Station
from .problems import InputError, number

FIELDS = ("file", "wmo", "lat_dms", "lon_dms", "height", "param_name", "units", "calc",
          "m1", "m2", "m3", "m4", "m5", "m6", "m7", "m8", "m9", "m10", "m11", "m12", "annual")
MISSING = ("NA", "")
# Factor to m/s of each unit text as submitted (compared without case).
UNITS = {"m/s": 1.0, "m/sec": 1.0, "km/h": 1 / 3.6, "kmh": 1 / 3.6, "knots": 0.514444, "kt": 0.514444,
         "kn": 0.514444}


def dms_degrees(text, hemispheres):
    """Decimal degrees of "deg|min|sec|H", "deg|min|secH" or "deg|min|H"; ValueError if malformed.

    hemispheres: "NS" or "EW"; the second letter makes the value negative."""
    t = text.strip().upper()
    m = re.fullmatch(r"(\d{1,3})\|(\d{1,2})(?:\|(\d{1,2}(?:\.\d*)?))?\|?([A-Z])", t)
    if not m or m.group(4) not in hemispheres:
        raise ValueError(f'"{text.strip()}" is not degrees|minutes|seconds|{"/".join(hemispheres)}.')
    degrees, minutes = int(m.group(1)), int(m.group(2))
    seconds = float(m.group(3)) if m.group(3) else 0.0
    # 60 seconds is a rounding the submissions use (76|43|60 = 76|44|00); 60 minutes is not.
    if minutes >= 60 or seconds > 60:
        raise ValueError(f'"{text.strip()}" has 60 or more minutes or more than 60 seconds.')
    value = degrees + minutes / 60 + seconds / 3600
    limit = 90 if hemispheres == "NS" else 180
    if value > limit:
        raise ValueError(f'"{text.strip()}" lies beyond {limit} degrees.')
    return -value if m.group(4) == hemispheres[1] else value


def to_metres_per_second(value, unit):
    """value in unit (m/s, m/sec, km/h, knots) as m/s; KeyError for an unknown unit."""
    return value * UNITS[unit.strip().lower()]


def read_wind(path):
    """Wind stations of the table: (stations, problems, incomplete); values in m/s as submitted (height unknown)."""
    path = Path(path)
    stations, problems, incomplete = [], [], []
    with open(path, encoding="utf-8", newline="") as f:
        for line, fields in enumerate(csv.reader(f), start=1):
            if line == 1:
                continue
            try:
                stations_row = parse_wind_row(path, line, fields)
            except InputError as e:
                problems.append(e)
                continue
            station, values = stations_row
            missing = sum(v is None for v in values)
            if missing:
                incomplete.append((station, "Wind", f"{missing} of 12 months missing in the WMO wind table"))
                continue
            station.normals["Wind"] = Normal(values, "WMO", "1991-2020", None, 30)
            stations.append(station)
    return stations, problems, incomplete


def parse_wind_row(path, line, fields):
    if len(fields) != len(FIELDS):
        raise InputError(path, line, f"{len(fields)} fields, expected {len(FIELDS)}.")
    f = [x.strip() for x in fields]
    if not f[1].isdigit() or len(f[1]) > 5:
        raise InputError(path, line, f'"{f[1]}" is not a WMO number.', 2, "wmo")
    try:
        lat = dms_degrees(f[2], "NS")
    except ValueError as e:
        raise InputError(path, line, str(e), 3, "lat_dms") from None
    try:
        lon = dms_degrees(f[3], "EW")
    except ValueError as e:
        raise InputError(path, line, str(e), 4, "lon_dms") from None
    alt = number(f[4], path, line, 5, "height", MISSING)
    if f[7].lower() != "mean":
        raise InputError(path, line, f'"{f[7]}" is not a mean; only mean wind speeds are read.', 8, "calc")
    if f[6].lower() not in UNITS:
        raise InputError(path, line, f'"{f[6]}" is not a known wind speed unit (m/s, m/sec, km/h, knots).', 7, "units")
    values = []
    for m in range(12):
        v = number(f[8 + m], path, line, 9 + m, FIELDS[8 + m], MISSING)
        if v is not None and v < 0:
            raise InputError(path, line, f'"{f[8 + m]}" is a negative wind speed.', 9 + m, FIELDS[8 + m])
        values.append(None if v is None else to_metres_per_second(v, f[6]))
    wmo = f[1].zfill(5)
    # The station's file name, e.g. ".../Algeria/CSV/Adrar_60620.csv", holds its name and country.
    parts = f[0].split("/")
    name = re.sub(r"_\d+$", "", parts[-1].rsplit(".", 1)[0]).replace("_", " ")
    country = parts[-3].replace("_", " ") if len(parts) >= 3 else ""
    station = Station(wmo, name, country, lat, lon, alt, "WMO", wmo=wmo, origin=f"{path}, line {line}")
    return station, values
