"""Stations far off their neighbours: the leave-one-out residuals that zentrel validate --loo --csv writes."""
import csv
from pathlib import Path

from .geo import close_pairs
from .problems import InputError, number

# Limits on the annual value (month 13) of a station against its leave-one-out estimate from its
# neighbours. The estimate already corrects for altitude and gradients; see data/README.md for
# the share of stations beyond each limit.
ADDITIVE_LIMITS = {"Temp": 5.0, "Tmax": 5.0, "Tmin": 5.0, "Vap": 5.0, "Sun": 0.25, "Wind": 4.0}
PREC_RATIO = 3.0  # observed / estimated beyond 3 or below 1/3
# A station is only left out as far off when another station of the variable lies this near:
# farther away the estimate says more about the method than about the station. The climates
# that no neighbour represents are the ones the database most needs (Walvis Bay's cold coast
# against the plateau, Antofagasta and Lima in the coastal desert, Leh behind the Himalaya,
# the South Pole under the plateau stations, El Calafate in the Patagonian rain shadow).
CONTRADICT_KM = 50.0
# Not for vapour pressure: of the 19 Vap normals so alone, most are impossible for their
# climates (a Caribbean cape at 4.6 hPa, Sumatran coasts at 8 hPa, Moroccan coasts at 5 hPa):
# other units or definitions in the national submissions, not climates of their own.
ALONE_NOT_KEPT = ("Vap",)


def kept_when_alone(variable):
    """Whether a normal far off its neighbours' estimate stays when no station is near enough to
    contradict it."""
    return variable not in ALONE_NOT_KEPT


def contradicted(points, km=CONTRADICT_KM):
    """Indices of the (lon, lat) points with another point within km: the stations whose
    neighbours can tell an error from a climate of their own."""
    near = set()
    for i, j in close_pairs(points, km):
        near.update((i, j))
    return near


def far_off(variable, observed, estimated):
    """Why an annual normal is too far from its neighbours' estimate, or None."""
    if variable == "Prec":
        if estimated > 0 and observed > 0:
            ratio = observed / estimated
            if ratio > PREC_RATIO or ratio < 1 / PREC_RATIO:
                return (f"far off its neighbours: annual {observed:.0f} mm against {estimated:.0f} mm estimated "
                        f"from them (beyond a factor of {PREC_RATIO:g})")
        return None
    limit = ADDITIVE_LIMITS.get(variable)
    if limit is not None and abs(observed - estimated) > limit:
        return (f"far off its neighbours: annual {observed:g} against {estimated:g} estimated from them "
                f"(more than {limit:g} apart)")
    return None


def read_residuals(path):
    """[(variable, lon, lat, observed, estimated)] of the annual rows of a validate CSV."""
    path = Path(path)
    out = []
    with open(path, encoding="utf-8", newline="") as f:
        for line, r in enumerate(csv.DictReader(f), start=2):
            if r.get("month") != "13":
                continue
            try:
                values = [number(r[k], path, line, i, k) for i, k in ((4, "lon"), (5, "lat"), (10, "observed"),
                                                                       (11, "estimated"))]
            except (InputError, KeyError, TypeError) as e:
                raise InputError(path, line, f"not a row of zentrel validate --csv ({e}).") from None
            out.append((r["variable"], *values))
    return out


def read_flags(path, positions):
    """{(id, variable): reason} of the stations far off their neighbours.

    positions: {(variable, round(lon, 2), round(lat, 2)): [(id, lon, lat)]} of the table the
    residuals were computed from; the CSV names stations by position, not by id."""
    flags = {}
    for variable, lon, lat, observed, estimated in read_residuals(path):
        why = far_off(variable, observed, estimated)
        if not why:
            continue
        near = positions.get((variable, round(lon, 2), round(lat, 2)), [])
        near = [c for c in near if abs(c[1] - lon) < 0.001 and abs(c[2] - lat) < 0.001]
        if len(near) == 1:
            flags[(near[0][0], variable)] = why
    return flags
