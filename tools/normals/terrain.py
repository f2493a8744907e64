"""The elevation raster 10k8b.raw: 4320 x 2160 bytes, byte i of row r at lon (i+1)/12-180, lat 90-(r+1)/12."""
from pathlib import Path

COLUMNS, ROWS = 4320, 2160
SEA = 255


class Terrain:
    """Altitudes of the raster's points, coded (alt + 40) / 20 with 255 = sea."""

    def __init__(self, data):
        if len(data) != COLUMNS * ROWS:
            raise ValueError(f"an elevation raster has {COLUMNS * ROWS} bytes, not {len(data)}")
        self.data = data

    @classmethod
    def read(cls, path):
        return cls(Path(path).read_bytes())

    @staticmethod
    def cell(lon, lat):
        """(column, row) of the raster point nearest to lon, lat; columns wrap at 180 degrees."""
        column = (round((lon + 180) * 12) - 1) % COLUMNS
        row = min(max(round((90 - lat) * 12) - 1, 0), ROWS - 1)
        return column, row

    def code(self, column, row):
        return self.data[row * COLUMNS + column % COLUMNS]

    def window(self, lon, lat, radius):
        """Altitudes in m of the land points within radius points around lon, lat (sea left out)."""
        column, row = self.cell(lon, lat)
        out = []
        for r in range(max(row - radius, 0), min(row + radius, ROWS - 1) + 1):
            for c in range(column - radius, column + radius + 1):
                code = self.code(c, r)
                if code != SEA:
                    out.append(code * 20 - 40)
        return out
