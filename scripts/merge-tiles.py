#!/usr/bin/python3
# Joins the strips of `zentrel raster --tile I/N` into one Cloud-Optimized GeoTIFF that keeps
# everything a single run writes: values, grid, NoData, band descriptions, units, the period and
# quantity of every band, and the file's metadata (all but the strip's own "tile" item).
# Usage: scripts/merge-tiles.py OUT.tif STRIP.tif...   (GDAL's Python bindings, python3-gdal)
# The strips must be all N strips of one grid; OUT.tif is written beside and renamed when whole.
import os
import sys

from osgeo import gdal

gdal.UseExceptions()


def fail(message):
    sys.exit(f"merge-tiles: {message}")


def main(out, strips):
    if not strips:
        fail("name the output file and the strips: merge-tiles.py OUT.tif STRIP.tif...")
    first = gdal.Open(strips[0])
    tiles = {}
    for path in strips:
        strip = gdal.Open(path)
        tile = strip.GetMetadataItem("tile") or ""
        index, _, count = tile.partition("/")
        if not (index.isdigit() and count.isdigit()):
            fail(f"{path} is no strip of zentrel raster --tile (its metadata has no tile I/N)")
        if strip.RasterCount != first.RasterCount or strip.RasterXSize != first.RasterXSize:
            fail(f"{path} has other bands or columns than {strips[0]}")
        described = [strip.GetRasterBand(b).GetDescription() for b in range(1, strip.RasterCount + 1)]
        if described != [first.GetRasterBand(b).GetDescription() for b in range(1, first.RasterCount + 1)]:
            fail(f"{path} holds other bands than {strips[0]}")
        tiles[int(index)] = (int(count), path)
    counts = {count for count, _ in tiles.values()}
    if len(counts) != 1 or sorted(tiles) != list(range(1, counts.pop() + 1)):
        fail(f"the strips are not all strips 1..N of one run: {sorted(tiles)} of {sorted(counts)}")

    part = out + ".part"
    vrt = gdal.BuildVRT("", [tiles[i][1] for i in sorted(tiles)])
    metadata = {k: v for k, v in first.GetMetadata().items() if k != "tile"}
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
