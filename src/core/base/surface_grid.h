// A regular longitude-latitude grid: the cells of a surface, a raster or an elevation model.
#pragma once

namespace zentrel {

/// A regular grid whose outer edges are the box the user asked for. Column 0 is the
/// westernmost, row 0 the northernmost; a cell's value is estimated at its centre.
struct SurfaceGrid {
    double West = 0, North = 0;
    double CellWidth = 1, CellHeight = 1;  ///< degrees
    int Columns = 0, Rows = 0;

    double lonOfColumn(int column) const { return West + (column + 0.5) * CellWidth; }
    /// The longitude of a column's centre in -180..180, where its point lies on the Earth.
    double earthLonOfColumn(int column) const {
        const double lon = lonOfColumn(column);
        return lon > 180 ? lon - 360 : lon;
    }
    double latOfRow(int row) const { return North - (row + 0.5) * CellHeight; }
    double east() const { return West + Columns * CellWidth; }
    double south() const { return North - Rows * CellHeight; }
};

}  // namespace zentrel
