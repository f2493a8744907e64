"""Reader of the German weather service's 1991-2020 precipitation normals (semicolon tables, fixed-width padding)."""
from pathlib import Path

from .model import Normal, Station
from .problems import InputError, number

LIST_FIELDS = ("Stations_id", "Stationsname", "geogr. Breite", "geogr. Laenge", "Stationshoehe", "Bundesland")
NORMAL_FIELDS = ("Stations_id", "Bezugszeitraum", "Datenquelle", "Jan.", "Feb.", "März", "Apr.", "Mai", "Jun.",
                 "Jul.", "Aug.", "Sept.", "Okt.", "Nov.", "Dez.", "Jahr")
MISSING = ("", "-999", "-999.0")


def _split(line_text, expected, path, line):
    """The fields of a semicolon line (each line ends with a semicolon), blanks stripped."""
    fields = [x.strip() for x in line_text.rstrip("\r\n").split(";")]
    if fields and fields[-1] == "":
        fields.pop()
    if len(fields) != expected:
        raise InputError(path, line, f"{len(fields)} fields, expected {expected}.")
    return fields


def read_station_list(path):
    """(station number -> (name, lat, lon, alt), problems)."""
    places, problems = {}, []
    with open(path, encoding="utf-8") as f:
        for line, text in enumerate(f, start=1):
            if line == 1 or not text.strip():
                continue
            try:
                fl = _split(text, len(LIST_FIELDS), path, line)
                if not fl[0].isdigit():
                    raise InputError(path, line, f'"{fl[0]}" is not a station number.', 1, LIST_FIELDS[0])
                lat = number(fl[2], path, line, 3, LIST_FIELDS[2])
                lon = number(fl[3], path, line, 4, LIST_FIELDS[3])
                if not -90 <= lat <= 90:
                    raise InputError(path, line, f'"{fl[2]}" is not a latitude in -90..90.', 3, LIST_FIELDS[2])
                if not -180 <= lon <= 180:
                    raise InputError(path, line, f'"{fl[3]}" is not a longitude in -180..180.', 4, LIST_FIELDS[3])
                alt = number(fl[4], path, line, 5, LIST_FIELDS[4], MISSING)
            except InputError as e:
                problems.append(e)
                continue
            places[str(int(fl[0]))] = (fl[1], lat, lon, alt)
    return places, problems


def read_dwd(folder):
    """(stations, problems, incomplete) of the precipitation normals; ids "DWD-" + the station number."""
    folder = Path(folder)
    places, problems = read_station_list(folder / "Niederschlag_1991-2020_Stationsliste.txt")
    path = folder / "Niederschlag_1991-2020.txt"
    stations, incomplete = [], []
    with open(path, encoding="utf-8") as f:
        for line, text in enumerate(f, start=1):
            if line == 1 or not text.strip():
                continue
            try:
                fl = _split(text, len(NORMAL_FIELDS), path, line)
                if not fl[0].isdigit():
                    raise InputError(path, line, f'"{fl[0]}" is not a station number.', 1, NORMAL_FIELDS[0])
                ident = str(int(fl[0]))
                if ident not in places:
                    raise InputError(path, line, f"station {ident} is not in the station list.", 1, NORMAL_FIELDS[0])
                period = fl[1]
                values = []
                for m in range(12):
                    v = number(fl[3 + m], path, line, 4 + m, NORMAL_FIELDS[3 + m], MISSING)
                    if v is not None and v < 0:
                        raise InputError(path, line, f'"{fl[3 + m]}" is a negative precipitation.', 4 + m,
                                         NORMAL_FIELDS[3 + m])
                    values.append(v)
            except InputError as e:
                problems.append(e)
                continue
            name, lat, lon, alt = places[ident]
            s = Station(f"DWD-{ident}", name, "Germany", lat, lon, alt, "DWD", origin=f"{path}, line {line}")
            missing = sum(v is None for v in values)
            if missing:
                incomplete.append((s, "Prec", f"{missing} of 12 months missing in the DWD normals"))
                continue
            s.normals["Prec"] = Normal(values, "DWD", period)
            stations.append(s)
    return stations, problems, incomplete
