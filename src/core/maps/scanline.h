// Even-odd polygon filling over a regular grid, one horizontal scan line at a time: each row is
// tested once against the ring edges instead of every cell against every edge.
#pragma once

#include <vector>

#include "maps/topology.h"

namespace zentrel {

/// Rings prepared for repeated scan lines: edges kept with their latitude span.
///
/// Rings are on the globe: an edge whose ends lie more than 180 degrees of longitude apart
/// crosses the antimeridian (world map data joins 180 E to 180 W that way). Each ring is
/// unwrapped into a continuous plane polygon, and the scan line counts it together with its
/// copies shifted by multiples of 360 degrees, so a country split by the antimeridian fills both
/// edges of the map. A ring that goes once around a pole (Antarctica) is closed along the pole.
class ScanlinePolygons {
public:
    /// Rings need not be closed; the last point is joined to the first.
    explicit ScanlinePolygons(const std::vector<Ring>& rings);

    /// Sorted longitudes where the ring edges (and their shifted copies) cross latitude `lat`. An edge counts when one end
    /// lies at or below `lat` and the other above it, so a vertex on the scan line is counted
    /// once and horizontal edges never.
    std::vector<double> crossings(double lat) const;

    /// Inside flags for the points `lons` (ascending) on latitude `lat`: a point is inside when
    /// an odd number of crossings lie west of it (strictly), holes and islands in lakes included.
    std::vector<bool> insideRow(double lat, const std::vector<double>& lons) const;

private:
    struct Edge {
        double lon1, lat1, lon2, lat2;
    };
    std::vector<Edge> edges_;
};

}  // namespace zentrel
