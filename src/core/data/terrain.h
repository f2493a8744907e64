// The elevation raster "10k8b.raw": 4320 x 2160 bytes, rows north to south from longitude -180,
// altitude = byte * 20 - 40 m, 255 = sea.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zentrel {

inline constexpr int kTerrainColumns = 4320;
inline constexpr int kTerrainRows = 2160;
inline constexpr const char* kTerrainFileName = "10k8b.raw";

/// Where the terrain of a data folder comes from.
struct TerrainSource {
    std::string folder;  ///< the folder holding the raster (and its derived grids); empty: none
    bool own = false;    ///< the data folder's own
    std::string rule;    ///< for another folder: how the programs found it ("installed", ...)
};

/// The terrain of a station database: the data folder's own elevation raster, else the first of
/// the folders the programs take their data from (beside the program, the user's data folder,
/// the installed one, as seen from the program folder of the last data folder lookup,
/// locateDataFolder) that holds one. A database imported into a folder of its own thus keeps
/// the relief and the sea. Every reader of the raster and of the grids derived from it
/// (TerrainAltitude, TerrainRaster, the kriging terrain) goes through this.
TerrainSource terrainFolderOf(const std::string& dataFolder);

/// One line for people: "the folder's own elevation raster", "the elevation raster of FOLDER
/// (installed)" or "none (...)".
std::string describeTerrain(const TerrainSource& source);

/// 0-based byte offset in the raster for (lon, lat): col = round((lon + 180) / 360 * 4320),
/// row = round((1 - (lat + 90) / 180) * 2160), halves to even, 1-based position
/// (row - 1) * 4320 + col. So longitude -180 reads the last byte of the row above and 180 the
/// last byte of its row. Row 0 (latitude above about 89.958) has no bytes: it reads row 1, and a
/// position before the start of the file reads the first byte.
long terrainByteOffset(float lon, float lat);

/// Altitude in m of a raster byte; isSea = 1 and 0 m for byte 255.
int16_t terrainAltitudeOfByte(uint8_t byte, int16_t& isSea);

/// Altitude of a point, opening and closing the raster file of `dataFolder` for this one call.
/// Throws Error when the file is missing or too short.
int16_t TerrainAltitude(const std::string& dataFolder, float lon, float lat, int16_t& isSea);

/// The raster held in memory, for many lookups (grids, batch runs, raster export). Same answers.
class TerrainRaster {
public:
    /// Reads the whole raster. Throws Error naming the file when missing or of the wrong size.
    explicit TerrainRaster(const std::string& dataFolder);
    int16_t altitude(float lon, float lat, int16_t& isSea) const;
    uint8_t byteAt(long offset) const { return bytes_[static_cast<size_t>(offset)]; }
    const std::vector<uint8_t>& bytes() const { return bytes_; }
    /// The bytes, handed over without a copy (the raster is empty afterwards).
    std::vector<uint8_t> release() && { return std::move(bytes_); }

private:
    std::vector<uint8_t> bytes_;
};

}  // namespace zentrel
