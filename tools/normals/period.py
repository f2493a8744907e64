"""One climate period: offsets of the 2003-2021 CLIMAT normals against WMO 1991-2020, measured and applied."""
import statistics

ADDITIVE = ("Temp", "Tmax", "Tmin", "Sun")
# Vapour pressure changes in proportion to itself, as amounts do: a difference measured on humid
# stations (+0.3 hPa in a southern May) would give the Antarctic plateau, at 0.01 hPa, the
# humidity of a place 30 K warmer.
MULTIPLICATIVE = ("Prec", "Vap")
# Sunshine is measured, not applied: its offsets stay within 0.02 of the fraction and change sign
# from month to month, less than recorders differ; the others move by more than their rounding.
APPLIED = ("Temp", "Tmax", "Tmin", "Prec", "Vap")
# A region's own offsets need this many stations with both normals; with fewer its latitude band
# (all longitudes) stands in, and with fewer there too the whole world.
MIN_PAIRS = 30
# Monthly precipitation (mm) or vapour pressure (hPa) below this in the CLIMAT normal gives no
# ratio: a few mm more or less in a dry month, or the rounding of 0.1 hPa, would make any factor.
MIN_FOR_RATIO = {"Prec": 5.0, "Vap": 1.0}
# A pair whose annual mean differs more than this is two different measurements (a moved station,
# an error), not two periods, and is left out of the offsets.
SAME_MEASUREMENT = {"Temp": 2.0, "Tmax": 2.0, "Tmin": 2.0, "Vap": 1.3, "Sun": 0.1, "Prec": 1.5}
# Factors are kept within these bounds.
RATIO_LIMITS = (0.8, 1.25)

LAT_BANDS = ((45, 90, "45N-90N"), (15, 45, "15N-45N"), (-15, 15, "15S-15N"), (-90, -15, "90S-15S"))
LON_SECTORS = ((-170, -25, "Americas"), (-25, 60, "Europe-Africa"))


def band_of(lat):
    for south, north, name in LAT_BANDS:
        if south <= lat < north or (north == 90 and lat == 90):
            return name
    raise ValueError(f"latitude {lat} out of -90..90")


def sector_of(lon):
    for west, east, name in LON_SECTORS:
        if west <= lon < east:
            return name
    return "Asia-Pacific"


def region_of(lon, lat):
    """The region of a position: latitude band and longitude sector, e.g. "45N-90N Europe-Africa"."""
    return f"{band_of(lat)} {sector_of(lon)}"


def monthly_differences(variable, target, base):
    """Per month the difference target - base (additive) or the ratio target / base (Prec, Vap), None where no ratio."""
    if variable in MULTIPLICATIVE:
        return [t / b if b >= MIN_FOR_RATIO[variable] else None for t, b in zip(target, base)]
    return [t - b for t, b in zip(target, base)]


def same_measurement(variable, target, base):
    """Whether two normals of one station differ no more than two periods can."""
    limit = SAME_MEASUREMENT[variable]
    if variable in MULTIPLICATIVE:
        a, b = sum(target), sum(base)
        return b > 0 and a > 0 and 1 / limit <= a / b <= limit
    return abs(sum(target) - sum(base)) / 12 <= limit


def median_offsets(samples):
    """Per month the median of the samples' values (None values left out); None where none."""
    out = []
    for m in range(12):
        values = [s[m] for s in samples if s[m] is not None]
        out.append(statistics.median(values) if values else None)
    return out


class Offsets:
    """Offsets per variable and region from pairs (variable, lon, lat, target values, base values)."""

    def __init__(self, pairs):
        self.samples = {}
        self.left_out = {}
        for variable, lon, lat, target, base in pairs:
            if not same_measurement(variable, target, base):
                self.left_out[variable] = self.left_out.get(variable, 0) + 1
                continue
            d = monthly_differences(variable, target, base)
            for level in (region_of(lon, lat), band_of(lat), "World"):
                self.samples.setdefault((variable, level), []).append(d)
        self.medians = {k: median_offsets(v) for k, v in self.samples.items()}

    def pairs(self, variable, level):
        return len(self.samples.get((variable, level), ()))

    def level_for(self, variable, lon, lat):
        """The narrowest of region, latitude band and world with MIN_PAIRS pairs; None if even the world has fewer."""
        for level in (region_of(lon, lat), band_of(lat), "World"):
            if self.pairs(variable, level) >= MIN_PAIRS:
                return level
        return None

    def offsets(self, variable, lon, lat):
        level = self.level_for(variable, lon, lat)
        if level is None:
            return None, None
        values = self.medians[(variable, level)]
        neutral = 1.0 if variable in MULTIPLICATIVE else 0.0
        values = [neutral if v is None else v for v in values]
        if variable in MULTIPLICATIVE:
            values = [min(max(v, RATIO_LIMITS[0]), RATIO_LIMITS[1]) for v in values]
        return level, values


def adjust(variable, values, offsets):
    """values moved by the offsets: added (temperatures, Sun) or multiplied (Prec, Vap), kept within 0..1 for Sun."""
    if variable in MULTIPLICATIVE:
        return [v * f for v, f in zip(values, offsets)]
    out = [v + d for v, d in zip(values, offsets)]
    if variable == "Sun":
        return [min(max(v, 0.0), 1.0) for v in out]
    return out


def agreement(pairs):
    """Mean over months of the absolute median difference of pairs (variable, lon, lat, target, base), per variable."""
    by_variable = {}
    for variable, lon, lat, target, base in pairs:
        by_variable.setdefault(variable, []).append(monthly_differences(variable, target, base))
    out = {}
    for variable, samples in by_variable.items():
        medians = median_offsets(samples)
        neutral = 1.0 if variable in MULTIPLICATIVE else 0.0
        out[variable] = (len(samples), sum(abs(m - neutral) for m in medians if m is not None) / 12, medians)
    return out
