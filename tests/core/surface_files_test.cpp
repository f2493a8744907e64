// Surface files read back through GDAL and libnetcdf: types, georeference, bands, metadata,
// layout and values, and nothing left behind when a write does not finish.
#include "maps/surface_files.h"

#include <gtest/gtest.h>
#include <netcdf.h>

#include <filesystem>

#include "error.h"
#include "fixture.h"
#include "maps_test_util.h"
#include "version.h"

using namespace zentrel;

namespace {

const SurfaceLayout kLayout{.Variable = Prec, .Periods = {9, 13}, .Quantities = {SurfaceQuantity::Best, SurfaceQuantity::StdErr}};

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

// The values of a variable of `count` numbers ({} when it is missing).
std::vector<double> ncValues(int ncid, const char* name, size_t count) {
    int var = -1;
    std::vector<double> values(count);
    if (nc_inq_varid(ncid, name, &var) != NC_NOERR) return {};
    nc_get_var_double(ncid, var, values.data());
    return values;
}

size_t ncLength(int ncid, const char* dimension) {
    int dim = -1;
    size_t length = 0;
    if (nc_inq_dimid(ncid, dimension, &dim) != NC_NOERR) return 0;
    nc_inq_dimlen(ncid, dim, &length);
    return length;
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
    const SurfaceLayout& layout = kLayout;
    const std::string path = folder.file("prec.tif");
    {
        SurfaceGeoTiffWriter writer(path, grid, layout, surfaceMetadata(layout, test::describedSettings(), "test stations"),
                                    GetParam());
        writeAll(writer, grid, layout, 5);
        writer.finish();
    }
    EXPECT_FALSE(std::filesystem::exists(path + ".part") || std::filesystem::exists(path + ".rows.part"));
    const maps_test::Surface s = maps_test::readSurface(path);
    EXPECT_EQ(std::tuple(s.columns, s.rows, s.bands), std::tuple(4320, 48, 4));
    EXPECT_EQ(s.transform, (std::array<double, 6>{-180, 360.0 / 4320, 0, 84, 0, -360.0 / 4320}));  // not rounded to three decimals
    EXPECT_EQ(s.types, std::vector<GDALDataType>(4, GDT_Float32));
    EXPECT_EQ(s.descriptions[2], "September stderr");
    ASSERT_EQ(s.values.size(), 4320u * 48 * 4);
    for (int b = 0; b < 4; ++b)
        for (int r : {0, 1, 47})
            for (int c : {0, 1, 4319}) EXPECT_EQ(s.at(b, r, c), value(b, r, c)) << b << " " << r << " " << c;
    std::unique_ptr<GDALDataset> ds(GDALDataset::Open(path.c_str()));
    ASSERT_TRUE(ds);
    EXPECT_NE(std::string(ds->GetProjectionRef()).find("WGS 84"), std::string::npos);
    for (const auto& [item, domain, text] : {std::tuple{"method", "", std::string("described")}, {"software", "", std::string("Zentrel ") + programVersion()},
                                             {"COMPRESSION", "IMAGE_STRUCTURE", "DEFLATE"}, {"PREDICTOR", "IMAGE_STRUCTURE", "3"}})
        EXPECT_STREQ(ds->GetMetadataItem(item, domain), text.c_str()) << item;
    GDALRasterBand* band = ds->GetRasterBand(3);
    EXPECT_STREQ(band->GetUnitType(), "mm");
    EXPECT_STREQ(ds->GetRasterBand(2)->GetUnitType(), "mm");  // the year of an amount is its total, an amount too
    EXPECT_STREQ(ds->GetRasterBand(4)->GetMetadataItem("period"), "Annual total");
    int hasNoData = 0;
    EXPECT_EQ(band->GetNoDataValue(&hasNoData), kSurfaceNoData);
    EXPECT_TRUE(hasNoData);
    std::pair<int, int> block;
    band->GetBlockSize(&block.first, &block.second);
    EXPECT_EQ(block, std::pair(256, 256));
    EXPECT_GE(band->GetOverviewCount(), 1);  // 4320 columns: overviews down to a tile
}

TEST_P(SurfaceGeoTiff, UnfinishedOrUnwritableFileLeavesNothingAndNamesTheFile) {
    maps_test::ScratchFolder folder;
    const SurfaceGrid grid = surfaceGrid(0, 0, 3, 2, 1);
    const SurfaceLayout& layout = kLayout;
    {
        SurfaceGeoTiffWriter writer(folder.file("x.tif"), grid, layout, {}, GetParam());
        writeAll(writer, grid, layout, 1);
    }  // cancelled: no finish
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
    const std::string message =
        test::errorOf([&] { SurfaceGeoTiffWriter(folder.file("missing/x.tif"), grid, layout, {}, GetParam()); });
    EXPECT_NE(message.find(folder.file("missing/x.tif")), std::string::npos) << message;
}

TEST(SurfaceNetCdf, CfClimatologyAxisBoundsCrsWktAndTheYearInAVariableOfItsOwn) {
    maps_test::ScratchFolder folder;
    const SurfaceGrid grid = surfaceGrid(5, 45, 8, 47, 1);
    const SurfaceLayout& layout = kLayout;
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
    EXPECT_EQ(ncText(nc, NC_GLOBAL, "Conventions") + " " + ncText(nc, NC_GLOBAL, "data_source") + " " + ncText(nc, NC_GLOBAL, "method"),
              "CF-1.8 test stations described");
    // No month axis (the year is no 13th month); September only.
    EXPECT_EQ(std::vector<size_t>({ncLength(nc, "month"), ncLength(nc, "time"), ncLength(nc, "lat"), ncLength(nc, "lon")}),
              std::vector<size_t>({0, 1, 2, 3}));
    EXPECT_EQ(ncValues(nc, "time", 1), std::vector<double>{243 + 15});  // the middle of September 2003
    // 1 September 2003 to 1 October 2021 (five leap days 2004..2020)
    EXPECT_EQ(ncValues(nc, "climatology_bounds", 2), (std::vector<double>{243, 18 * 365 + 5 + 273}));
    // The annual values' climatological year: the middle of 2003, from 1 January 2003 to 1 January 2022.
    EXPECT_EQ(ncValues(nc, "year_time", 1), std::vector<double>{182.5});
    EXPECT_EQ(ncValues(nc, "year_climatology_bounds", 2), (std::vector<double>{0, 19 * 365 + 5}));
    EXPECT_EQ(ncValues(nc, "lat", 2), (std::vector<double>{46.5, 45.5}));  // cell centres, north first
    EXPECT_EQ(ncValues(nc, "lat_bnds", 4), (std::vector<double>{47, 46, 46, 45}));
    EXPECT_EQ(ncValues(nc, "lon", 3), (std::vector<double>{5.5, 6.5, 7.5}));
    EXPECT_EQ(ncValues(nc, "lon_bnds", 6), (std::vector<double>{5, 6, 6, 7, 7, 8}));
    int var;
    for (const auto& [name, attribute, text] :
         {std::tuple{"time", "climatology", "climatology_bounds"}, {"time", "units", "days since 2003-01-01"},
          {"lat", "units", "degrees_north"}, {"lat", "bounds", "lat_bnds"}, {"lon", "units", "degrees_east"},
          {"prec", "units", "mm"}, {"prec", "cell_methods", "time: sum within months time: mean over years"},
          {"prec", "grid_mapping", "crs"}, {"prec_annual_total", "units", "mm"},
          {"prec_annual_total", "cell_methods", "year_time: sum within years year_time: mean over years"},
          {"prec_annual_total", "coordinates", "year_time"}, {"prec_annual_total", "standard_name", "lwe_thickness_of_precipitation_amount"},
          {"year_time", "climatology", "year_climatology_bounds"}, {"year_time", "units", "days since 2003-01-01"}}) {
        ASSERT_EQ(nc_inq_varid(nc, name, &var), NC_NOERR) << name;
        EXPECT_EQ(ncText(nc, var, attribute), text) << name << " " << attribute;
    }
    ASSERT_EQ(nc_inq_varid(nc, "crs", &var), NC_NOERR);
    for (const char* wkt : {"crs_wkt", "spatial_ref"})
        EXPECT_NE(ncText(nc, var, wkt).find("WGS 84"), std::string::npos) << wkt;

    ASSERT_EQ(nc_inq_varid(nc, "prec", &var), NC_NOERR);
    float fill = 0;
    ASSERT_EQ(nc_get_att_float(nc, var, "_FillValue", &fill), NC_NOERR);
    EXPECT_EQ(fill, kSurfaceNoData);
    // The months and the year, each best value and standard error in a variable of its own.
    for (const auto& [name, band] : {std::pair{"prec", 0}, {"prec_annual_total", 1}, {"prec_stderr", 2}, {"prec_annual_total_stderr", 3}}) {
        const std::vector<double> cells = ncValues(nc, name, 6);
        ASSERT_EQ(cells.size(), 6u) << name;
        for (int k = 0; k < 6; ++k) EXPECT_EQ(cells[static_cast<size_t>(k)], value(band, k / 3, k % 3)) << name << " " << k;
    }
    ASSERT_EQ(nc_inq_varid(nc, "prec_stderr", &var), NC_NOERR);
    EXPECT_NE(ncText(nc, var, "long_name").find("standard error"), std::string::npos);
    nc_close(nc);
}

TEST(SurfaceNetCdf, StandardNamesOnValuesAndBoundsOnlyAndTheClimatologyOfALeapFirstYear) {
    maps_test::ScratchFolder folder;
    const SurfaceGrid grid = surfaceGrid(5, 45, 7, 46, 1);
    using Q = SurfaceQuantity;
    // CF standard names: none for an error or for sunshine; a year's precipitation is an amount
    // in mm, as a month's.
    for (const auto& [variable, monthly, annual] :
         {std::tuple{Temp, "air_temperature", "air_temperature"}, {Tmin, "air_temperature", "air_temperature"},
          {Prec, "lwe_thickness_of_precipitation_amount", "lwe_thickness_of_precipitation_amount"},
          {Vap, "water_vapor_partial_pressure_in_air", "water_vapor_partial_pressure_in_air"},
          {Wind, "wind_speed", "wind_speed"}, {Sun, "(missing)", "(missing)"}}) {
        const SurfaceLayout layout{.Variable = variable, .Periods = {1, 13}, .Quantities = {Q::Best, Q::StdErr, Q::Low, Q::High}};
        const std::string path = folder.file(std::string(kVariableNames[static_cast<size_t>(variable)]) + ".nc");
        SurfaceNetCdfWriter writer(path, grid, layout, {});
        writeAll(writer, grid, layout, 1);
        writer.finish();
        int nc = -1, var = -1;
        ASSERT_EQ(nc_open(path.c_str(), NC_NOWRITE, &nc), NC_NOERR);
        for (Q q : layout.Quantities)
            for (bool isAnnual : {false, true}) {
                const std::string name = netCdfVariableName(variable, q, isAnnual);
                ASSERT_EQ(nc_inq_varid(nc, name.c_str(), &var), NC_NOERR) << name;
                EXPECT_EQ(ncText(nc, var, "standard_name"), q == Q::StdErr ? "(missing)" : isAnnual ? annual : monthly) << name;
            }
        nc_close(nc);
    }
    // February and March of normals from 2004 (a leap year) to 2005; years in the wrong order
    // or missing mean 2000.
    const SurfaceLayout layout{.Variable = Temp, .Periods = {2, 3}, .Quantities = {Q::Best}};
    for (const auto& [years, units, times, bounds] :
         {std::tuple{"2004-2005", "days since 2004-01-01", std::vector<double>{45.5, 75.5},
                     std::vector<double>{31, 366 + 59, 60, 366 + 90}},
          {"2005-2004", "days since 2000-01-01", {45.5, 75.5}, {31, 60, 60, 91}},
          {"2005-2005", "days since 2005-01-01", {45, 74.5}, {31, 59, 59, 90}}}) {
        const std::string path = folder.file(std::string("years-") + years + ".nc");
        SurfaceNetCdfWriter writer(path, grid, layout, {{"climatology_years", years}});
        writeAll(writer, grid, layout, 1);
        writer.finish();
        int nc = -1, var = -1;
        ASSERT_EQ(nc_open(path.c_str(), NC_NOWRITE, &nc), NC_NOERR);
        ASSERT_EQ(nc_inq_varid(nc, "time", &var), NC_NOERR);
        EXPECT_EQ(ncText(nc, var, "units"), units) << years;
        EXPECT_EQ(ncValues(nc, "time", 2), times) << years;
        EXPECT_EQ(ncValues(nc, "climatology_bounds", 4), bounds) << years;
        nc_close(nc);
    }
}
