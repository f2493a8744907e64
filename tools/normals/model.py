"""Stations and their monthly normals as the readers hand them to the merge."""
from dataclasses import dataclass, field

VARIABLES = ("Temp", "Tmax", "Tmin", "Prec", "Vap", "PET", "Wind", "Sun")

# Sources in order of precedence where two of them hold the same variable of one station:
# national and WMO 1991-2020 normals first, JMA's world normals (measured to be 1991-2020 too),
# the 2003-2021 CLIMAT normals last.
SOURCES = ("WMO", "JMA Japan", "DWD", "JMA world", "CLIMAT")


@dataclass
class Normal:
    """Twelve monthly values (January..December) of one variable at one station."""
    values: list
    source: str
    period: str
    years_min: object = None  # int or None when the source does not say
    years_max: object = None
    notes: list = field(default_factory=list)


@dataclass
class Station:
    """One station of one source. alt None = unknown; wmo = the 5-digit WMO number or None."""
    key: str  # unique within the source
    name: str
    country: str
    lat: float
    lon: float
    alt: object
    source: str
    wmo: object = None
    normals: dict = field(default_factory=dict)  # variable -> Normal
    origin: str = ""  # file and line, for messages
    region: object = None  # WMO region 1..6 where the source gives it

    def rank(self):
        return SOURCES.index(self.source)
