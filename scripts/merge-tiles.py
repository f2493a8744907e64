#!/usr/bin/python3
# Joins the strips of `zentrel raster --tile I/N` into one Cloud-Optimized GeoTIFF that keeps
# everything a single run writes: values, grid, NoData, band descriptions, units, the period and
# quantity of every band, and the file's metadata (all but the strip's own "tile" item).
# Usage: scripts/merge-tiles.py OUT.tif STRIP.tif...   (GDAL's Python bindings, python3-gdal)
# The installed program does the same: zentrel raster --merge STRIP.tif... -o OUT.tif
# The strips must be all N strips of one grid; OUT.tif is written beside and renamed when whole.
import os
import sys

from osgeo import gdal

gdal.UseExceptions()


def fail(message):
    sys.exit(f"merge-tiles: {message}")


# Items only a strip has: which strip it is, and the grid of the whole run it is part of.
STRIP_ITEMS = ("tile", "tile_grid")


def bands(dataset):
    """What each band is: its name, unit, period, quantity and NoData value."""
    out = []
    for b in range(1, dataset.RasterCount + 1):
        band = dataset.GetRasterBand(b)
        out.append((band.GetDescription(), band.GetUnitType(), sorted(band.GetMetadata().items()),
                    band.GetNoDataValue(), band.DataType))
    return out


def differing(a, b):
    """The names of the metadata items that differ between two strips."""
    return sorted(k for k in set(a) | set(b) if k != "tile" and a.get(k) != b.get(k))


def main(out, strips):
    if not strips:
        fail("name the output file and the strips: merge-tiles.py OUT.tif STRIP.tif...")
    first = gdal.Open(strips[0])
    first_meta = first.GetMetadata()
    tiles = {}
    for path in strips:
        strip = gdal.Open(path)
        meta = strip.GetMetadata()
        index, _, count = meta.get("tile", "").partition("/")
        if not (index.isdigit() and count.isdigit()):
            fail(f"{path} is no strip of zentrel raster --tile (its metadata has no tile I/N)")
        # Variable, method, quantities, periods, data source, settings and the whole run's grid:
        # a strip of another run differs in at least one of them.
        differ = differing(meta, first_meta)
        if differ:
            fail(f"{path} is not a strip of the run of {strips[0]}: its {', '.join(differ)} "
                 f"{'differ' if len(differ) > 1 else 'differs'}")
        if strip.RasterXSize != first.RasterXSize or bands(strip) != bands(first):
            fail(f"{path} has other bands or columns than {strips[0]}")
        if int(index) in tiles:
            fail(f"{path} and {tiles[int(index)][1]} are both strip {index}")
        tiles[int(index)] = (int(count), path, strip.GetGeoTransform(), strip.RasterYSize)
    counts = {t[0] for t in tiles.values()}
    if len(counts) != 1 or sorted(tiles) != list(range(1, counts.pop() + 1)):
        fail(f"the strips are not all strips 1..N of one run: {sorted(tiles)} of {sorted({t[0] for t in tiles.values()})}")
    # One grid: the same west edge and cell size, each strip starting where the one above ends.
    west, dx, _, north, _, dy = tiles[1][2]
    for i in sorted(tiles):
        _, path, (x0, sx, rx, y0, ry, sy), rows = tiles[i]
        if (sx, sy, rx, ry) != (dx, dy, 0, 0):
            fail(f"{path} has cells of {sx} x {-sy} degrees, not the {dx} x {-dy} of strip 1")
        if abs(x0 - west) > 1e-9 * abs(dx) or abs(y0 - north) > 1e-6 * abs(dy):
            fail(f"{path} starts at {x0}, {y0}, not at {west}, {north} where strip {i - 1} ends")
        north = y0 + rows * sy

    part = out + ".part"
    vrt = gdal.BuildVRT("", [tiles[i][1] for i in sorted(tiles)])
    if vrt is None:
        fail("GDAL could not join the strips")
    metadata = {k: v for k, v in first.GetMetadata().items() if k not in STRIP_ITEMS}
    vrt.SetMetadata(metadata)
    for b in range(1, first.RasterCount + 1):
        source, target = first.GetRasterBand(b), vrt.GetRasterBand(b)
        target.SetDescription(source.GetDescription())
        target.SetUnitType(source.GetUnitType())
        target.SetMetadata(source.GetMetadata())
        if source.GetNoDataValue() is not None:
            target.SetNoDataValue(source.GetNoDataValue())
    options = ["COMPRESS=DEFLATE", "PREDICTOR=YES", "BIGTIFF=IF_SAFER", "NUM_THREADS=ALL_CPUS",
               "OVERVIEW_RESAMPLING=AVERAGE"]
    try:
        gdal.Translate(part, vrt, format="COG", creationOptions=options)
        os.replace(part, out)
    except BaseException:
        if os.path.exists(part):
            os.remove(part)
        raise


if __name__ == "__main__":
    if len(sys.argv) < 3:
        fail("usage: merge-tiles.py OUT.tif STRIP.tif...")
    try:
        main(sys.argv[1], sys.argv[2:])
    except RuntimeError as e:  # GDAL's errors name the file
        fail(str(e))
