"""Astronomical day length and the sunshine fraction (FAO-56 eq. 24 and 34), as the CLIMAT importer computes them."""
import math

COMMON_YEAR_DAYS = (31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31)


def is_leap(year):
    return (year % 4 == 0 and year % 100 != 0) or year % 400 == 0


def days_in_month(year, month):
    return 29 if month == 2 and is_leap(year) else COMMON_YEAR_DAYS[month - 1]


def sun_geometry(lat, day_of_year):
    """(extraterrestrial radiation MJ m-2 day-1, day length h) at latitude lat (degrees) on a day 1..366."""
    phi = lat * math.pi / 180
    dr = 1 + 0.033 * math.cos(2 * math.pi * day_of_year / 365)
    delta = 0.409 * math.sin(2 * math.pi * day_of_year / 365 - 1.39)
    # Beyond the polar circles the sunset hour angle has no solution: polar night or midnight sun.
    x = min(max(-math.tan(phi) * math.tan(delta), -1.0), 1.0)
    omega = math.acos(x)
    ra = 24 * 60 / math.pi * 0.0820 * dr * (omega * math.sin(phi) * math.sin(delta)
                                             + math.cos(phi) * math.cos(delta) * math.sin(omega))
    return max(ra, 0.0), 24 / math.pi * omega


def monthly_daylight_hours(lat, year, month):
    """Sum of the day lengths of every day of a month of a year (h)."""
    first = 1 + sum(days_in_month(year, m) for m in range(1, month))
    return sum(sun_geometry(lat, first + d)[1] for d in range(days_in_month(year, month)))


def normal_daylight_hours(lat, month, first_year=1991, last_year=2020):
    """Mean monthly day length over the years of a normal: February counts its leap days as the hours do."""
    years = range(first_year, last_year + 1)
    leap = sum(is_leap(y) for y in years)
    if month != 2 or leap == 0:
        return monthly_daylight_hours(lat, 2001, month)
    # Only February differs between the years: weigh its common and leap forms.
    return (monthly_daylight_hours(lat, 2001, 2) * (len(years) - leap) + monthly_daylight_hours(lat, 2000, 2) * leap
            ) / len(years)


def sunshine_fraction(hours, lat, month, first_year=1991, last_year=2020):
    """Sunshine hours of a monthly normal as a fraction of the astronomical day length, 0..1.

    None when the hours exceed the daylight (more than 2 % + 1 h, the CLIMAT importer's
    tolerance); 0 in the polar night."""
    daylight = normal_daylight_hours(lat, month, first_year, last_year)
    if hours > 1.02 * daylight + 1:
        return None
    return min(1.0, hours / daylight) if daylight > 0 else 0.0
