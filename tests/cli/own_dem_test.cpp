// A user's own elevation model (--dem, --grid-like) on the data folder built beside the
// program: the altitude of a point from a raster in any coordinate system, and a 30-second map
// of the Mont Blanc massif laid on the model's grid, which follows its relief cell by cell
// where the 5-minute elevation raster gives blocks ten cells wide.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <gdal_priv.h>
#include <ogr_spatialref.h>

#include <cmath>
#include <functional>
#include <map>
#include <numeric>
#include <sstream>

#include "cli_fixture.h"
#include "core/maps_test_util.h"

using namespace zentrel;
using namespace zentrel::test;
using maps_test::readSurface, maps_test::Surface;

namespace {

// Writes a Float32 GeoTIFF of `columns` x `rows` pixels with the transform and coordinate
// system given, each pixel's value from its centre's (x, y).
void writeDem(const std::string& path, int columns, int rows, const std::array<double, 6>& transform, int epsg,
              const std::function<float(double, double)>& value, float noData = -9999) {
    GDALAllRegister();
    std::unique_ptr<GDALDataset> ds(
        GetGDALDriverManager()->GetDriverByName("GTiff")->Create(path.c_str(), columns, rows, 1, GDT_Float32, nullptr));
    ASSERT_TRUE(ds);
    std::array<double, 6> t = transform;
    ds->SetGeoTransform(t.data());
    OGRSpatialReference srs;
    srs.importFromEPSG(epsg);
    ds->SetSpatialRef(&srs);
    std::vector<float> pixels(static_cast<size_t>(columns) * rows);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            pixels[static_cast<size_t>(r) * columns + c] =
                value(t[0] + (c + 0.5) * t[1] + (r + 0.5) * t[2], t[3] + (c + 0.5) * t[4] + (r + 0.5) * t[5]);
    GDALRasterBand* band = ds->GetRasterBand(1);
    band->SetNoDataValue(noData);
    ASSERT_EQ(band->RasterIO(GF_Write, 0, 0, columns, rows, pixels.data(), columns, rows, GDT_Float32, 0, 0), CE_None);
}

// The massif as a cone, 4800 m at Mont Blanc's summit, on valleys rising from 800 m in the
// south-west to 3300 m in the north-east: no two neighbouring cells at one altitude.
float montBlanc(double lon, double lat) {
    const double d = std::hypot((lon - 6.865) * std::cos(45.833 * M_PI / 180), lat - 45.833);
    const double valleys = 800 + 1500 * (lon - 6.7) / 0.4 + 1000 * (lat - 45.7) / 0.3;
    return static_cast<float>(std::max(valleys, 4800.0 - 38000.0 * d));
}

// The share of neighbouring cells along the rows within 0.02 K of each other: a block of one
// altitude is flat.
double flatShare(const Surface& s) {
    int flat = 0, pairs = 0;
    for (int r = 0; r < s.rows; ++r)
        for (int c = 1; c < s.columns; ++c, ++pairs) flat += std::fabs(s.at(0, r, c) - s.at(0, r, c - 1)) < 0.02f;
    return static_cast<double>(flat) / pairs;
}

class OwnDem : public ::testing::Test {
protected:
    void SetUp() override {
        if (!programDataBuilt()) GTEST_SKIP() << "data folder not built";
    }
};

}  // namespace

TEST_F(OwnDem, ThePointsAltitudeComesFromARasterInAnyCoordinateSystemAndOutsideItIsAnError) {
    TempFolder folder("cli-dem-point");
    // UTM zone 32 N around Chamonix (about 6.87 E, 45.92 N: x 334,000 m, y 5,087,000 m):
    // 100 m pixels whose altitude is 1000 m plus a metre per 10 m east.
    const std::string utm = folder.file("utm.tif");
    writeDem(utm, 200, 200, {324000, 100, 0, 5097000, 0, -100}, 32632, [](double x, double) { return 1000 + (x - 324000) / 10; });
    const auto at = [&](const std::string& where) {
        return nlohmann::json::parse(runCliOk("estimate " + where + " --var Temp --json --dem " + utm).out);
    };
    const auto j = at("--lon 6.87 --lat 45.92");
    const double x = j["location"]["alt"].get<double>();
    EXPECT_GT(x, 1800);  // 334,000 m east is about 1,000 m + 1,000 m
    EXPECT_LT(x, 2200);
    EXPECT_EQ(at("--lon 6.87 --lat 45.92 --alt 500")["location"]["alt"], 500);  // --alt wins
    const CliResult outside = runCli("estimate --lon 10 --lat 45.92 --var Temp --dem " + utm);
    EXPECT_EQ(outside.code, 1);
    EXPECT_NE(outside.err.find("the point lies outside the elevation model " + utm + " or on its no-data: give --alt."),
              std::string::npos) << outside.err;
    const CliResult unreadable = runCli("estimate --lon 6.87 --lat 45.92 --var Temp --dem " + folder.file("none.tif"));
    EXPECT_EQ(unreadable.code, 1);
    EXPECT_NE(unreadable.err.find("The elevation model " + folder.file("none.tif") + " cannot be read"), std::string::npos)
        << unreadable.err;
}

TEST_F(OwnDem, AThirtySecondMapOfMontBlancOnTheModelsGridFollowsItsReliefCellByCell) {
    TempFolder folder("cli-dem-map");
    const double cell = 1.0 / 120;  // 30 arc-seconds
    const std::string dem = folder.file("mont-blanc.tif");
    writeDem(dem, 48, 36, {6.7, cell, 0, 46.0, 0, -cell}, 4326, montBlanc);
    const std::string args = "raster --var Temp --period 1 --quiet --grid-like " + dem;
    runCliOk(args + " --dem " + dem + " -o " + folder.file("own.tif"));
    runCliOk(args + " -o " + folder.file("relief5.tif"));
    const Surface own = readSurface(folder.file("own.tif")), coarse = readSurface(folder.file("relief5.tif")),
                  relief = readSurface(dem);
    ASSERT_EQ(std::tuple(own.columns, own.rows), std::tuple(48, 36));
    for (size_t k = 0; k < 6; ++k) EXPECT_NEAR(own.transform[k], relief.transform[k], 1e-12) << k;
    // January is coldest on the summit and falls with the model's altitude: 3 to 9 K per km
    // between the floor and the cells near the top.
    const auto summit = std::min_element(own.values.begin(), own.values.end()) - own.values.begin();
    EXPECT_GT(relief.values[static_cast<size_t>(summit)], 4000) << "coldest cell at " << relief.values[static_cast<size_t>(summit)] << " m";
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    const double n = static_cast<double>(own.values.size());
    for (size_t k = 0; k < own.values.size(); ++k) {
        const double a = relief.values[k] / 1000.0, t = own.values[k];
        sx += a, sy += t, sxx += a * a, sxy += a * t;
    }
    const double slope = (sxy - sx * sy / n) / (sxx - sx * sx / n);
    EXPECT_TRUE(slope < -3 && slope > -9) << slope << " K/km";
    // The 5-minute raster's cells are ten of these wide: its map is flat within blocks of one
    // altitude, with steps between them; the model's follows the cone (flat only where the
    // summit's cells reach the limit of their neighbours' envelope).
    EXPECT_GT(flatShare(coarse), 0.6);
    EXPECT_LT(flatShare(own), 0.2);
}

// A batch run takes each location's altitude from the user's model where it covers the place,
// from the elevation raster beyond it, and from the location list without --dem.
TEST_F(OwnDem, ABatchRunTakesItsAltitudesFromTheModelAndTheRasterBeyondIt) {
    TempFolder folder("cli-dem-batch");
    const double cell = 1.0 / 120;
    const std::string dem = folder.file("mont-blanc.tif");
    writeDem(dem, 48, 36, {6.7, cell, 0, 46.0, 0, -cell}, 4326, montBlanc);
    folder.write("places.dat", "6.865,45.833,100,Summit\n8.5,47.0,100,Beyond\n");
    const std::string list = folder.file("places.dat");
    const auto altitudes = [&](const std::string& extra) {
        const std::string out = folder.file("out" + std::to_string(extra.size()) + ".csv");
        runCliOk("batch --locations " + list + " --format vesk --vars Temp --out " + out + extra);
        std::map<std::string, double> alt;
        std::istringstream lines(readFile(out));
        std::string line;
        while (std::getline(lines, line))
            for (const char* name : {"Summit", "Beyond"})
                if (line.find(name) != std::string::npos) {
                    // "name", lon, lat, alt, ...: the fourth field
                    std::istringstream fields(line);
                    std::string field;
                    for (int k = 0; k < 4 && std::getline(fields, field, ','); ++k) {}
                    alt[name] = std::stod(field);
                }
        return alt;
    };
    const auto listed = altitudes(""), raster = altitudes(" --dem"), own = altitudes(" --dem " + dem);
    ASSERT_EQ(own.size(), 2u);
    EXPECT_EQ(listed.at("Summit"), 100);
    // The model's pixel (column 19, row 20: its centre at 6.8625 E, 45.8292 N), not the list's 100 m.
    EXPECT_NEAR(own.at("Summit"), montBlanc(6.7 + 19.5 * cell, 46.0 - 20.5 * cell), 1);
    EXPECT_GT(std::fabs(own.at("Summit") - raster.at("Summit")), 300);  // the 5-minute raster smooths the summit
    EXPECT_EQ(own.at("Beyond"), raster.at("Beyond"));  // outside the model: the raster's
}
