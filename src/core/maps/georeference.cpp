// Cell <-> coordinate mapping of raster images.
#include "maps/georeference.h"

#include <cmath>

namespace zentrel {

double truncateToThreeDecimals(double value) { return std::floor(value * 1000.0) / 1000.0; }

Georeference Georeference::of(const ImgHeader& h) {
    return {truncateToThreeDecimals(h.RefLat),    truncateToThreeDecimals(h.RefLon),
            truncateToThreeDecimals(h.RefColumn), truncateToThreeDecimals(h.RefRow),
            truncateToThreeDecimals(h.CellWidth), truncateToThreeDecimals(h.CellHeight)};
}

double Georeference::lonOfColumn(double column) const {
    return truncateToThreeDecimals((column - RefColumn) * CellWidth + RefLon);
}

double Georeference::latOfRow(double row) const {
    return truncateToThreeDecimals((RefRow - row) * CellHeight + RefLat);
}

namespace {
// A cell size truncated to 0 (below 0.001 degrees) puts every point off the raster.
long nearestIndex(double index) {
    if (!std::isfinite(index) || std::fabs(index) > 1e9) return -1;
    return std::lrint(index);
}
}  // namespace

long Georeference::columnOf(double lon) const { return nearestIndex((lon - RefLon) / CellWidth + RefColumn); }

long Georeference::rowOf(double lat) const { return nearestIndex(RefRow - (lat - RefLat) / CellHeight); }

}  // namespace zentrel
