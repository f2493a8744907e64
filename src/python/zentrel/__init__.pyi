"""Long-term monthly climate estimates for any point on the Earth's land surface.

Every 13-value array holds January..December at 0..11 and the annual value at 12, in single
precision, exactly as the command line's `zentrel estimate --json` gives them.
"""

import os
from typing import Any, Iterable, Literal, Sequence, TypedDict

import numpy as np
import numpy.typing as npt

__version__: str
VARIABLES: tuple[str, ...]
QUANTITIES: tuple[str, ...]
METHODS: tuple[str, ...]
SETTINGS: tuple[str, ...]

_Variable = Literal["Temp", "Tmax", "Tmin", "Prec", "Vap", "PET", "Wind", "Sun"]
_Method = Literal["described", "robust", "adaptive", "kriging"]
_Quantity = Literal["best", "low", "high", "stderr", "bias", "abs_grad", "direc_grad", "vert_grad",
                   "long_grad_deg", "lat_grad_deg", "long_grad", "lat_grad", "vert_expl_var",
                   "annual_cycle", "active_count"]
_SurfaceQuantity = Literal["best", "stderr", "low", "high", "bias"]
_ArrayLike = npt.ArrayLike
_Months = npt.NDArray[np.float32]

class DataError(Exception):
    """A data file the estimate needs is missing or cannot be used; the message names the file,
    line and field, as the command line reports it."""

class _Neighbour(TypedDict):
    name: str
    country: str
    lon: float
    lat: float
    alt: float
    dist: float
    """km from the location"""
    dir: float
    """degrees clockwise from north seen from the location; 9999 = none"""
    dir_code: str
    active: bool
    weight: float
    data: _Months
    source: str | None
    """where the station's normals come from ("WMO", "JMA world", "JMA Japan", "DWD", "CLIMAT");
    None where the data folder keeps no station table (and always for the mean station)"""
    period: str | None
    """the station's own observation period, e.g. "1991-2020"; None when not known"""
    years_min: int | None
    """fewest valid years behind its twelve normals; None when not known"""
    years_max: int | None
    """most valid years behind its twelve normals; None when not known"""
    note: str | None
    """a short note, e.g. "adjusted to 1991-2020"; None when there is none"""

def default_data_folder(data: str | os.PathLike[str] | None = None) -> str:
    """The data folder Database(data) opens, found as the zentrel programs find theirs: data when
    given, else $ZENTREL_DATA, else ZentrelData beside the programs, the user's data folder
    ($XDG_DATA_HOME/zentrel/ZentrelData) or the installed one (<prefix>/share/zentrel).
    Raises DataError naming the places it looked in when there is none."""

def data_folder_candidates() -> list[tuple[str, str]]:
    """The folders default_data_folder() tries, in order, each with the rule that names it."""

class Result:
    """One variable's estimate at one location."""

    @property
    def variable(self) -> str:
        """"Temp", "Tmax", ..."""
    @property
    def lon(self) -> float: ...
    @property
    def lat(self) -> float: ...
    @property
    def alt(self) -> float:
        """Altitude in m the estimate ran at (given, or from the elevation raster)."""
    @property
    def level(self) -> int:
        """Confidence level of low and high: 90, 95 or 99 (%)."""
    @property
    def best(self) -> _Months:
        """The bias-corrected estimate; the annual value is the year's total for Prec and PET, the mean of
        the months for the others."""
    @property
    def low(self) -> _Months:
        """Low bound at the level: best - k stderr (k 1.645, 1.96, 2.576), or for an estimate made in ratio
        space its bound taken back; negative amounts as 0, Sun at most 1; NaN without an error estimate."""
    @property
    def high(self) -> _Months:
        """High bound at the level, as low; NaN without an error estimate."""
    @property
    def stderr(self) -> _Months:
        """Cross-validation standard error; NaN where no error was estimated (fewer than the stations it needs).
        For Prec and PET the annual value is the error of the year's total."""
    @property
    def bias(self) -> _Months:
        """Cross-validation bias (already removed from best); NaN where no error was estimated."""
    @property
    def abs_grad(self) -> _Months:
        """Horizontal gradient length per 100 km."""
    @property
    def direc_grad(self) -> _Months:
        """Horizontal gradient direction, degrees clockwise from north."""
    @property
    def direc_grad_name(self) -> list[str]:
        """2-character compass sector of direc_grad, 13 texts ("" without gradient correction)."""
    @property
    def vert_grad(self) -> _Months:
        """Altitude slope per m."""
    @property
    def long_grad_deg(self) -> _Months:
        """Longitude coefficient per degree (annual value 0)."""
    @property
    def lat_grad_deg(self) -> _Months:
        """Latitude coefficient per degree (annual value 0)."""
    @property
    def long_grad(self) -> _Months:
        """Eastward gradient per 100 km."""
    @property
    def lat_grad(self) -> _Months:
        """Northward gradient per 100 km."""
    @property
    def vert_expl_var(self) -> _Months:
        """Explained variance of the altitude regression."""
    @property
    def annual_cycle(self) -> _Months:
        """Harmonic fit of the annual course: 0..5 sine, 6..11 cosine coefficients, 12 mean."""
    @property
    def neighbour_count(self) -> int: ...
    @property
    def active_count(self) -> int:
        """Active neighbours; 0 means no estimate (every array is NaN)."""
    @property
    def active_alt_count(self) -> int: ...
    @property
    def neighbours(self) -> Any:
        """A pandas DataFrame, one row per neighbour, nearest first, with the monthly data as
        columns jan..dec and annual, then where each comes from (source, period,
        years_min, years_max, note; None where the data folder does not say); without
        pandas the same as neighbour_list."""
    @property
    def neighbour_list(self) -> list[_Neighbour]:
        """The neighbours as dicts, nearest first."""
    @property
    def mean(self) -> _Neighbour:
        """The mean station of the active neighbours."""
    @property
    def warnings(self) -> dict[str, bool | int]:
        """WarnHigh, WarnLow, WarnLonely, WarnStrange, WarnDoubled, WarnFew, WarnHit, WarnRecord (bool),
        StrangeMonth, StrangeStation and RecordMonth (int; the first period beyond the world's records, 0 none)."""
    @property
    def caps(self) -> list[str]:
        """Per month and the annual value, the limits that acted on the estimate, comma-separated
        ("altitude slope", "plane", "neighbour envelope", "world records", "temperature order",
        "saturation", "covariate fallback"), "" where none did."""
    @property
    def messages(self) -> list[dict[str, str]]:
        """Messages of the run, each with "title" and "text"."""
    def bounds(self, level: int) -> tuple[_Months, _Months]:
        """Low and High at a confidence level 90, 95 or 99. ValueError otherwise."""

class Database:
    """A station database folder opened for estimates. Station files are read on first use and
    kept until the folder changes on disk (an import replaced it): the next call then reads it
    again whole. Estimates from several Python threads may run at once."""

    def __init__(self, data: str | os.PathLike[str] | None = None) -> None:
        """data: the data folder; None finds it as the zentrel programs do (default_data_folder()).
        DataError when there is none."""
    @property
    def path(self) -> str:
        """The data folder."""
    @property
    def demonstration(self) -> bool:
        """True when the folder holds demonstration data, not real stations."""
    @property
    def variables(self) -> list[str]:
        """The variables the folder holds stations of, in their fixed order."""
    def info(self) -> dict[str, Any]:
        """What `zentrel data info --json` prints: "folder", "about" (source, period, derivation
        lines), "stations", "withoutAltitude", "extent", "terrain", "demonstration", "problems" and
        "variables", a dict per variable name with its station counts and valid years."""
    def estimate(self, lon: float, lat: float, alt: float | None = None, var: _Variable | str = "Temp",
                 method: _Method | str = "kriging", level: int = 90, dem: str | os.PathLike[str] | None = None,
                 **settings: float | int | bool | str) -> Result:
        """The estimate of one variable at one location.

        lon -180..180, lat -90..90 in decimal degrees; alt in m, -600..10000 (None: from the
        elevation raster, with a UserWarning when the point is sea there; 9999: unknown). dem:
        the path of your own elevation model (any raster GDAL reads, in any coordinate system):
        with alt None the altitude is its pixel's at the point (DataError outside it). var
        is case-insensitive. settings: max_stat (1..20), max_dist (km, more than 0, up to
        22000), min_dist (km, 0..22000, taken as at least 0.1), pow_exp (0..5), min_high,
        max_high (m, -600..10000), neighb_alt, alt_corr, grad_corr (0/1 or bool), shad (0..1);
        defaults as the settings dialog's. The command line takes exactly the same values.
        Raises ValueError naming a bad argument ("max_stat must be 1..20, got 50") and
        DataError for unusable data (a variable the database holds no normals of) with the
        command line's message. The interpreter lock is released while the engine runs.
        """
    def estimate_many(self, lons: _ArrayLike, lats: _ArrayLike, alts: _ArrayLike | None = None,
                      var: _Variable | str = "Temp", method: _Method | str = "kriging",
                      quantities: _Quantity | str | Sequence[_Quantity | str] = ("best", "stderr"), level: int = 90,
                      threads: int = 0, dem: str | os.PathLike[str] | None = None,
                      **settings: float | int | bool | str) -> dict[str, npt.NDArray[Any]]:
        """The estimates of one variable at many locations, on `threads` threads (0: all cores;
        at most 4 x the hardware threads, as on the command line) with the interpreter lock
        released; Ctrl-C stops them (KeyboardInterrupt).

        lons, lats (and alts) of one shape S; alts None or NaN entries take the altitude of dem
        (your own elevation model, as in estimate()) where it has one, else the elevation
        raster's. Returns a dict: each quantity an array of shape S + (13,) (float32),
        "active_count" an int16 array of shape S. Every value equals what estimate() gives at
        that location, on any number of threads; what was not estimated is NaN (every quantity
        of a location without active neighbours).
        """
    def altitude(self, lons: _ArrayLike, lats: _ArrayLike) -> tuple[npt.NDArray[np.float32], npt.NDArray[np.bool_]]:
        """Altitude in m from the elevation raster and whether each point is sea there (0 m)."""
    def grid(self, bbox: Sequence[float], res: float | str, var: _Variable | str = "Temp", period: int | str = "all",
             quantities: _SurfaceQuantity | Iterable[_SurfaceQuantity | str] = ("best", "stderr"),
             method: _Method | str = "kriging", level: int = 90, threads: int = 0, sea: bool = False,
             dem: str | os.PathLike[str] | None = None, **settings: float | int | bool | str) -> Any:
        """Estimates over a regular longitude/latitude grid: the surface `zentrel raster` writes.

        bbox: (west, south, east, north) in decimal degrees, the outer edges of the cells (west
        greater than east crosses the date line); res: cell size in degrees, or a text such as
        "5m" or "30s". The cells, their values, names, units and attributes are those of the
        netCDF file of `zentrel raster --bbox W,S,E,N --res RES -o FILE.nc` with the same
        variable, periods, quantities, method and settings: lat descending from the north, the
        months on a climatological "time" axis, the annual value in a variable of its own
        ("prec_annual_total" in mm for Prec and PET, "temp_annual_mean" for the
        others), one variable per quantity ("prec", "prec_stderr", ...). Cells off the land
        mask, without an active neighbour, or a quantity that was not estimated there are NaN.
        sea=True estimates every cell (sea at 0 m). period: "all" (the twelve months and the
        annual value), a month 1..12 or its name, or 13 / "annual". quantities: best, stderr,
        low, high, bias. dem: the path of your own elevation model (any raster GDAL reads, in
        any coordinate system): each cell at its mean altitude there instead of the 5-minute
        elevation raster's (cells outside it keep that raster's), as `zentrel raster --dem`.

        Returns an xarray.Dataset (needs xarray and netCDF4).
        """

def cycles(result: Result, level: int | None = None) -> dict[str, npt.NDArray[np.float32]]:
    """Daily (365) and dekadal (36) values from the result's fitted annual course: "daily",
    "dekadal", and with a level also "daily_low", "daily_high", "dekadal_low", "dekadal_high".
    Prec and PET are amounts per day and totals per dekad."""

def growing_seasons(prec: Result | _ArrayLike, pet: Result | _ArrayLike) -> dict[str, Any]:
    """The growing seasons of the year from monthly precipitation against half and full PET.

    prec and pet: estimates of Prec and PET, or 12 (or 13) monthly values in mm. Returns
    "seasons", longest first, each with "type" (1..6), "type_name", "length" (days), "begin",
    "end", "humid_begin", "humid_end" ((day, month) or None) and "begin_day", "end_day" (day
    of a 360-day year or None); and "events", (label, date) of every crossing ("b" season
    begins, "B" humid begins, "E" humid ends, "e" season ends).
    """
