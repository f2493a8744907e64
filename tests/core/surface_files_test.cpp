// Surface files read back through GDAL and libnetcdf: types, georeference, bands, metadata,
// layout and values, and nothing left behind when a write does not finish.
#include "maps/surface_files.h"

#include <gdal_priv.h>
#include <gtest/gtest.h>
#include <netcdf.h>

#include <cstring>
#include <filesystem>

#include "error.h"
#include "fixture.h"
#include "maps_test_util.h"
#include "version.h"

using namespace zentrel;

namespace {

SurfaceLayout twoByTwo() {
    SurfaceLayout layout;
    layout.Variable = Prec;
    layout.Periods = {9, 13};
    layout.Quantities = {SurfaceQuantity::Best, SurfaceQuantity::StdErr};
    return layout;
}

// Value of band b at (r, c): distinct everywhere, one cell without data.
float value(int b, int r, int c) { return r == 1 && c == 0 ? kSurfaceNoData : b * 1000 + r * 10 + c + 0.25f; }

// Writes the rows of `grid` in blocks of `blockRows`.
void writeAll(SurfaceSink& sink, const SurfaceGrid& grid, const SurfaceLayout& layout, int blockRows) {
    for (int first = 0; first < grid.Rows; first += blockRows) {
        const int n = std::min(blockRows, grid.Rows - first);
        std::vector<float> v;
        for (int b = 0; b < layout.bandCount(); ++b)
            for (int r = first; r < first + n; ++r)
                for (int c = 0; c < grid.Columns; ++c) v.push_back(value(b, r, c));
        sink.writeRows(first, n, v);
    }
}

std::string ncText(int ncid, int var, const char* name) {
    size_t length = 0;
    if (nc_inq_attlen(ncid, var, name, &length) != NC_NOERR) return "(missing)";
    std::string text(length, '\0');
    nc_get_att_text(ncid, var, name, text.data());
    return text;
}

}  // namespace

// Rows kept in memory, or in a file beside the target when they are many (here: always).
class SurfaceGeoTiff : public ::testing::TestWithParam<double> {};
INSTANTIATE_TEST_SUITE_P(RowsInMemoryOrInAFile, SurfaceGeoTiff, ::testing::Values(256e6, 0.0));

TEST_P(SurfaceGeoTiff, Float32BandsWithExactGridNoDataDescriptionsAndMetadata) {
    maps_test::ScratchFolder folder;
    const SurfaceGrid grid = surfaceGrid(-180, 80, 180, 84, 0.0833333);  // 4320 x 48
    const SurfaceLayout layout = twoByTwo();
    const std::string path = folder.file("prec.tif");
    {
        SurfaceGeoTiffWriter writer(path, grid, layout, surfaceMetadata(layout, test::describedSettings(), "test stations"),
                                    GetParam());
        writeAll(writer, grid, layout, 5);
        writer.finish();
    }
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));
    EXPECT_FALSE(std::filesystem::exists(path + ".rows.part"));
    GDALAllRegister();
    GDALDataset* ds = static_cast<GDALDataset*>(GDALOpen(path.c_str(), GA_ReadOnly));
    ASSERT_TRUE(ds);
    EXPECT_EQ(ds->GetRasterXSize(), 4320);
    EXPECT_EQ(ds->GetRasterYSize(), 48);
    ASSERT_EQ(ds->GetRasterCount(), 4);
    double t[6];
    ds->GetGeoTransform(t);
    EXPECT_EQ(t[0], -180);
    EXPECT_EQ(t[1], 360.0 / 4320);  // not rounded to three decimals
    EXPECT_EQ(t[3], 84);
    EXPECT_EQ(t[5], -360.0 / 4320);
    EXPECT_NE(std::string(ds->GetProjectionRef()).find("WGS 84"), std::string::npos);
    EXPECT_STREQ(ds->GetMetadataItem("method"), "described");
    EXPECT_STREQ(ds->GetMetadataItem("units"), "mm");
    EXPECT_STREQ(ds->GetMetadataItem("source"), "test stations");
    EXPECT_STREQ(ds->GetMetadataItem("software"), (std::string("Zentrel ") + programVersion()).c_str());
    EXPECT_STREQ(ds->GetMetadataItem("COMPRESSION", "IMAGE_STRUCTURE"), "DEFLATE");
    EXPECT_STREQ(ds->GetMetadataItem("PREDICTOR", "IMAGE_STRUCTURE"), "3");
    GDALRasterBand* band = ds->GetRasterBand(3);
    EXPECT_EQ(band->GetRasterDataType(), GDT_Float32);
    EXPECT_STREQ(band->GetDescription(), "September stderr");
    EXPECT_STREQ(band->GetUnitType(), "mm");
    // The year of an amount is its total, named and with its unit.
    EXPECT_STREQ(ds->GetRasterBand(2)->GetDescription(), "Annual total");
    EXPECT_STREQ(ds->GetRasterBand(2)->GetUnitType(), "mm year-1");
    EXPECT_STREQ(ds->GetRasterBand(4)->GetMetadataItem("period"), "Annual total");
    int hasNoData = 0;
    EXPECT_EQ(band->GetNoDataValue(&hasNoData), kSurfaceNoData);
    EXPECT_TRUE(hasNoData);
    int bx = 0, by = 0;
    band->GetBlockSize(&bx, &by);
    EXPECT_EQ(bx, 256);
    EXPECT_EQ(by, 256);
    EXPECT_GE(band->GetOverviewCount(), 1);  // 4320 columns: overviews down to a tile
    std::vector<float> row(4320);
    for (int b = 1; b <= 4; ++b)
        for (int r : {0, 1, 47}) {
            ASSERT_EQ(ds->GetRasterBand(b)->RasterIO(GF_Read, 0, r, 4320, 1, row.data(), 4320, 1, GDT_Float32, 0, 0),
                      CE_None);
            for (int c : {0, 1, 4319}) EXPECT_EQ(row[static_cast<size_t>(c)], value(b - 1, r, c)) << b << " " << r << " " << c;
        }
    GDALClose(ds);
}

TEST_P(SurfaceGeoTiff, UnfinishedOrUnwritableFileLeavesNothingAndNamesTheFile) {
    maps_test::ScratchFolder folder;
    const SurfaceGrid grid = surfaceGrid(0, 0, 3, 2, 1);
    const SurfaceLayout layout = twoByTwo();
    {
        SurfaceGeoTiffWriter writer(folder.file("x.tif"), grid, layout, {}, GetParam());
        writeAll(writer, grid, layout, 1);
    }  // cancelled: no finish
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
    try {
        SurfaceGeoTiffWriter writer(folder.file("missing/x.tif"), grid, layout, {}, GetParam());
        FAIL();
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(folder.file("missing/x.tif")), std::string::npos) << e.what();
    }
}

TEST(SurfaceNetCdf, CfClimatologyAxisBoundsCrsWktAndTheYearInAVariableOfItsOwn) {
    maps_test::ScratchFolder folder;
    const SurfaceGrid grid = surfaceGrid(5, 45, 8, 47, 1);
    const SurfaceLayout layout = twoByTwo();
    const std::string path = folder.file("prec.nc");
    {
        auto metadata = surfaceMetadata(layout, test::describedSettings(), "test stations");
        metadata.emplace_back("climatology_years", "2003-2021");
        SurfaceNetCdfWriter writer(path, grid, layout, metadata);
        writeAll(writer, grid, layout, 1);
        writer.finish();
    }
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));
    int nc = -1;
    ASSERT_EQ(nc_open(path.c_str(), NC_NOWRITE, &nc), NC_NOERR);
    EXPECT_EQ(ncText(nc, NC_GLOBAL, "Conventions"), "CF-1.8");
    EXPECT_EQ(ncText(nc, NC_GLOBAL, "data_source"), "test stations");
    EXPECT_EQ(ncText(nc, NC_GLOBAL, "method"), "described");
    int dim;
    size_t times = 0, lats = 0, lons = 0;
    EXPECT_NE(nc_inq_dimid(nc, "month", &dim), NC_NOERR);  // the year is no 13th month
    ASSERT_EQ(nc_inq_dimid(nc, "time", &dim), NC_NOERR);
    nc_inq_dimlen(nc, dim, &times);
    nc_inq_dimid(nc, "lat", &dim);
    nc_inq_dimlen(nc, dim, &lats);
    nc_inq_dimid(nc, "lon", &dim);
    nc_inq_dimlen(nc, dim, &lons);
    EXPECT_EQ(times, 1u);  // September only
    EXPECT_EQ(lats, 2u);
    EXPECT_EQ(lons, 3u);
    int var;
    ASSERT_EQ(nc_inq_varid(nc, "time", &var), NC_NOERR);
    EXPECT_EQ(ncText(nc, var, "climatology"), "climatology_bounds");
    EXPECT_EQ(ncText(nc, var, "units"), "days since 2003-01-01");
    double time = 0, climatology[2];
    nc_get_var_double(nc, var, &time);
    EXPECT_EQ(time, 243 + 15);  // the middle of September 2003
    ASSERT_EQ(nc_inq_varid(nc, "climatology_bounds", &var), NC_NOERR);
    nc_get_var_double(nc, var, climatology);
    EXPECT_EQ(climatology[0], 243);                 // 1 September 2003
    EXPECT_EQ(climatology[1], 18 * 365 + 5 + 273);  // 1 October 2021 (five leap days 2004..2020)
    ASSERT_EQ(nc_inq_varid(nc, "lat", &var), NC_NOERR);
    double lat[2], latBounds[4];
    nc_get_var_double(nc, var, lat);
    EXPECT_EQ(lat[0], 46.5);  // cell centres, north first
    EXPECT_EQ(lat[1], 45.5);
    EXPECT_EQ(ncText(nc, var, "units"), "degrees_north");
    EXPECT_EQ(ncText(nc, var, "bounds"), "lat_bnds");
    ASSERT_EQ(nc_inq_varid(nc, "lat_bnds", &var), NC_NOERR);
    nc_get_var_double(nc, var, latBounds);
    EXPECT_EQ(latBounds[0], 47);
    EXPECT_EQ(latBounds[3], 45);
    nc_inq_varid(nc, "lon", &var);
    double lon[3], lonBounds[6];
    nc_get_var_double(nc, var, lon);
    EXPECT_EQ(lon[0], 5.5);
    EXPECT_EQ(ncText(nc, var, "units"), "degrees_east");
    ASSERT_EQ(nc_inq_varid(nc, "lon_bnds", &var), NC_NOERR);
    nc_get_var_double(nc, var, lonBounds);
    EXPECT_EQ(lonBounds[0], 5);
    EXPECT_EQ(lonBounds[5], 8);
    ASSERT_EQ(nc_inq_varid(nc, "crs", &var), NC_NOERR);
    for (const char* wkt : {"crs_wkt", "spatial_ref"})
        EXPECT_NE(ncText(nc, var, wkt).find("WGS 84"), std::string::npos) << wkt;

    ASSERT_EQ(nc_inq_varid(nc, "prec", &var), NC_NOERR);
    EXPECT_EQ(ncText(nc, var, "units"), "mm");
    EXPECT_EQ(ncText(nc, var, "cell_methods"), "time: sum within months time: mean over years");
    EXPECT_EQ(ncText(nc, var, "grid_mapping"), "crs");
    float fill = 0;
    ASSERT_EQ(nc_get_att_float(nc, var, "_FillValue", &fill), NC_NOERR);
    EXPECT_EQ(fill, kSurfaceNoData);
    float cells[2][3];
    nc_get_var_float(nc, var, &cells[0][0]);
    EXPECT_EQ(cells[0][2], value(0, 0, 2));
    EXPECT_EQ(cells[1][0], kSurfaceNoData);
    ASSERT_EQ(nc_inq_varid(nc, "prec_annual_total", &var), NC_NOERR);
    EXPECT_EQ(ncText(nc, var, "units"), "mm year-1");
    EXPECT_EQ(ncText(nc, var, "cell_methods"), "time: sum within years time: mean over years");
    nc_get_var_float(nc, var, &cells[0][0]);
    EXPECT_EQ(cells[0][2], value(1, 0, 2));
    ASSERT_EQ(nc_inq_varid(nc, "prec_stderr", &var), NC_NOERR);
    EXPECT_NE(ncText(nc, var, "long_name").find("standard error"), std::string::npos);
    nc_get_var_float(nc, var, &cells[0][0]);
    EXPECT_EQ(cells[1][2], value(2, 1, 2));  // September's standard error
    ASSERT_EQ(nc_inq_varid(nc, "prec_annual_total_stderr", &var), NC_NOERR);
    nc_get_var_float(nc, var, &cells[0][0]);
    EXPECT_EQ(cells[1][2], value(3, 1, 2));
    nc_close(nc);
}
