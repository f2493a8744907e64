// The built elevation raster (bin/ZentrelData/10k8b.raw beside the test program): land mask and
// sampling of the relief. Skipped when the data folder has not been built.
#include "data/terrain.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "data/data_folder.h"

using namespace zentrel;

class BuiltTerrain : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const auto folder = std::filesystem::read_symlink("/proc/self/exe").parent_path() / kDataFolderName;
        if (std::filesystem::exists(folder / kTerrainFileName)) raster_.emplace(folder.string());
    }
    void SetUp() override {
        if (!raster_) GTEST_SKIP() << "bin/ZentrelData/10k8b.raw not built (scripts/build-data.sh)";
    }
    int16_t altitude(float lon, float lat, int16_t& isSea) const { return raster_->altitude(lon, lat, isSea); }
    static inline std::optional<TerrainRaster> raster_;
};

// Land or sea, and the altitude within [low, high] where it is known.
TEST_F(BuiltTerrain, LandSeaAndReliefOfKnownPlaces) {
    const int any = 32767;
    const struct { const char* place; float lon, lat; bool sea; int low, high; } cases[] = {
        {"Dead Sea (the 5-minute cell reads +41 m)", 35.5f, 31.5f, false, 40, 40},
        {"Qattara Depression", 27.0f, 29.5f, false, -any, -20},
        {"Amsterdam", 4.9f, 52.37f, false, -any, 20},
        {"Flevoland", 5.6f, 52.5f, false, -any, 20},
        {"Caspian, whose surface the relief gives as -30 m", 50.5f, 42.0f, true, -any, any},
        {"southern Caspian", 51.0f, 40.0f, true, -any, any},
        {"North Sea", 3.0f, 56.0f, true, -any, any},
        {"Baltic", 18.0f, 55.5f, true, -any, any},
        {"Gulf of Guinea", 0.0f, 0.0f, true, -any, any},
        {"Everest: 6096 m, above the coded range", 86.925f, 27.988f, false, 5040, 5040},
        {"South Pole on the ice sheet", 0.0f, -90.0f, false, 2001, any},
        {"North Pole", 0.0f, 89.9f, true, -any, any},
        {"Chukotka west of 180", 179.5f, 68.0f, false, -any, any},
        {"Chukotka east of 180", -179.5f, 68.0f, false, -any, any},
        {"open Pacific", -170.0f, 30.0f, true, -any, any},
        // This scan line meets the edge that joins Wrangel Island across 180; read on the flat
        // map that edge would cross the whole world and flip land and sea along the row.
        {"Norwegian Sea", -5.0f, 70.9833f, true, -any, any},
        {"Taymyr", 100.0f, 70.9833f, false, -any, any},
    };
    for (const auto& c : cases) {
        int16_t sea = 0;
        const int alt = altitude(c.lon, c.lat, sea);
        EXPECT_EQ(sea == 1, c.sea) << c.place;
        EXPECT_GE(alt, c.low) << c.place;
        EXPECT_LE(alt, c.high) << c.place;
    }
}

TEST_F(BuiltTerrain, EachByteHoldsTheReliefOfTheGridPointThatMapsToIt) {
    // Isolated 5-minute relief values: a shift of one cell in any direction reads another value.
    int16_t sea = 0;
    EXPECT_EQ(altitude(61.25f, 27.1667f, sea), 580);  // relief 579 m, all neighbours above 1000 m
    for (const float d : {-1.0f / 12, 1.0f / 12}) {
        EXPECT_GE(altitude(61.25f + d, 27.1667f, sea), 1000);
        EXPECT_GE(altitude(61.25f, 27.1667f + d, sea), 1000);
    }
    EXPECT_EQ(altitude(56.0833f, 26.0f, sea), 1520);  // relief 1524 m, neighbours at most 920 m
    EXPECT_LE(altitude(56.0833f + 1.0f / 12, 26.0f, sea), 920);
}
