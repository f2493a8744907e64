// Elevation raster positions and byte coding.
#include "data/terrain.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "data/data_folder.h"
#include "error.h"
#include "fixture.h"

using namespace zentrel;

TEST(Terrain, BytePositionRoundsHalvesToEven) {
    // Longitude 0 at the equator: column 2160, row 1080, 1-based byte 1079 * 4320 + 2160.
    EXPECT_EQ(terrainByteOffset(0, 0), 1079L * 4320 + 2160 - 1);
    // Longitude 180: column 4320, the last byte of its row.
    EXPECT_EQ(terrainByteOffset(180, 0), 1079L * 4320 + 4320 - 1);
    // Longitude -180: column 0, the last byte of the row above.
    EXPECT_EQ(terrainByteOffset(-180, 0), 1079L * 4320 - 1);
    // Latitude -90: row 2160, the last row.
    EXPECT_EQ(terrainByteOffset(0, -90), 2159L * 4320 + 2160 - 1);
    // Latitude 90 gives row 0, answered from the first row.
    EXPECT_EQ(terrainByteOffset(0, 90), 2160 - 1);
    EXPECT_EQ(terrainByteOffset(-180, 90), 0);
    // A half column rounds to even: (lon + 180) / 360 * 4320 = 2160.5 -> 2160.
    EXPECT_EQ(terrainByteOffset(0.0416666f, 0), terrainByteOffset(0, 0));
}

TEST(Terrain, FileAndMemoryLookupsAgreeOnTheByteCodingAndAMissingFileOrOneOfTheWrongSizeIsRefused) {
    zentrel::test::TempFolder folder("terrain");
    std::string bytes(static_cast<size_t>(kTerrainColumns) * kTerrainRows, '\xff');
    bytes[static_cast<size_t>(terrainByteOffset(12.5f, 41.9f))] = 3;  // 20 m at 20 m a step from -40 m; 255 is the sea, at 0 m
    folder.write(kTerrainFileName, bytes);
    int16_t sea = 0;
    EXPECT_EQ(TerrainAltitude(folder.str(), 12.5f, 41.9f, sea), 20);
    EXPECT_EQ(sea, 0);
    TerrainRaster raster(folder.str());
    EXPECT_EQ(raster.altitude(12.5f, 41.9f, sea), 20);
    EXPECT_EQ(raster.altitude(0, 0, sea), 0);
    EXPECT_EQ(sea, 1);
    EXPECT_THROW(TerrainAltitude("/nonexistent", 0, 0, sea), Error);
    folder.write(kTerrainFileName, std::string(static_cast<size_t>(kTerrainColumns) * kTerrainRows + 7, '\x05'));
    const std::string message = zentrel::test::errorOf([&] { TerrainAltitude(folder.str(), 0, 0, sea); });
    EXPECT_NE(message.find("holds 9331207 bytes instead of 4320 x 2160 = 9331200"), std::string::npos) << message;
    EXPECT_THROW(TerrainRaster{folder.str()}, Error);
}

TEST(TerrainSource, AFolderOfStationsAloneTakesTheRasterOfTheFoldersTheProgramsFindTheirDataIn) {
    zentrel::test::TempFolder program("terrain-program"), own("terrain-own"), stations("terrain-stations");
    std::string bytes(static_cast<size_t>(kTerrainColumns) * kTerrainRows, '\xff');
    bytes[static_cast<size_t>(terrainByteOffset(12.5f, 41.9f))] = 10;  // 160 m
    std::filesystem::create_directories(program.path() / kDataFolderName);
    program.write(std::string(kDataFolderName) + "/" + kTerrainFileName, bytes);
    own.write(kTerrainFileName, std::string(bytes.size(), '\x05'));
    locateDataFolder(program.str());  // the program folder the lookup of the terrain starts from
    const TerrainSource own_ = terrainFolderOf(own.str()), borrowed = terrainFolderOf(stations.str());
    EXPECT_TRUE(own_.own);
    EXPECT_EQ(own_.folder, own.str());
    EXPECT_FALSE(borrowed.own);
    EXPECT_EQ(borrowed.folder, (program.path() / kDataFolderName).string());
    EXPECT_EQ(borrowed.rule, "beside the program");
    EXPECT_EQ(describeTerrain(borrowed), "the elevation raster of " + borrowed.folder + " (beside the program)");
    int16_t sea = 0;
    EXPECT_EQ(TerrainAltitude(stations.str(), 12.5f, 41.9f, sea), 160);
    EXPECT_EQ(TerrainRaster(stations.str()).altitude(12.5f, 41.9f, sea), 160);
    EXPECT_EQ(TerrainAltitude(own.str(), 12.5f, 41.9f, sea), 60);
    // No folder, no borrowed terrain: a wrong folder name is still reported as missing.
    EXPECT_TRUE(terrainFolderOf("/nonexistent").folder.empty());
    EXPECT_THROW(TerrainAltitude("/nonexistent", 0, 0, sea), Error);
}
