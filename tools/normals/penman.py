"""FAO-56 Penman-Monteith reference evapotranspiration of monthly normals, as the C++ importers compute it."""
import math

from .sunshine import COMMON_YEAR_DAYS, sun_geometry

STEFAN_BOLTZMANN = 4.903e-9  # MJ K-4 m-2 day-1


def saturation_vapour_pressure(t):
    """hPa over water at t °C (FAO-56 eq. 11)."""
    return 6.108 * math.exp(17.27 * t / (t + 237.3))


def wind_at_2m(speed, height):
    """Wind speed at 2 m from a speed measured at height m above ground (FAO-56 eq. 47)."""
    return speed * 4.87 / math.log(67.8 * height - 5.42)


def pet_per_day(lat, alt, tmax, tmin, vap, sun, wind, month):
    """Reference evapotranspiration mm/day of month 1..12; the lists hold January..December.

    alt in m (None = unknown, counted as 0), vap in hPa, sun as fraction, wind at 2 m in m/s."""
    i = month - 1
    z = 0.0 if alt is None else alt
    tx, tn = tmax[i], tmin[i]
    tmean = (tx + tn) / 2
    ea = vap[i] / 10  # kPa
    u2 = wind[i]
    fraction = min(max(sun[i], 0.0), 1.0)
    pressure = 101.3 * ((293 - 0.0065 * z) / 293) ** 5.26
    gamma = 0.000665 * pressure
    es = (saturation_vapour_pressure(tx) + saturation_vapour_pressure(tn)) / 20
    e0 = saturation_vapour_pressure(tmean) / 10
    slope = 4098 * e0 / ((tmean + 237.3) * (tmean + 237.3))
    # The middle day of the month stands for the whole month.
    ra, _ = sun_geometry(lat, int(30.4 * month - 15))
    rs = (0.25 + 0.50 * fraction) * ra
    rso = (0.75 + 2e-5 * z) * ra
    # Relative shortwave radiation; in the polar night (no Rso) the sunshine fraction tells the cloudiness.
    relative = min(rs / rso, 1.0) if rso > 0 else min((0.25 + 0.50 * fraction) / 0.75, 1.0)
    rns = (1 - 0.23) * rs
    tmax_k, tmin_k = tx + 273.16, tn + 273.16
    rnl = (STEFAN_BOLTZMANN * (tmax_k ** 4 + tmin_k ** 4) / 2
           * (0.34 - 0.14 * math.sqrt(max(ea, 0.0))) * (1.35 * relative - 0.35))
    rn = rns - rnl
    previous, following = (i - 1) % 12, (i + 1) % 12
    g = 0.07 * ((tmax[following] + tmin[following]) / 2 - (tmax[previous] + tmin[previous]) / 2)
    et0 = ((0.408 * slope * (rn - g) + gamma * 900 / (tmean + 273) * u2 * max(es - ea, 0.0))
           / (slope + gamma * (1 + 0.34 * u2)))
    return max(et0, 0.0)


def monthly_pet(lat, alt, tmax, tmin, vap, sun, wind):
    """Twelve monthly totals in mm (mm/day times the days of a common year)."""
    return [pet_per_day(lat, alt, tmax, tmin, vap, sun, wind, m) * COMMON_YEAR_DAYS[m - 1] for m in range(1, 13)]
