// Boundary and capital files in the BNA vector text layout: a header line starting with a
// double quote per shape ("Name","Second name",count), then one "longitude,latitude" line per
// point, decimal degrees, east and north positive.
#pragma once

#include <string>
#include <vector>

#include "maps/topology.h"

namespace zentrel {

inline constexpr const char* kBoundaryFileName = "Worad1.bna";
inline constexpr const char* kCapitalFileName = "WorldCap.bna";

/// One shape of a BNA file in geographic coordinates.
struct BnaShape {
    std::string Name;        ///< first header field, without its quotes
    std::string SecondName;  ///< second header field (written; the map windows do not use it)
    std::vector<LonLat> Points;
};

/// A position in the pixel grid of a map bitmap; whole pixels stored as single precision.
struct PixelPoint {
    float x = 0;  ///< 0 = left edge, W = one beyond the last column
    float y = 0;  ///< 0 = top edge, H = one beyond the last row
    bool operator==(const PixelPoint&) const = default;
};

/// One shape reduced to map pixels, as the map windows keep it in memory.
struct Shape {
    std::string Name;
    std::vector<PixelPoint> Points;  ///< in file order, consecutive repeats removed
};

/// Parses BNA text. A line whose first non-blank character is a double quote starts a shape
/// named by its first comma-separated field (commas inside quotes belong to the name); every other line with at least two fields is a
/// point (longitude, latitude); shorter lines are ignored, and so are points before the first
/// header. Throws Error naming `fileName`, the line and the field when a coordinate is not a
/// number or lies outside -180..180 (longitude) or -90..90 (latitude).
std::vector<BnaShape> parseBna(const std::string& text, const std::string& fileName);

/// Reads and parses a BNA file. Throws Error when it is missing, unreadable or malformed.
std::vector<BnaShape> readBna(const std::string& path);

/// Writes shapes as BNA text: a header "Name","SecondName",count and one line per point with
/// up to five decimals, lines ended by "\n". Quotes inside names become apostrophes, since the
/// layout cannot escape them. Throws Error when the file cannot be written.
std::string formatBna(const std::vector<BnaShape>& shapes);
void writeBna(const std::string& path, const std::vector<BnaShape>& shapes);

/// Pixel position of a point on a bitmap of width x height pixels:
/// x = Int((lon + 180) / 360 * width), y = Int(|(lat - 90) / 180 * height|), Int rounding down.
/// Longitude 180 maps to x = width, one beyond the last column.
PixelPoint toPixel(const LonLat& point, int width, int height);

/// The shapes in pixels of a width x height bitmap; a point on the same pixel as the point kept
/// just before it in the same shape is dropped.
std::vector<Shape> toPixelShapes(const std::vector<BnaShape>& shapes, int width, int height);

/// `CaricaConfini`: the boundary file "Worad1.bna" of the data folder in pixels of the map bitmap.
std::vector<Shape> CaricaConfini(const std::string& dataFolder, int width, int height);

/// `CaricaCapitali`: the capital file "WorldCap.bna" of the data folder, read the same way.
std::vector<Shape> CaricaCapitali(const std::string& dataFolder, int width, int height);

}  // namespace zentrel
