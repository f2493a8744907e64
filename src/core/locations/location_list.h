// The batch window's list of locations: reading location files and laying out regular grids.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/types.h"
#include "feedback.h"

namespace zentrel {

/// One row of the location list as the list shows it: the name and the three sub-items as
/// text (longitude, latitude in degrees, altitude in m). A batch run reads the numbers back.
struct LocationRow {
    std::string name;
    std::string lon;
    std::string lat;
    std::string alt;
};

/// The location a batch run works on for a row: the leading numbers of the sub-items
/// ("." as decimal point, 0 if none) in single precision, and the row's name.
Location rowLocation(const LocationRow& row);

/// Altitude in whole metres of a point (lon, lat in degrees), e.g. from the elevation raster.
using ElevationLookup = std::function<float(float lon, float lat)>;

/// What a location file gave: the rows to add, in file order, and one information message
/// per skipped line ("Location ... Skipped : ...", shown with the default title).
struct LocationFileResult {
    std::vector<LocationRow> rows;
    std::vector<std::string> skipped;
    /// The line of each skipped message (1-based).
    std::vector<long> skippedLines;
    /// What the reading rules took silently, one note per case: a field that is not wholly a
    /// number ("line 3, field 1 (longitude): \"abc\" is not a number; read as 0."), a line
    /// of the wrong field count, and the lines a Ctrl-Z character cuts off. The rows stay as
    /// the rules read them; a strict run refuses the file when there is any.
    std::vector<std::string> notes;
};

/// Reads location-file text: one location per line, fields separated by ",", each line and
/// field trimmed of blanks. 2 fields: lon, lat (altitude from `elevation`, generated name);
/// 3 fields: lon, lat, alt (generated name); 4 fields: lon, lat, alt, name; any other count:
/// a "Wrong Data" row with the coordinates of the line before (`working` before the first).
/// Rows outside lon -180..180, lat -90..90, alt -600..10000 (bounds included) are skipped.
/// `working` is the engine's working location; it ends up holding the last values read.
LocationFileResult parseLocationText(const std::string& text, const ElevationLookup& elevation, Location& working);

/// parseLocationText on a file. Throws Error naming the file when it cannot be read.
LocationFileResult readLocationFile(const std::string& path, const ElevationLookup& elevation, Location& working);

/// A regular grid: "from", "to" and number of intervals per axis, in degrees.
struct GridDefinition {
    float lonMin = 5, lonMax = 15, lonIntervals = 10;
    float latMin = 40, latMax = 50, latIntervals = 10;
};

/// The rows of a grid: latitude outer, longitude inner, each counter advanced by adding the
/// single-precision step (max - min) / intervals, so rounding may drop the last row or column.
/// Names " Lon : 5.00 Lat : 40.00 Alt : 17", sub-items "##0.00", "##0.00", "###0".
/// Throws Error when a number of intervals is not positive or the grid exceeds 10 million
/// points. Returns what it has when `feedback` is cancelled.
std::vector<LocationRow> gridLocations(const GridDefinition& grid, const ElevationLookup& elevation,
                                       Feedback* feedback = nullptr);

/// Number of points gridLocations gives, without the elevation lookups.
long long gridPointCount(const GridDefinition& grid);

}  // namespace zentrel
