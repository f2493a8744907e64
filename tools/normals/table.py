"""Writing the station table, the excluded stations and the period offsets: fixed order, at most 2 decimals."""
import csv
import io

from .model import VARIABLES

MONTHS = ("jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec")
HEADER = ("id", "name", "country", "lat", "lon", "alt", "variable") + MONTHS + (
    "years_min", "years_max", "source", "period", "note")
EXCLUDED_HEADER = ("id", "name", "country", "lat", "lon", "alt", "variable", "source", "reason")


def decimal(x, places=2):
    """x rounded to places decimals without trailing zeros; "" for None; never "-0"."""
    if x is None:
        return ""
    text = f"{round(x, places):.{places}f}".rstrip("0").rstrip(".") if places else f"{round(x):d}"
    return "0" if text in ("-0", "") else text


def coordinate(x):
    # Four decimals (11 m): the dense national networks lie closer together than two decimals tell.
    return decimal(x, 4)


def csv_text(header, rows, comments=()):
    out = io.StringIO()
    for c in comments:
        out.write(c + "\n")
    w = csv.writer(out, lineterminator="\n")
    w.writerow(header)
    w.writerows(rows)
    return out.getvalue()


def station_row(ident, station, variable, normal, note):
    years = ["" if y is None else str(int(y)) for y in (normal.years_min, normal.years_max)]
    return [ident, station.name, station.country, coordinate(station.lat), coordinate(station.lon),
            decimal(station.alt, 1) if station.alt is not None else "", variable] + \
        [decimal(v) for v in normal.values] + years + [normal.source, normal.period, note]


def sort_rows(rows):
    return sorted(rows, key=lambda r: (r[0], VARIABLES.index(r[6]) if r[6] in VARIABLES else 99, r[6], r[-1]))
