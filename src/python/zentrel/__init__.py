"""Long-term monthly climate estimates for any point on the Earth's land surface.

Quick start::

    import zentrel
    db = zentrel.Database()                 # the data folder the command line uses
    r = db.estimate(12.48, 41.9)            # Temp at Rome, altitude from the elevation raster
    r.best, r.low, r.high                   # numpy arrays: January..December, annual
"""

from __future__ import annotations

import os
import shutil
from pathlib import Path

from . import _zentrel
from ._zentrel import DataError, Result, cycles, growing_seasons

__version__ = _zentrel.__version__
__all__ = ["Database", "DataError", "Result", "cycles", "growing_seasons", "default_data_folder",
           "data_folder_candidates",
           "VARIABLES", "QUANTITIES", "METHODS", "SETTINGS"]

#: The eight variables, in their fixed order.
VARIABLES = ("Temp", "Tmax", "Tmin", "Prec", "Vap", "PET", "Wind", "Sun")
#: The 13-value quantities of a result and of estimate_many.
QUANTITIES = _zentrel.QUANTITIES
#: The estimation methods.
METHODS = _zentrel.METHODS
#: The settings keywords of estimate, estimate_many and grid.
SETTINGS = _zentrel.SETTINGS

_UNITS = {"Temp": "degC", "Tmax": "degC", "Tmin": "degC", "Prec": "mm/month", "Vap": "hPa",
          "PET": "mm/month", "Wind": "m/s", "Sun": "1"}
_MONTHS = ("January", "February", "March", "April", "May", "June", "July", "August", "September",
           "October", "November", "December")


def _program_folder() -> str:
    """The folder of the zentrel programs whose data lookup the module shares: the build's bin
    folder when the module is imported from a build tree (<build>/python/zentrel), else the folder
    of the zentrel program on PATH, else the bin folder of the prefix the module is installed
    under (<prefix>/lib/python3*/*-packages/zentrel)."""
    here = Path(__file__).resolve().parent
    build_bin = here.parent.parent / "bin"
    if (build_bin / "zentrel").is_file():
        return str(build_bin)
    program = shutil.which("zentrel")
    if program:
        return str(Path(program).resolve().parent)
    return str(here.parents[3] / "bin") if len(here.parents) > 3 else str(here)


def default_data_folder(data: str | os.PathLike | None = None) -> str:
    """The data folder Database(data) opens, found as the zentrel programs find theirs: data when
    given, else $ZENTREL_DATA, else ZentrelData beside the programs, the user's data folder
    ($XDG_DATA_HOME/zentrel/ZentrelData) or the installed one (<prefix>/share/zentrel).
    Raises DataError naming the places it looked in when there is none."""
    return _zentrel.find_data_folder(_program_folder(), os.fspath(data) if data is not None else None)


def data_folder_candidates() -> list[tuple[str, str]]:
    """The folders default_data_folder() tries, in order, each with the rule that names it."""
    return _zentrel.data_folder_candidates(_program_folder())


def _period_index(period) -> int | None:
    """None for all months and the annual value, else 0..12 (12 = annual)."""
    if isinstance(period, str):
        name = period.strip().lower()
        if name == "all":
            return None
        if name in ("annual", "average", "13"):
            return 12
        for i, month in enumerate(_MONTHS):
            if name == month.lower() or name == month[:3].lower():
                return i
        if name.isdigit():
            period = int(name)
    if isinstance(period, (int,)) and not isinstance(period, bool) and 1 <= period <= 13:
        return period - 1
    raise ValueError('period must be "all", a month 1..12 or its name, or 13 / "annual" for the annual value.')


def _axis(start: float, end: float, res: float) -> "numpy.ndarray":
    import numpy as np
    count = int(np.floor((end - start) / res + 1e-9)) + 1
    return start + res * np.arange(count)


class Database(_zentrel.Database):
    """A station database folder opened for estimates.

    data: the data folder (str or path-like); None finds it as the zentrel programs do
    (default_data_folder()). Raises DataError when there is none.
    """

    def __init__(self, data: str | os.PathLike | None = None):
        super().__init__(default_data_folder(data))

    def __repr__(self) -> str:
        return f"<zentrel.Database {self.path!r}>"

    def grid(self, bbox, res: float, var: str = "Temp", period="all",
             quantities=("best", "stderr"), method: str = "described", level: int = 90,
             threads: int = 0, sea: bool = False, **settings):
        """Estimates over a regular longitude/latitude grid.

        bbox: (west, south, east, north) in decimal degrees; res: cell spacing in degrees
        (0.001..2). Cells lie at west + i * res and south + j * res up to east and north.
        Altitudes come from the elevation raster; sea cells are NaN unless sea=True (then
        they are estimated at 0 m). period: "all" (months 1..12 and the annual value as a
        "month" dimension 1..13), a month 1..12 or its name, or 13 / "annual".

        Returns an xarray.Dataset with one variable per quantity over (month,) lat, lon when
        xarray is installed, ready for to_netcdf; otherwise a dict of numpy arrays with "lon",
        "lat" (and "month") coordinates.
        """
        import numpy as np
        try:
            west, south, east, north = (float(v) for v in bbox)
        except (TypeError, ValueError):
            raise ValueError("bbox takes four numbers: west, south, east, north.") from None
        if not (-180 <= west < east <= 180) or not (-90 <= south < north <= 90):
            raise ValueError("bbox must run from west to east within -180..180 and from south to north within -90..90.")
        try:
            res = float(res)
        except (TypeError, ValueError):
            raise ValueError("Resolution in decimal degrees must be in the range (2,0.001)  ") from None
        if not (0.001 <= res <= 2):
            raise ValueError("Resolution in decimal degrees must be in the range (2,0.001)  ")
        index = _period_index(period)
        quantities = tuple(quantities) if not isinstance(quantities, str) else (quantities,)
        lons = _axis(west, east, res)
        lats = _axis(south, north, res)
        lon2, lat2 = np.meshgrid(lons, lats)
        alt, is_sea = self.altitude(lon2, lat2)
        land = np.ones_like(is_sea) if sea else ~is_sea
        values = {}
        if land.any():
            many = self.estimate_many(lon2[land], lat2[land], alt[land].astype(float), var=var,
                                      method=method, quantities=quantities, level=level,
                                      threads=threads, **settings)
        dims = {}
        for q in quantities:
            if q == "active_count":  # one number per cell
                full = np.full(lon2.shape, -1, dtype=np.int16)
                if land.any():
                    full[land] = many[q]
                values[q], dims[q] = full, ("lat", "lon")
                continue
            full = np.full(lon2.shape + (13,), np.nan, dtype=np.float32)
            if land.any():
                full[land] = many[q]
            if index is None:
                values[q], dims[q] = np.moveaxis(full, -1, 0), ("month", "lat", "lon")
            else:
                values[q], dims[q] = full[..., index], ("lat", "lon")
        coords = {"lon": lons, "lat": lats}
        if index is None:
            coords["month"] = np.arange(1, 14)
        try:
            import xarray as xr
        except ImportError:
            return {**values, **coords}
        data = {q: (dims[q], values[q], {"long_name": f"{var} {q}", "units": _UNITS.get(var, "")})
                for q in quantities}
        ds = xr.Dataset(data, coords=coords)
        ds["lon"].attrs.update(units="degrees_east", long_name="longitude")
        ds["lat"].attrs.update(units="degrees_north", long_name="latitude")
        if index is None:
            ds["month"].attrs["long_name"] = "month 1..12, 13 = annual value"
        ds.attrs.update(variable=var, method=method, period=str(period), resolution=res,
                        source=f"zentrel {__version__}, data folder {self.path}")
        return ds
