# dem=: the user's own elevation model for the altitudes of estimate, estimate_many and grid,
# the same as the command line's --dem.
import numpy as np
import pytest

import zentrel


def write_dem(path, west, north, cell, values):
    gdal = pytest.importorskip("osgeo.gdal")
    osr = pytest.importorskip("osgeo.osr")
    rows, columns = values.shape
    ds = gdal.GetDriverByName("GTiff").Create(str(path), columns, rows, 1, gdal.GDT_Float32)
    ds.SetGeoTransform((west, cell, 0, north, 0, -cell))
    srs = osr.SpatialReference()
    srs.ImportFromEPSG(4326)
    ds.SetProjection(srs.ExportToWkt())
    band = ds.GetRasterBand(1)
    band.SetNoDataValue(-9999)
    band.WriteArray(values)
    ds = None
    return str(path)


@pytest.fixture
def alps_dem(tmp_path):
    # 30-second cells over 6.7..7.1 E, 45.7..46.0 N: 1000 m plus 50 m per column, no data in
    # the last row.
    values = np.fromfunction(lambda r, c: 1000 + 50 * c, (36, 48), dtype=np.float32)
    values[-1, :] = -9999
    return write_dem(tmp_path / "alps.tif", 6.7, 46.0, 1 / 120, values)


def test_EstimateTakesThePointsAltitudeFromTheModel(db, alps_dem):
    r = db.estimate(6.7 + 10.5 / 120, 45.9, dem=alps_dem)  # column 10
    assert r.alt == 1500
    assert db.estimate(6.7 + 10.5 / 120, 45.9, alt=300, dem=alps_dem).alt == 300
    with pytest.raises(zentrel.DataError, match="outside the elevation model"):
        db.estimate(8.5, 45.9, dem=alps_dem)
    with pytest.raises(zentrel.DataError, match="cannot be read"):
        db.estimate(6.8, 45.9, dem=alps_dem + ".missing")


def test_ManyAndGridTakeTheModelWhereItHasValues(db, alps_dem):
    lons = np.array([6.7 + 10.5 / 120, 6.7 + 10.5 / 120, 9.0])
    lats = np.array([45.9, 45.7 + 0.5 / 120, 45.9])  # inside, on its no-data, outside
    many = db.estimate_many(lons, lats, var="Temp", dem=alps_dem)
    for k in range(3):
        alt = 1500 if k == 0 else float(db.altitude(lons[k:k + 1], lats[k:k + 1])[0][0])
        one = db.estimate(lons[k], lats[k], alt=alt, var="Temp")
        np.testing.assert_array_equal(many["best"][k], one.best)
    pytest.importorskip("xarray")
    box = (6.7, 45.7, 7.1, 46.0)
    own = db.grid(box, "30s", var="Temp", period=1, dem=alps_dem, sea=True, quantities="best")["temp"].values[0]
    plain = db.grid(box, "30s", var="Temp", period=1, sea=True, quantities="best")["temp"].values[0]
    assert own.shape == (36, 48)
    # Every column 50 m higher than the one before: colder from west to east in every row.
    assert (np.diff(own[:-1], axis=1) < 0).mean() > 0.95
    np.testing.assert_array_equal(own[-1], plain[-1])  # no data: the elevation raster's altitude
