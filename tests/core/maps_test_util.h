// Helpers for the map tests: golden files and a small map.
#pragma once

#include <gdal_priv.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "fixture.h"
#include "maps/img_file.h"

namespace maps_test {

using zentrel::test::readFile;
using ScratchFolder = zentrel::test::TempFolder;

inline std::string golden(const std::string& name) { return readFile(std::string(ZENTREL_TEST_DATA) + "/maps/" + name); }

/// A 6 x 4 map at 1 degree whose columns lie at longitudes 0..5 and rows at latitudes 3..0;
/// the cell at longitude 1, latitude 2 is sea; two pass-through bytes are set.
inline zentrel::ImgRaster smallMap() {
    zentrel::ImgRaster map{.Header = {.Byte22 = 7, .Rows = 4, .Columns = 6, .Title = {}, .RefLat = 1, .RefLon = 3, .RefColumn = 3, .RefRow = 2,
                                      .CellWidth = 1, .CellHeight = 1, .Byte204 = 9},
                           .Cells = std::vector<uint8_t>(24, 1)};
    map.Cells[1 * 6 + 1] = zentrel::kImgNoData;
    return map;
}

/// Every band of a raster as GDAL reads it, band after band, row after row: the values are
/// empty when a band cannot be read, the transform NaN when the file has none.
struct Surface {
    int columns = 0, rows = 0, bands = 0;
    std::array<double, 6> transform{};
    std::vector<float> values;
    std::vector<std::string> descriptions;
    std::vector<GDALDataType> types;
    std::vector<std::string> metadata;  // the file's items, then per band its unit and items
    float at(int band, int row, int column) const {
        return values[(static_cast<size_t>(band) * rows + row) * columns + column];
    }
};
inline Surface readSurface(const std::string& path) {
    GDALAllRegister();
    Surface s;
    std::unique_ptr<GDALDataset> ds(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    if (!ds) return s;
    s.columns = ds->GetRasterXSize();
    s.rows = ds->GetRasterYSize();
    s.bands = ds->GetRasterCount();
    if (ds->GetGeoTransform(s.transform.data()) != CE_None) s.transform.fill(NAN);
    for (char** item = ds->GetMetadata(); item && *item; ++item) s.metadata.push_back(*item);
    s.values.resize(static_cast<size_t>(s.columns) * s.rows * s.bands);
    for (int b = 1; b <= s.bands; ++b) {
        GDALRasterBand* band = ds->GetRasterBand(b);
        s.descriptions.push_back(band->GetDescription());
        s.types.push_back(band->GetRasterDataType());
        s.metadata.push_back(std::string("band unit=") + band->GetUnitType());
        for (char** item = band->GetMetadata(); item && *item; ++item) s.metadata.push_back(*item);
        if (band->RasterIO(GF_Read, 0, 0, s.columns, s.rows, s.values.data() + static_cast<size_t>(b - 1) * s.columns * s.rows,
                           s.columns, s.rows, GDT_Float32, 0, 0) != CE_None)
            s.values.clear();
    }
    return s;
}

}  // namespace maps_test
