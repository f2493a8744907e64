"""Reader of JMA's world climate normals (climate_world.csv: WMO number, position, mean temperature, precipitation)."""
import csv
from pathlib import Path

from .model import Normal, Station
from .problems import InputError, number

FIELDS = ("no", "lat", "lon", "altitude") + tuple(f"t{m}" for m in range(1, 13)) + tuple(f"p{m}" for m in range(1, 13))
MISSING = ("NA", "")


def read_jma_world(path, period):
    """(stations, problems, incomplete); period: the period the normals stand for (measured, see period.py)."""
    path = Path(path)
    stations, problems, incomplete = [], [], []
    with open(path, encoding="utf-8", newline="") as f:
        for line, fields in enumerate(csv.reader(f), start=1):
            if line == 1:
                continue
            try:
                if len(fields) != len(FIELDS):
                    raise InputError(path, line, f"{len(fields)} fields, expected {len(FIELDS)}.")
                fl = [x.strip() for x in fields]
                if not fl[0].isdigit() or len(fl[0]) > 5:
                    raise InputError(path, line, f'"{fl[0]}" is not a WMO number.', 1, "no")
                lat = number(fl[1], path, line, 2, "lat")
                lon = number(fl[2], path, line, 3, "lon")
                if not -90 <= lat <= 90:
                    raise InputError(path, line, f'"{fl[1]}" is not a latitude in -90..90.', 2, "lat")
                if not -180 <= lon <= 180:
                    raise InputError(path, line, f'"{fl[2]}" is not a longitude in -180..180.', 3, "lon")
                alt = number(fl[3], path, line, 4, "altitude", MISSING)
                temp = [number(fl[4 + m], path, line, 5 + m, FIELDS[4 + m], MISSING) for m in range(12)]
                prec = [number(fl[16 + m], path, line, 17 + m, FIELDS[16 + m], MISSING) for m in range(12)]
                for m, p in enumerate(prec):
                    if p is not None and p < 0:
                        raise InputError(path, line, f'"{fl[16 + m]}" is a negative precipitation.', 17 + m,
                                         FIELDS[16 + m])
            except InputError as e:
                problems.append(e)
                continue
            wmo = fl[0].zfill(5)
            s = Station(wmo, "", "", lat, lon, alt, "JMA world", wmo=wmo, origin=f"{path}, line {line}")
            for variable, values in (("Temp", temp), ("Prec", prec)):
                missing = sum(v is None for v in values)
                if missing == 12:
                    continue
                if missing:
                    incomplete.append((s, variable, f"{missing} of 12 months missing in JMA's world normals"))
                else:
                    s.normals[variable] = Normal(values, "JMA world", period)
            stations.append(s)
    return stations, problems, incomplete
