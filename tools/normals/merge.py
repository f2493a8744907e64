"""One station per place: stations of one WMO number and stations at one place become one, per variable the best source wins."""
import re

from .geo import close_pairs, distance_km
from .model import SOURCES

# A WMO number names one station only near one position: members of a number farther than this
# from its reference position are another station that carries a wrong or a national number.
SAME_NUMBER_KM = 25.0
# Different numbers this close, horizontally and in altitude, measure the same climate: one place.
SAME_PLACE_KM = 1.0
SAME_PLACE_METRES = 50.0


def attach_wind(composites, wind_stations):
    """Joins each wind row to the composite station of its number (or ID) within SAME_NUMBER_KM.

    Returns the wind stations that match none, to stand as stations of their own."""
    by_ident = {}
    for s in composites:
        by_ident.setdefault(s.ident[-5:] if s.ident.startswith("000") else s.ident, []).append(s)
    alone = []
    for w in wind_stations:
        near = [s for s in by_ident.get(w.wmo, []) if distance_km(s.lon, s.lat, w.lon, w.lat) <= SAME_NUMBER_KM]
        if near:
            best = min(near, key=lambda s: distance_km(s.lon, s.lat, w.lon, w.lat))
            if "Wind" not in best.normals:
                best.normals["Wind"] = w.normals["Wind"]
                continue
        alone.append(w)
    return alone


def release_conflicting_numbers(stations, reference):
    """Takes the WMO number from stations that lie farther than SAME_NUMBER_KM from the number's position.

    reference: number -> (lon, lat) of a station list (CLIMAT's); where it lacks the number, the
    member of the best source stands for the position. Returns the stations that lost their number."""
    groups = {}
    for s in stations:
        if s.wmo:
            groups.setdefault(s.wmo, []).append(s)
    released = []
    for number, members in sorted(groups.items()):
        members.sort(key=lambda s: (s.rank(), s.key))
        lon, lat = reference.get(number, (members[0].lon, members[0].lat))
        for s in members:
            if distance_km(lon, lat, s.lon, s.lat) > SAME_NUMBER_KM:
                s.released = number
                s.wmo = None
                released.append(s)
    return released


def listed_altitude(head, station_list):
    """The station list's height for a station none of whose sources gives one, else None.

    JMA's world normals leave about a hundred stations without a height (Addis Ababa among
    them); the relief's altitude that would stand in for it is off by a hundred metres and more
    in the highlands on a 5' grid, and the quality control then finds such a station far off
    its neighbours. The list's position of the number lies within SAME_NUMBER_KM (the merge
    took the number from every station farther away)."""
    if head.alt is not None or not head.wmo or head.wmo not in station_list:
        return None
    return station_list[head.wmo][4]


def _same_altitude(a, b):
    # An unknown altitude does not keep two stations within SAME_PLACE_KM apart.
    return a.alt is None or b.alt is None or abs(a.alt - b.alt) <= SAME_PLACE_METRES


def places(stations):
    """Groups of stations that are one place: one WMO number, or within SAME_PLACE_KM and SAME_PLACE_METRES."""
    parent = list(range(len(stations)))

    def find(i):
        while parent[i] != i:
            parent[i] = parent[parent[i]]
            i = parent[i]
        return i

    def join(i, j):
        a, b = find(i), find(j)
        if a != b:
            parent[max(a, b)] = min(a, b)

    first_of = {}
    for i, s in enumerate(stations):
        if s.wmo:
            join(i, first_of.setdefault(s.wmo, i))
    for i, j in close_pairs([(s.lon, s.lat) for s in stations], SAME_PLACE_KM):
        if _same_altitude(stations[i], stations[j]):
            join(i, j)
    groups = {}
    for i in range(len(stations)):
        groups.setdefault(find(i), []).append(stations[i])
    return list(groups.values())


def representative_order(s):
    """Which station of a place gives its id and position: a WMO number, the best source, more variables."""
    return (s.wmo is None, s.rank(), -len(s.normals), s.key)


def normal_order(station, variable):
    """Which normal of a variable wins at a place (see data/README.md): the source's precedence
    (1991-2020 sources before the 2003-2021 CLIMAT normals), then more years, then more variables."""
    n = station.normals[variable]
    return (SOURCES.index(n.source), -(n.years_min or 0), -len(station.normals), station.key)


def slug(text):
    return re.sub(r"[^A-Za-z0-9]+", "-", text).strip("-")


def source_id(s):
    """The id of a station without WMO number: a prefix of its source and its own number."""
    if s.source == "WMO":
        wigos = getattr(s, "wigos", "")
        ident = getattr(s, "ident", "")
        if wigos and not wigos.startswith("0-20000-0-"):
            return "WMO-" + wigos
        if ident and ident != "99999999":
            return "WMO-" + ident
        return "WMO-" + slug(f"{s.country} {s.name}")
    if s.source == "JMA world":
        return "JMAW-" + s.key
    if s.source == "CLIMAT":
        return "CLIMAT-" + s.key
    return s.key  # JMA Japan and DWD keys carry their prefix


def merge_place(members):
    """(representative, {variable: (member, normal)}) of one place; dropped = [(member, variable, why)]."""
    members = sorted(members, key=representative_order)
    head = members[0]
    chosen, dropped = {}, []
    variables = sorted({v for s in members for v in s.normals})
    for v in variables:
        holders = sorted((s for s in members if v in s.normals), key=lambda s: normal_order(s, v))
        chosen[v] = (holders[0], holders[0].normals[v])
        for other in holders[1:]:
            n = other.normals[v]
            why = (f"the same station as {head.wmo or source_id(head)}: {holders[0].normals[v].source} "
                   f"{holders[0].normals[v].period} normals take precedence"
                   if other.wmo and other.wmo == head.wmo else
                   f"within {SAME_PLACE_KM:g} km and {SAME_PLACE_METRES:g} m of station "
                   f"{head.wmo or source_id(head)}, whose {holders[0].normals[v].source} normals are kept")
            dropped.append((other, v, why, n))
    return head, chosen, dropped
