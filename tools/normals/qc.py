"""Quality control: normals that break physics, stations at sea or off the relief, stations far off their neighbours."""
import math

from .terrain import Terrain

PLAUSIBLE = {"Temp": (-90, 55), "Tmax": (-90, 55), "Tmin": (-90, 55), "Prec": (0, 3000), "Vap": (0, 80),
             "PET": (0, 500), "Wind": (0, 40), "Sun": (0, 1)}
# Temp may lie this far outside Tmin..Tmax (°C) before the three disagree: the C++ importer's margin.
TEMP_MARGIN = 1.0
# Vapour pressure may exceed saturation at the mean maximum by this factor and offset (hPa): the
# mean of daily saturation pressures exceeds saturation at the mean temperature, most in cold,
# variable winters (the C++ CLIMAT importer's limit).
VAP_FACTOR, VAP_OFFSET = 1.3, 0.5
# A station is at sea when no land point of the raster lies within this many points (5' each, about
# 9 km): coastal and island stations fall on sea points of the coarse land mask.
SEA_RADIUS = 2
# A station's altitude may lie this far (m) below the lowest or above the highest land point
# within two points (10' of arc, about 18 km) around it. The points sample the relief every 9 km
# and miss summits and deep valleys: summit stations (Zugspitze, Sniezka) lie up to about 800 m
# above every point near them, Himalayan valley stations as far below. Beyond that the altitude
# or the coordinates are wrong (data/README.md gives the counts at other limits).
RELIEF_RADIUS = 2
RELIEF_MARGIN = 800
# The annual mean of Tmax - Tmin (K) beyond which the two are not daily means: the widest ranges
# of high deserts stay below; wider ones in the WMO composites are whole countries whose Tmax
# and Tmin are extremes.
DAILY_RANGE_LIMIT = 20.0


LOWEST_LAND, HIGHEST_STATION = -450, 9000  # the Dead Sea shore; above every summit


def saturation_over_water(t):
    """hPa at t °C (Tetens), as stations report it over water."""
    return 6.1078 * math.exp(17.27 * t / (t + 237.3))


def physics(normals):
    """[(variable, reason)] of the normals {variable: values} of one station that cannot be right."""
    bad = []
    for v, values in sorted(normals.items()):
        low, high = PLAUSIBLE[v]
        for m, x in enumerate(values):
            if x < low and v in ("Prec", "Vap", "Wind", "Sun", "PET"):
                bad.append((v, f"negative amount {x:g} in month {m + 1}"))
                break
            if not low <= x <= high:
                bad.append((v, f"{x:g} in month {m + 1} lies outside the plausible {low}..{high}"))
                break
    tx, tn = normals.get("Tmax"), normals.get("Tmin")
    if tx and tn:
        for m in range(12):
            if tx[m] < tn[m]:
                why = f"mean maximum {tx[m]:g} below mean minimum {tn[m]:g} °C in month {m + 1}"
                bad += [("Tmax", why), ("Tmin", why)]
                break
        mean_range = sum(a - b for a, b in zip(tx, tn)) / 12
        if mean_range > DAILY_RANGE_LIMIT:
            why = f"mean daily range {mean_range:.1f} K over the year exceeds {DAILY_RANGE_LIMIT:g} K"
            bad += [("Tmax", why), ("Tmin", why)]
    t = normals.get("Temp")
    if t and tx and tn:
        for m in range(12):
            if t[m] > tx[m] + TEMP_MARGIN or t[m] < tn[m] - TEMP_MARGIN:
                bad.append(("Temp", f"mean {t[m]:g} °C outside the mean minimum {tn[m]:g} and maximum {tx[m]:g} °C "
                                    f"in month {m + 1}"))
                break
    e = normals.get("Vap")
    if e and (tx or t):
        for m in range(12):
            warm = tx[m] if tx else t[m] + 5
            limit = VAP_FACTOR * saturation_over_water(warm) + VAP_OFFSET
            if e[m] > limit:
                bad.append(("Vap", f"{e[m]:g} hPa above saturation at {warm:g} °C in month {m + 1}"))
                break
    return sorted(set(bad))


def relief(terrain: Terrain, lon, lat, alt):
    """Why a station's position disagrees with the elevation raster, or None."""
    near = terrain.window(lon, lat, SEA_RADIUS)
    if not near:
        return f"at sea: no land within {SEA_RADIUS * 5} minutes of arc on the elevation raster"
    if alt is None:
        return None
    around = terrain.window(lon, lat, RELIEF_RADIUS)
    if not around:
        return None  # on the coast: the raster has no land point to compare with
    if not LOWEST_LAND <= alt <= HIGHEST_STATION:
        return f"altitude {alt:g} m lies outside {LOWEST_LAND}..{HIGHEST_STATION} m"
    low, high = min(around), max(around)
    # Land below -40 m reads -40 m: it may lie as low as the Dead Sea shore.
    if low <= -40:
        low = LOWEST_LAND
    if alt < low - RELIEF_MARGIN:
        return f"altitude {alt:g} m lies {low - alt:.0f} m below the relief around it ({low}..{high} m)"
    if alt > high + RELIEF_MARGIN:
        return f"altitude {alt:g} m lies {alt - high:.0f} m above the relief around it ({low}..{high} m)"
    return None
