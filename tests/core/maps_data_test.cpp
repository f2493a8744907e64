// The built map files beside the test program (bin/ZentrelData, bin/rastelldata): the world
// bitmap, the boundary file and the elevation background map agree with the elevation raster.
// Skipped when the data folders have not been built.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "data/data_folder.h"
#include "data/terrain.h"
#include "maps/bmp_file.h"
#include "maps/bna_file.h"
#include "maps/colour_table.h"
#include "maps/georeference.h"
#include "maps/img_file.h"
#include "maps/map_folder.h"

using namespace zentrel;

namespace {
const std::filesystem::path kBin = std::filesystem::read_symlink("/proc/self/exe").parent_path();
const std::string kData = (kBin / kDataFolderName).string();
const std::string kMaps = (kBin / kMapFolderName).string();
}  // namespace

TEST(BuiltMaps, WorldBitmapShowsSeaAndLandWhereTheRasterDoes) {
    if (!std::filesystem::exists(kData + "/woma.bmp")) GTEST_SKIP() << "woma.bmp not built (scripts/build-data.sh)";
    const RgbImage image = readBmp24(kData + "/woma.bmp");
    ASSERT_EQ(image.Width, 2160);
    ASSERT_EQ(image.Height, 1080);
    // Pixel (x, y) spans longitude x / 6 - 180 and latitude 90 - y / 6.
    auto pixelAt = [&](double lon, double lat) { return image.at(int((lon + 180) * 6), int((90 - lat) * 6)); };
    for (const auto& [lon, lat, sea, place] : {std::tuple{-30.0, 30.0, true, "Atlantic"}, {50.5, 42.0, true, "Caspian"},
                                               {20.0, 25.0, false, "Sahara"}, {5.6, 52.5, false, "Flevoland"}})
        EXPECT_EQ(pixelAt(lon, lat) == (Rgb{0, 0, 160}), sea) << place;
}

TEST(BuiltMaps, BoundaryFileCoversTheCountriesWithinTheMap) {
    if (!std::filesystem::exists(kData + "/" + kBoundaryFileName)) GTEST_SKIP() << "Worad1.bna not built";
    const auto shapes = readBna(kData + "/" + kBoundaryFileName);
    EXPECT_GT(shapes.size(), 1000u);
    bool italy = false;
    for (const BnaShape& s : shapes) {
        italy = italy || s.Name == "Italy";
        for (size_t k = 1; k < s.Points.size(); ++k)  // no line across the map at 180 degrees
            ASSERT_LE(std::fabs(s.Points[k].lon - s.Points[k - 1].lon), 180) << s.Name;
    }
    EXPECT_TRUE(italy);
}

TEST(BuiltMaps, ElevationMapIsListedAndCodesTheRasterAltitude) {
    const auto maps = listUsableMaps(kMaps);
    if (maps.empty()) GTEST_SKIP() << "rastelldata not built";
    ASSERT_EQ(maps.front().Base, "Elevation");
    const ImgRaster map = readImg(maps.front().Img);
    const Georeference g = Georeference::of(map.Header);
    EXPECT_EQ(std::vector<double>({g.lonOfColumn(0), g.latOfRow(0), g.lonOfColumn(map.Header.Columns - 1), g.latOfRow(map.Header.Rows - 1)}),
              std::vector<double>({-180, 90, 180, -90}));

    const TerrainRaster terrain(kData);
    for (const auto& [lon, lat] : {std::pair{12.5, 41.875}, {86.875, 28.0}, {-70.0, -15.0}, {5.625, 52.5}}) {
        int16_t sea = 0;
        const int16_t alt = terrain.altitude(float(lon), float(lat), sea);
        const uint8_t count = map.at(int(g.columnOf(lon)), int(g.rowOf(lat)));
        ASSERT_EQ(sea, 0);
        ASSERT_NE(count, kImgNoData);
        EXPECT_LE(map.Header.valueOf(count), alt) << lon << " " << lat;
        EXPECT_GT(map.Header.valueOf(count) + map.Header.Scale, alt) << lon << " " << lat;
    }
    EXPECT_EQ(map.at(int(g.columnOf(-30)), int(g.rowOf(30))), kImgNoData);

    const ColourTable colours = readColourTable(maps.front().Clr);
    EXPECT_EQ(colours.Entries[map.at(int(g.columnOf(12.5)), int(g.rowOf(41.875)))].Label + "|" + colours.Entries[255].Label, "0 < 99 m|Sea");
    EXPECT_EQ(colours.legendEntries().size(), 23u + 1 + 2);  // land classes, sea, overlays
}
