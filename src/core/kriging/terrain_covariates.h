// What the terrain says about a place beyond its own altitude: the relief around it, how far the
// sea is and how much sea lies within reach. Derived from the data folder's elevation raster;
// the data-folder build keeps the derived grids beside it (kriging-terrain.bin), and a folder
// without them (or with grids of another raster) derives them when first needed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zentrel {

/// The terrain around one point. Altitudes in m; fractions 0..1.
struct TerrainAround {
    float landAlt = 0;   ///< altitude of the raster cell (sea and lakes 0)
    float mean10 = 0;    ///< mean altitude within about 10 km (water counts 0)
    float mean50 = 0;    ///< the same within about 50 km
    float seaNear = 0;   ///< exp(-distance to the sea / 50 km): 1 on the coast, 0 far inland
    float sea25 = 0;     ///< fraction of sea within about 25 km
    float sea100 = 0;    ///< ... 100 km
    float sea500 = 0;    ///< ... 500 km
    bool known = true;   ///< false: the folder has no elevation raster, and only landAlt (0) is set
};

/// The grids. The sea is every connected water region of the raster of at least kMinSeaCells
/// 5' cells, so lakes and depressions stay land. Means and fractions are over boxes of about
/// the given half-width (in longitude widened by 1 / cos latitude), not discs. Immutable once
/// made: many threads may share one.
class TerrainCovariates {
public:
    /// Reads the folder's raster and its derived grids, or derives them (a few seconds) when the
    /// file is missing, damaged (of another size, or its grids changed: the payload carries a
    /// checksum) or made from another raster. A folder without a raster (an imported database
    /// on its own) has no terrain: every point is then unknown (known = false). Throws Error
    /// naming the raster when it is of the wrong size, and naming the derived file when a
    /// folder, FIFO, device or socket stands in its place (it is never opened for reading).
    explicit TerrainCovariates(const std::string& dataFolder);

    /// Derives the grids of `dataFolder`'s raster and writes them to `path` (replaced whole).
    /// Throws Error naming the file that failed.
    static void writeDerived(const std::string& dataFolder, const std::string& path);

    /// lon, lat in degrees (any longitude, wrapped; latitude clamped to the raster).
    TerrainAround at(float lon, float lat) const;

    /// True when the grids came from the derived file rather than being derived at load.
    bool fromFile() const { return fromFile_; }
    /// False when the folder has no elevation raster.
    bool known() const { return !raster_.empty(); }
    /// Checksum of the elevation raster the grids come from (0 without one).
    uint64_t rasterSum() const { return rasterSum_; }

    /// The size in bytes of a whole derived file.
    static size_t fileSize();

    static constexpr int kMinSeaCells = 3000;
    static constexpr const char* kFileName = "kriging-terrain.bin";

private:
    TerrainCovariates() = default;
    void derive();                             // every grid from raster_
    std::string serialise(uint64_t rasterSum) const;
    bool parse(std::string_view bytes, uint64_t rasterSum);

    std::vector<uint8_t> raster_;   // 5' raster bytes, rows north to south from -180
    std::vector<uint8_t> seaNear_;  // 5': exp(-d / 50 km) x 255
    std::vector<uint16_t> sea25_;   // 10': fraction x 65535
    std::vector<uint16_t> mean50_;  // 15': mean altitude + 1000 m
    std::vector<uint16_t> sea100_, sea500_;  // 15': fraction x 65535
    bool fromFile_ = false;
    uint64_t rasterSum_ = 0;
};

}  // namespace zentrel
