// Joining the strips of one climate surface (`zentrel raster --tile I/N`, one per cluster job)
// into the GeoTIFF a single run writes.
#pragma once

#include <string>
#include <vector>

namespace zentrel {

/// Metadata items a strip has and the joined surface has not: which strip it is ("tile", "2/8")
/// and the grid of the whole run ("tile_grid").
inline constexpr const char* kStripItems[] = {"tile", "tile_grid"};

/// Checks that `strips` (GeoTIFF files in any order) are all strips 1..N of one run and joins
/// them into the Cloud-Optimized GeoTIFF `out`, written beside and renamed when whole. Every
/// strip must have the first one's metadata but for its "tile" item (variable, method, settings,
/// quantities, periods, data source and the whole run's grid), the same bands (names, units,
/// periods, quantities, NoData) and columns, the same west edge and cell size, and begin where
/// the strip above it ends. Throws Error naming the strip that does not fit, or `out` when it
/// cannot be written; `out` is then left as it was.
void joinSurfaceStrips(const std::string& out, const std::vector<std::string>& strips);

}  // namespace zentrel
