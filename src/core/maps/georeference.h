// Cell <-> coordinate mapping of a raster image, with the header values truncated to three
// decimals as they are read for display.
#pragma once

#include "maps/img_file.h"

namespace zentrel {

/// Truncation to three decimals: value * 1000 rounded down to an integer, divided by 1000
/// (so -12.3456 becomes -12.346).
double truncateToThreeDecimals(double value);

/// The six georeference values of a header, each truncated to three decimals.
/// Column x (0-based from the west) lies at longitude (x - RefColumn) * CellWidth + RefLon and
/// row y (0-based from the north) at latitude (RefRow - y) * CellHeight + RefLat.
struct Georeference {
    double RefLat = 0, RefLon = 0, RefColumn = 0, RefRow = 0, CellWidth = 1, CellHeight = 1;

    /// `SetHeaderDoubleValues`: the georeference of a header read for display.
    static Georeference of(const ImgHeader& header);

    /// Longitude and latitude of a (possibly fractional) column and row, truncated to three decimals.
    double lonOfColumn(double column) const;
    double latOfRow(double row) const;

    /// Nearest column and row of a point (halves to even); may lie outside the raster, and is
    /// -1 when the cell size truncated to 0.
    long columnOf(double lon) const;
    long rowOf(double lat) const;
};

}  // namespace zentrel
