// Builds the elevation raster "10k8b.raw" from the ETOPO5 5-minute relief (netCDF) and the
// land polygons of a topology file (the land mask: relief alone cannot tell a polder or the
// Caspian from the sea).
// Usage: make_terrain ETOPO5.cdf land-50m.json OUT.raw
#include <netcdf.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "data/terrain.h"
#include "error.h"
#include "maps/scanline.h"
#include "maps/topology.h"

using zentrel::Error;
using zentrel::LonLat;
using zentrel::Ring;
using nlohmann::json;

namespace {

constexpr int kEtopoColumns = 4320;  // longitude 0 .. 359.917 east
constexpr int kEtopoRows = 2161;     // latitude -90 .. 90, south first

void check(int status, const std::string& path, const std::string& what) {
    if (status != NC_NOERR)
        throw Error("Cannot read " + what + " of " + path + ": " + nc_strerror(status) + ".");
}

/// The relief grid, south row first, in metres (sea floor negative).
struct Relief {
    std::vector<float> metres;  // kEtopoRows x kEtopoColumns
    float at(int row, int col) const { return metres[static_cast<size_t>(row) * kEtopoColumns + col]; }
};

std::vector<double> readAxis(int nc, const std::string& path, const char* name, size_t expected) {
    int dim = 0, var = 0;
    check(nc_inq_dimid(nc, name, &dim), path, std::string("dimension ") + name);
    size_t length = 0;
    check(nc_inq_dimlen(nc, dim, &length), path, std::string("dimension ") + name);
    if (length != expected)
        throw Error(path + ": dimension " + name + " has " + std::to_string(length) + " points, expected " +
                    std::to_string(expected) + ".");
    check(nc_inq_varid(nc, name, &var), path, std::string("variable ") + name);
    std::vector<double> values(length);
    check(nc_get_var_double(nc, var, values.data()), path, std::string("variable ") + name);
    return values;
}

Relief readRelief(const std::string& path) {
    int nc = 0;
    check(nc_open(path.c_str(), NC_NOWRITE, &nc), path, "the file");
    struct Closer {
        int id;
        ~Closer() { nc_close(id); }
    } closer{nc};

    // The sampling below relies on the grid lying on multiples of 5 minutes. The stored
    // longitude axis drifts by up to 0.0033 degrees (a step of 0.083334 written in single
    // precision), so positions are checked to a tenth of a cell.
    const std::vector<double> lons = readAxis(nc, path, "ETOPO05_X", kEtopoColumns);
    const std::vector<double> lats = readAxis(nc, path, "ETOPO05_Y", kEtopoRows);
    for (int k = 0; k < kEtopoColumns; ++k)
        if (std::fabs(lons[k] - k / 12.0) > 0.01) throw Error(path + ": longitude axis is not 0, 1/12, ... degrees east.");
    for (int j = 0; j < kEtopoRows; ++j)
        if (std::fabs(lats[j] - (-90.0 + j / 12.0)) > 0.01) throw Error(path + ": latitude axis is not -90, -90 + 1/12, ... degrees.");

    int var = 0, ndims = 0;
    int dims[NC_MAX_VAR_DIMS];
    check(nc_inq_varid(nc, "ROSE", &var), path, "variable ROSE");
    check(nc_inq_var(nc, var, nullptr, nullptr, &ndims, dims, nullptr), path, "variable ROSE");
    int xDim = 0, yDim = 0;
    check(nc_inq_dimid(nc, "ETOPO05_X", &xDim), path, "dimension ETOPO05_X");
    check(nc_inq_dimid(nc, "ETOPO05_Y", &yDim), path, "dimension ETOPO05_Y");
    if (ndims != 2 || dims[0] != yDim || dims[1] != xDim)
        throw Error(path + ": variable ROSE is not laid out as (ETOPO05_Y, ETOPO05_X).");

    Relief relief;
    relief.metres.resize(static_cast<size_t>(kEtopoRows) * kEtopoColumns);
    check(nc_get_var_float(nc, var, relief.metres.data()), path, "variable ROSE");
    for (const float m : relief.metres)
        if (!std::isfinite(m) || std::fabs(m) > 20000.0f) throw Error(path + ": variable ROSE holds missing or impossible values.");
    return relief;
}

/// The relief has two broken scan lines on the Antarctic ice, at 81.25 S (0..40 E) and 81.167 S
/// (67 W..0), where stretches of cells read near 0 m inside 3000 m of ice. A cell of those two
/// rows that lies more than 300 m off the mean of its northern and southern neighbours, while
/// those two agree within 100 m, takes that mean. Returns the number of cells mended.
int mendAntarcticScanLines(Relief& relief) {
    int mended = 0;
    for (const int row : {105, 106}) {  // -90 + row / 12 = -81.25, -81.167
        for (int col = 0; col < kEtopoColumns; ++col) {
            const float south = relief.at(row - 1, col), north = relief.at(row + 1, col);
            float& cell = relief.metres[static_cast<size_t>(row) * kEtopoColumns + col];
            const float mean = (south + north) / 2;
            if (std::fabs(south - north) < 100.0f && std::fabs(cell - mean) > 300.0f) {
                cell = mean;
                ++mended;
            }
        }
    }
    return mended;
}

/// Every ring of every polygon of the object `objectName`, in degrees.
std::vector<Ring> readLandRings(const std::string& path, const std::string& objectName) {
    std::ifstream in(path);
    if (!in) throw Error("The land polygons " + path + " are missing.");
    const json topology = json::parse(in);
    const json& t = topology.at("transform");
    const zentrel::TopologyTransform transform{t.at("scale")[0], t.at("scale")[1], t.at("translate")[0],
                                                t.at("translate")[1]};
    std::vector<Ring> arcs;
    for (const json& arc : topology.at("arcs"))
        arcs.push_back(zentrel::decodeArc(arc.get<zentrel::QuantizedArc>(), transform));

    std::vector<Ring> rings;
    auto addPolygon = [&](const json& polygon) {
        for (const json& ring : polygon) rings.push_back(zentrel::assembleRing(ring.get<std::vector<int64_t>>(), arcs));
    };
    for (const json& geometry : topology.at("objects").at(objectName).at("geometries")) {
        const std::string type = geometry.at("type");
        if (type == "Polygon") addPolygon(geometry.at("arcs"));
        else if (type == "MultiPolygon")
            for (const json& polygon : geometry.at("arcs")) addPolygon(polygon);
    }
    return rings;
}

/// Raster byte of an altitude: (alt + 40) / 20 rounded (halves to even), kept within 0..254
/// (so land below -40 m reads -40 m and land above 5040 m reads 5040 m).
uint8_t altitudeByte(float metres) {
    const double count = std::nearbyint((static_cast<double>(metres) + 40.0) / 20.0);
    return static_cast<uint8_t>(std::clamp(count, 0.0, 254.0));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: make_terrain ETOPO5.cdf land-50m.json OUT.raw\n";
        return 2;
    }
    const std::string reliefPath = argv[1], landPath = argv[2], outPath = argv[3];
    try {
        Relief relief = readRelief(reliefPath);
        const int mended = mendAntarcticScanLines(relief);
        const zentrel::ScanlinePolygons land(readLandRings(landPath, "land"));

        // The lookup reads, for a point (lon, lat), the 1-based position (row - 1) * 4320 + col
        // with col = round((lon + 180) * 12) and row = round((90 - lat) * 12). So byte i of file
        // row r (both 0-based) answers for the grid point lon = (i + 1) / 12 - 180,
        // lat = 90 - (r + 1) / 12: every byte holds the relief and the land mask of exactly
        // that point, which is also a point of the 5-minute relief grid.
        std::vector<double> lons(zentrel::kTerrainColumns);
        for (int i = 0; i < zentrel::kTerrainColumns; ++i) lons[i] = (i + 1) / 12.0 - 180.0;

        std::vector<uint8_t> raster(static_cast<size_t>(zentrel::kTerrainColumns) * zentrel::kTerrainRows);
        for (int r = 0; r < zentrel::kTerrainRows; ++r) {
            const double lat = 90.0 - (r + 1) / 12.0;
            // The land polygons end at 89.999 S; the row at the pole takes the mask just north of it.
            const std::vector<bool> inside = land.insideRow(std::max(lat, -89.99), lons);
            const int reliefRow = zentrel::kTerrainRows - 1 - r;  // same latitude, south-first
            for (int i = 0; i < zentrel::kTerrainColumns; ++i) {
                const int reliefCol = (i + 1 + zentrel::kTerrainColumns / 2) % zentrel::kTerrainColumns;
                raster[static_cast<size_t>(r) * zentrel::kTerrainColumns + i] =
                    inside[i] ? altitudeByte(relief.at(reliefRow, reliefCol)) : 255;
            }
        }

        // Written beside the target and renamed, so an interrupted run leaves no partial raster.
        const std::string tmpPath = outPath + ".part";
        {
            std::ofstream out(tmpPath, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(raster.data()), static_cast<std::streamsize>(raster.size()));
            if (!out) throw Error("Cannot write " + tmpPath + ".");
        }
        std::filesystem::rename(tmpPath, outPath);

        const auto land_cells = std::count_if(raster.begin(), raster.end(), [](uint8_t b) { return b != 255; });
        std::cout << "make_terrain: wrote " << outPath << " (" << land_cells << " land cells of " << raster.size()
                  << "; " << mended << " broken relief cells mended)\n";
    } catch (const std::exception& e) {
        std::cerr << "make_terrain: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
