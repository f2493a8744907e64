// Builds the map files of the data folders: the country boundaries "Worad1.bna" and the world
// bitmap "woma.bmp" in ZentrelData, and the elevation background map (Elevation.img with its
// .clr, .cty and .bnd companions) in rastelldata. Needs the elevation raster 10k8b.raw.
// Usage: make_maps countries-50m.json ZENTRELDATA_DIR RASTELLDATA_DIR
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "data/terrain.h"
#include "error.h"
#include "maps/altitude_classes.h"
#include "maps/bmp_file.h"
#include "maps/bna_file.h"
#include "maps/colour_table.h"
#include "maps/img_file.h"
#include "maps/topology.h"

namespace fs = std::filesystem;
using nlohmann::json;
using namespace zentrel;

namespace {

// World bitmap: 6 pixels per degree, every pixel two terrain cells wide.
constexpr int kBitmapWidth = 2160;
constexpr int kBitmapHeight = 1080;

// Elevation background map: points every 0.125 degrees from 180 W to 180 E and from 90 N to
// 90 S, both edges included, so that every coordinate of the world finds a cell and the map's
// west and north edges are -180 and 90. 0.125 is exact in binary and in three decimals, so the
// georeference survives the header's 6-byte reals and the truncation on reading unchanged.
constexpr double kMapCell = 0.125;
constexpr int kMapColumns = 2881;
constexpr int kMapRows = 1441;
// Altitude coding of the map: value = -75 + 25 * count. Every class bound (multiples of 100 m)
// falls on a count boundary, the raster's -40..5040 m use counts 1..204, and count 0 stays free
// because the legend starts at entry 1.
constexpr double kMapScale = 25.0;
constexpr double kMapOffset = -75.0;
constexpr const char* kMapBase = "Elevation";

/// Writes through a temporary file and renames it, so an interrupted run leaves no partial file.
template <typename Write>
void writeAtomically(const fs::path& target, Write write) {
    const fs::path tmp = target.string() + ".part";
    write(tmp.string());
    fs::rename(tmp, target);
}

/// Country rings as BNA shapes, named by country (second name: the numeric country code). A
/// ring that crosses 180 degrees is cut there into separate shapes, so that no line is drawn
/// across the whole map.
std::vector<BnaShape> countryBoundaries(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw Error("The country polygons " + path + " are missing.");
    const json topology = json::parse(in);
    const json& t = topology.at("transform");
    const TopologyTransform transform{t.at("scale")[0], t.at("scale")[1], t.at("translate")[0], t.at("translate")[1]};
    std::vector<Ring> arcs;
    for (const json& arc : topology.at("arcs")) arcs.push_back(decodeArc(arc.get<QuantizedArc>(), transform));

    std::vector<BnaShape> shapes;
    auto addRing = [&](const std::string& name, const std::string& code, const Ring& ring) {
        BnaShape shape{name, code, {}};
        for (const LonLat& p : ring) {
            if (!shape.Points.empty() && std::fabs(p.lon - shape.Points.back().lon) > 180) {
                if (shape.Points.size() > 1) shapes.push_back(shape);
                shape.Points.clear();
            }
            shape.Points.push_back({std::clamp(p.lon, -180.0, 180.0), std::clamp(p.lat, -90.0, 90.0)});
        }
        if (shape.Points.size() > 1) shapes.push_back(std::move(shape));
    };
    for (const json& country : topology.at("objects").at("countries").at("geometries")) {
        const std::string name = country.contains("properties") ? country["properties"].value("name", "") : "";
        const std::string code = country.contains("id") && country["id"].is_string() ? country["id"].get<std::string>() : "";
        const std::string type = country.at("type");
        std::vector<json> polygons;
        if (type == "Polygon") polygons.push_back(country.at("arcs"));
        else if (type == "MultiPolygon")
            for (const json& polygon : country.at("arcs")) polygons.push_back(polygon);
        for (const json& polygon : polygons)
            for (const json& ring : polygon) addRing(name, code, assembleRing(ring.get<std::vector<int64_t>>(), arcs));
    }
    return shapes;
}

/// Altitude of the raster at a point, sea counted as 0 m (for the shading).
double reliefAt(const TerrainRaster& terrain, double lon, double lat) {
    int16_t sea = 0;
    const int16_t alt = terrain.altitude(static_cast<float>(lon), static_cast<float>(lat), sea);
    return sea ? 0.0 : alt;
}

/// The world bitmap: each pixel's centre is looked up in the elevation raster exactly as the
/// program looks up a clicked point, coloured by its altitude class (sea in the legend's sea
/// blue) and shaded by the relief, lit from the north-west at 45 degrees with the height
/// exaggerated 10 times (5-minute cells smooth the slopes away otherwise).
RgbImage worldBitmap(const TerrainRaster& terrain) {
    constexpr double kDegreesPerPixel = 360.0 / kBitmapWidth;
    constexpr double kMetresPerDegree = 111320.0;
    constexpr double kExaggeration = 10.0;
    const double sunHeight = std::sin(M_PI / 4), sunAcross = std::cos(M_PI / 4) * std::sqrt(0.5);

    RgbImage image(kBitmapWidth, kBitmapHeight);
    for (int y = 0; y < kBitmapHeight; ++y) {
        const double lat = 90.0 - (y + 0.5) * kDegreesPerPixel;
        const double metresEast = kDegreesPerPixel * kMetresPerDegree * std::max(std::cos(lat * M_PI / 180), 0.2);
        const double metresNorth = kDegreesPerPixel * kMetresPerDegree;
        for (int x = 0; x < kBitmapWidth; ++x) {
            const double lon = -180.0 + (x + 0.5) * kDegreesPerPixel;
            int16_t sea = 0;
            const int16_t alt = terrain.altitude(static_cast<float>(lon), static_cast<float>(lat), sea);
            if (sea) {
                image.at(x, y) = seaClass().LegendColour;
                continue;
            }
            const double east = reliefAt(terrain, lon + kDegreesPerPixel, lat) - reliefAt(terrain, lon - kDegreesPerPixel, lat);
            const double north = reliefAt(terrain, lon, lat + kDegreesPerPixel) - reliefAt(terrain, lon, lat - kDegreesPerPixel);
            // Surface normal (-dz/dx, -dz/dy, 1) against the light (-a, a, h).
            const double gx = kExaggeration * east / (2 * metresEast), gy = kExaggeration * north / (2 * metresNorth);
            const double lit = (gx * sunAcross - gy * sunAcross + sunHeight) / std::sqrt(gx * gx + gy * gy + 1);
            const double factor = std::clamp(0.6 + 0.4 * std::max(lit, 0.0) / sunHeight, 0.6, 1.25);
            const Rgb c = altitudeClassOf(alt).LegendColour;
            auto shade = [&](uint8_t channel) { return static_cast<uint8_t>(std::min(255.0, std::round(channel * factor))); };
            image.at(x, y) = {shade(c.Red), shade(c.Green), shade(c.Blue)};
        }
    }
    return image;
}

uint8_t elevationCount(int16_t altitude) {
    return static_cast<uint8_t>(std::clamp(std::floor((altitude - kMapOffset) / kMapScale), 0.0, double{kImgMaxCount}));
}

/// The elevation background map, cells coded as altitude (m) = -75 + 25 * count, sea 255.
ImgRaster elevationMap(const TerrainRaster& terrain) {
    ImgRaster map;
    ImgHeader& h = map.Header;
    h.Rows = kMapRows;
    h.Columns = kMapColumns;
    h.Title = "Elevation (m), 5-minute relief with Natural Earth coastlines";
    h.RefLon = 0;
    h.RefColumn = (kMapColumns - 1) / 2;
    h.RefLat = 0;
    h.RefRow = (kMapRows - 1) / 2;
    h.CellWidth = kMapCell;
    h.CellHeight = kMapCell;
    h.Scale = kMapScale;
    h.Offset = kMapOffset;
    map.Cells.resize(static_cast<size_t>(kMapRows) * kMapColumns);
    for (int y = 0; y < kMapRows; ++y) {
        const double lat = 90.0 - y * kMapCell;
        for (int x = 0; x < kMapColumns; ++x) {
            const double lon = -180.0 + x * kMapCell;
            int16_t sea = 0;
            const int16_t alt = terrain.altitude(static_cast<float>(lon), static_cast<float>(lat), sea);
            map.Cells[static_cast<size_t>(y) * kMapColumns + x] = sea ? kImgNoData : elevationCount(alt);
        }
    }
    return map;
}

/// One colour range per altitude class, counts from the class bounds; the sea entry (255) too.
std::vector<ColourRange> elevationColours() {
    std::vector<ColourRange> ranges;
    const auto classes = altitudeClasses();
    for (auto it = classes.rbegin(); it != classes.rend(); ++it) {
        const bool lowest = it == classes.rbegin(), highest = std::next(it) == classes.rend();
        // Count 0 is left without a label (see kMapOffset); the top class runs to the last code.
        const int first = lowest ? 1 : elevationCount(static_cast<int16_t>(std::prev(it)->UpperBound));
        const int last = highest ? kImgMaxCount : elevationCount(static_cast<int16_t>(it->UpperBound)) - 1;
        ranges.push_back({first, last, it->LegendColour, std::string(it->Label).substr(1)});
    }
    ranges.push_back({kImgNoData, kImgNoData, seaClass().LegendColour, std::string(seaClass().Label).substr(1)});
    return ranges;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: make_maps countries-50m.json ZENTRELDATA_DIR RASTELLDATA_DIR\n";
        return 2;
    }
    const std::string countriesPath = argv[1];
    const fs::path dataFolder = argv[2], mapFolder = argv[3];
    try {
        const TerrainRaster terrain(dataFolder.string());
        fs::create_directories(mapFolder);

        const std::vector<BnaShape> boundaries = countryBoundaries(countriesPath);
        writeAtomically(dataFolder / kBoundaryFileName, [&](const std::string& p) { writeBna(p, boundaries); });
        writeAtomically(dataFolder / "woma.bmp", [&](const std::string& p) { writeBmp24(p, worldBitmap(terrain)); });

        const fs::path base = mapFolder / kMapBase;
        writeAtomically(base.string() + ".img", [&](const std::string& p) { writeImg(p, elevationMap(terrain)); });
        writeAtomically(base.string() + ".clr", [&](const std::string& p) {
            writeColourFile(p, "First\tLast\tRed\tGreen\tBlue\tLabel", elevationColours());
        });
        writeAtomically(base.string() + ".bnd", [&](const std::string& p) { writeBna(p, boundaries); });
        // The capitals come from the station database's capital file when it is there; until
        // then the map gets an empty capital layer so that it is listed.
        const fs::path capitals = dataFolder / kCapitalFileName;
        writeAtomically(base.string() + ".cty", [&](const std::string& p) {
            if (!fs::exists(capitals)) return writeBna(p, {});
            readBna(capitals.string());  // refuse a malformed capital file here rather than in the map window
            fs::copy_file(capitals, p, fs::copy_options::overwrite_existing);
        });
        std::cout << "make_maps: wrote " << boundaries.size() << " boundary shapes, woma.bmp " << kBitmapWidth << " x "
                  << kBitmapHeight << " and " << kMapBase << ".img " << kMapColumns << " x " << kMapRows
                  << (fs::exists(capitals) ? "" : " (no capital file yet: empty capital layer)") << "\n";
    } catch (const std::exception& e) {
        std::cerr << "make_maps: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
