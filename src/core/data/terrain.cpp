// Elevation raster lookup.
#include "data/terrain.h"

#include <cmath>
#include <filesystem>
#include <fstream>

#include "data/data_folder.h"
#include "error.h"
#include "files/read_file.h"

namespace zentrel {

namespace {
bool holdsRaster(const std::string& folder) {
    std::error_code ec;
    return !folder.empty() && std::filesystem::exists(std::filesystem::path(folder) / kTerrainFileName, ec);
}
// The folder's own raster, else the one of the shared terrain (missing: the folder's own path,
// which the error names).
std::string rasterPath(const std::string& dataFolder) {
    const std::string from = terrainFolderOf(dataFolder).folder;
    return (std::filesystem::path(from.empty() ? dataFolder : from) / kTerrainFileName).string();
}
constexpr long kRasterBytes = static_cast<long>(kTerrainColumns) * kTerrainRows;

/// Opens the raster after checking that it is a regular file of exactly one byte per cell: a
/// cut or padded file would put every point after the fault at the wrong altitude.
std::ifstream openRaster(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) throw Error("The elevation raster " + path + " is missing.");
    requireRegularFile(path, "The elevation raster");
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && static_cast<long long>(size) != kRasterBytes)
        throw Error("The elevation raster " + path + " holds " + std::to_string(size) + " bytes instead of 4320 x 2160 = " +
                    std::to_string(kRasterBytes) + "; it is cut short or has bytes too many.");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error("The elevation raster " + path + " cannot be read.");
    return in;
}
}  // namespace

TerrainSource terrainFolderOf(const std::string& dataFolder) {
    if (holdsRaster(dataFolder)) return {dataFolder, true};
    std::error_code ec;
    const std::string programDir = lastProgramDir();
    if (programDir.empty() || !std::filesystem::is_directory(dataFolder, ec)) return {};
    // The relief and the sea belong to the Earth, not to a station network: a folder of
    // stations alone takes them from the folders the programs find their data in.
    for (const DataFolderChoice& c : dataFolderCandidates(programDir))
        if ((c.rule == DataFolderRule::BesideProgram || c.rule == DataFolderRule::UserData ||
             c.rule == DataFolderRule::Installed) && holdsRaster(c.folder))
            return {c.folder, false, dataFolderRuleName(c.rule)};
    return {};
}

std::string describeTerrain(const TerrainSource& source) {
    if (source.folder.empty()) return "none (no elevation raster: no altitudes from coordinates, kriging without terrain covariates)";
    if (source.own) return "the folder's own elevation raster";
    return "the elevation raster of " + source.folder + " (" + source.rule + ")";
}

long terrainByteOffset(float lon, float lat) {
    const long col = std::lrint((lon + 180.0f) / 360.0f * 4320.0f);
    long row = std::lrint((1.0f - (lat + 90.0f) / 180.0f) * 2160.0f);
    // Row 0 lies before the grid: the northernmost row answers for it.
    if (row < 1) row = 1;
    long offset = (row - 1) * kTerrainColumns + col - 1;
    if (offset < 0) offset = 0;
    if (offset >= kRasterBytes) offset = kRasterBytes - 1;
    return offset;
}

int16_t terrainAltitudeOfByte(uint8_t byte, int16_t& isSea) {
    if (byte == 255) {
        isSea = 1;
        return 0;
    }
    isSea = 0;
    return static_cast<int16_t>(byte * 20 - 40);
}

int16_t TerrainAltitude(const std::string& dataFolder, float lon, float lat, int16_t& isSea) {
    const std::string path = rasterPath(dataFolder);
    std::ifstream in = openRaster(path);
    in.seekg(terrainByteOffset(lon, lat));
    char byte = 0;
    if (!in.get(byte)) throw Error("The elevation raster " + path + " is shorter than 4320 x 2160 bytes.");
    return terrainAltitudeOfByte(static_cast<uint8_t>(byte), isSea);
}

TerrainRaster::TerrainRaster(const std::string& dataFolder) {
    const std::string path = rasterPath(dataFolder);
    std::ifstream in = openRaster(path);
    bytes_.resize(static_cast<size_t>(kRasterBytes));
    in.read(reinterpret_cast<char*>(bytes_.data()), kRasterBytes);
    if (in.gcount() != kRasterBytes)
        throw Error("The elevation raster " + path + " is shorter than 4320 x 2160 bytes.");
}

int16_t TerrainRaster::altitude(float lon, float lat, int16_t& isSea) const {
    return terrainAltitudeOfByte(bytes_[static_cast<size_t>(terrainByteOffset(lon, lat))], isSea);
}

}  // namespace zentrel
