// The built elevation raster (bin/ZentrelData/10k8b.raw beside the test program): land mask and
// sampling of the relief. Skipped when the data folder has not been built.
#include "data/terrain.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "data/data_folder.h"

using namespace zentrel;

namespace {

std::optional<TerrainRaster> builtRaster() {
    const auto folder = std::filesystem::read_symlink("/proc/self/exe").parent_path() / kDataFolderName;
    if (!std::filesystem::exists(folder / kTerrainFileName)) return std::nullopt;
    return TerrainRaster(folder.string());
}

}  // namespace

class BuiltTerrain : public ::testing::Test {
protected:
    static void SetUpTestSuite() { raster_ = builtRaster(); }
    void SetUp() override {
        if (!raster_) GTEST_SKIP() << "bin/ZentrelData/10k8b.raw not built (scripts/build-data.sh)";
    }
    int16_t altitude(float lon, float lat, int16_t& isSea) const { return raster_->altitude(lon, lat, isSea); }
    bool isSea(float lon, float lat) const {
        int16_t sea = 0;
        altitude(lon, lat, sea);
        return sea == 1;
    }
    static inline std::optional<TerrainRaster> raster_;
};

TEST_F(BuiltTerrain, DepressionsAndPoldersAreLand) {
    int16_t sea = 0;
    EXPECT_EQ(altitude(35.5f, 31.5f, sea), 40) << "Dead Sea (the 5-minute cell reads +41 m)";
    EXPECT_EQ(sea, 0);
    EXPECT_LE(altitude(27.0f, 29.5f, sea), -20) << "Qattara Depression";
    EXPECT_EQ(sea, 0);
    EXPECT_LE(altitude(4.9f, 52.37f, sea), 20) << "Amsterdam";
    EXPECT_EQ(sea, 0);
    EXPECT_LE(altitude(5.6f, 52.5f, sea), 20) << "Flevoland";
    EXPECT_EQ(sea, 0);
}

TEST_F(BuiltTerrain, InlandAndMarginalSeasAreSea) {
    EXPECT_TRUE(isSea(50.5f, 42.0f)) << "Caspian, whose surface the relief gives as -30 m";
    EXPECT_TRUE(isSea(51.0f, 40.0f)) << "southern Caspian";
    EXPECT_TRUE(isSea(3.0f, 56.0f)) << "North Sea";
    EXPECT_TRUE(isSea(18.0f, 55.5f)) << "Baltic";
    EXPECT_TRUE(isSea(0.0f, 0.0f)) << "Gulf of Guinea";
}

TEST_F(BuiltTerrain, EachByteHoldsTheReliefOfTheGridPointThatMapsToIt) {
    // Isolated 5-minute relief values: a shift of one cell in any direction reads another value.
    int16_t sea = 0;
    EXPECT_EQ(altitude(61.25f, 27.1667f, sea), 580);  // relief 579 m, all neighbours above 1000 m
    for (const float dLon : {-1.0f / 12, 1.0f / 12})
        EXPECT_GE(altitude(61.25f + dLon, 27.1667f, sea), 1000);
    for (const float dLat : {-1.0f / 12, 1.0f / 12})
        EXPECT_GE(altitude(61.25f, 27.1667f + dLat, sea), 1000);
    EXPECT_EQ(altitude(56.0833f, 26.0f, sea), 1520);  // relief 1524 m, neighbours at most 920 m
    EXPECT_LE(altitude(56.0833f + 1.0f / 12, 26.0f, sea), 920);
}

TEST_F(BuiltTerrain, HighMountainsClampToTheTopByteAndPolesAreCovered) {
    int16_t sea = 0;
    EXPECT_EQ(altitude(86.925f, 27.988f, sea), 5040);  // Everest: 6096 m, above the coded range
    EXPECT_GT(altitude(0.0f, -90.0f, sea), 2000) << "South Pole on the ice sheet";
    EXPECT_EQ(sea, 0);
    EXPECT_TRUE(isSea(0.0f, 89.9f)) << "North Pole";
}

TEST_F(BuiltTerrain, AntimeridianIslandsAreLandOnBothSides) {
    EXPECT_FALSE(isSea(179.5f, 68.0f)) << "Chukotka west of 180";
    EXPECT_FALSE(isSea(-179.5f, 68.0f)) << "Chukotka east of 180";
    EXPECT_TRUE(isSea(-170.0f, 30.0f)) << "open Pacific";
    // This scan line meets the edge that joins Wrangel Island across 180; read on the flat map
    // that edge would cross the whole world and flip land and sea along the row.
    EXPECT_TRUE(isSea(-5.0f, 70.9833f)) << "Norwegian Sea";
    EXPECT_FALSE(isSea(100.0f, 70.9833f)) << "Taymyr";
}
