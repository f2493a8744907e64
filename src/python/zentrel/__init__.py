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


class Database(_zentrel.Database):
    """A station database folder opened for estimates.

    data: the data folder (str or path-like); None finds it as the zentrel programs do
    (default_data_folder()). Raises DataError when there is none.
    """

    def __init__(self, data: str | os.PathLike | None = None):
        """data: the data folder; None finds it as the zentrel programs do (default_data_folder()).
        DataError when there is none."""
        super().__init__(default_data_folder(data))

    def __repr__(self) -> str:
        return f"<zentrel.Database {self.path!r}>"

    def grid(self, bbox, res, var: str = "Temp", period="all",
             quantities=("best", "stderr"), method: str = "kriging", level: int = 90,
             threads: int = 0, sea: bool = False, dem=None, **settings):
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
        import tempfile
        try:
            import xarray as xr
        except ImportError:
            raise ImportError("Database.grid returns an xarray.Dataset: install xarray (python3-xarray).") from None
        try:
            box = [float(v) for v in bbox]
        except (TypeError, ValueError):
            raise ValueError("bbox takes four numbers: west, south, east, north.") from None
        index = _period_index(period)
        periods = list(range(1, 14)) if index is None else [index + 1]
        quantities = [quantities] if isinstance(quantities, str) else list(quantities)
        res = res if isinstance(res, str) else repr(float(res))
        with tempfile.TemporaryDirectory(prefix="zentrel-grid-") as folder:
            path = os.path.join(folder, "grid.nc")
            self._grid_file(path, box, res, var, periods, quantities, method, level, threads, sea, dem, **settings)
            with xr.open_dataset(path) as ds:
                return ds.load()
