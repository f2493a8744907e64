// Even-odd scan-line filling.
#include "maps/scanline.h"

#include <algorithm>
#include <cmath>

namespace zentrel {

namespace {

/// The ring with longitudes made continuous (no step above 180 degrees), ending on its first
/// point again; closed along the pole when it goes once around it.
Ring unwrapRing(const Ring& ring) {
    Ring out;
    out.reserve(ring.size() + 3);
    out.push_back(ring.front());
    double shift = 0;
    double latSum = ring.front().lat;
    for (size_t k = 1; k <= ring.size(); ++k) {
        const LonLat& p = ring[k % ring.size()];
        if (k == ring.size() && ring.back() == ring.front()) break;  // already closed
        double lon = p.lon + shift;
        while (lon - out.back().lon > 180) lon -= 360, shift -= 360;
        while (lon - out.back().lon < -180) lon += 360, shift += 360;
        out.push_back({lon, p.lat});
        latSum += p.lat;
    }
    const double turn = out.back().lon - out.front().lon;
    if (std::fabs(turn) > 180) {
        const double pole = latSum < 0 ? -90.0 : 90.0;
        const double lastLon = out.back().lon;
        out.push_back({lastLon, pole});
        out.push_back({out.front().lon, pole});
        out.push_back(out.front());
    }
    return out;
}

// Copies of every ring at these multiples of 360 degrees cover the map from -180 to 180; copies
// further out lie wholly west or east of every point and add an even count.
constexpr int kCopies[] = {-2, -1, 0, 1, 2};

}  // namespace

ScanlinePolygons::ScanlinePolygons(const std::vector<Ring>& rings) {
    for (const Ring& ring : rings) {
        if (ring.size() < 3) continue;
        const Ring plane = unwrapRing(ring);
        for (size_t k = 0; k + 1 < plane.size(); ++k) {
            const LonLat& a = plane[k];
            const LonLat& b = plane[k + 1];
            if (a.lat == b.lat) continue;  // horizontal edges never cross a scan line
            edges_.push_back({a.lon, a.lat, b.lon, b.lat});
        }
    }
}

std::vector<double> ScanlinePolygons::crossings(double lat) const {
    std::vector<double> xs;
    for (const Edge& e : edges_) {
        // Half-open span [lower, upper): a scan line through a shared vertex meets one edge.
        const bool crosses = (e.lat1 <= lat && lat < e.lat2) || (e.lat2 <= lat && lat < e.lat1);
        if (!crosses) continue;
        const double t = (lat - e.lat1) / (e.lat2 - e.lat1);
        const double x = e.lon1 + t * (e.lon2 - e.lon1);
        for (const int copy : kCopies) xs.push_back(x + 360.0 * copy);
    }
    std::sort(xs.begin(), xs.end());
    return xs;
}

std::vector<bool> ScanlinePolygons::insideRow(double lat, const std::vector<double>& lons) const {
    const std::vector<double> xs = crossings(lat);
    std::vector<bool> inside(lons.size(), false);
    size_t west = 0;  // crossings strictly west of the current point
    for (size_t i = 0; i < lons.size(); ++i) {
        while (west < xs.size() && xs[west] < lons[i]) ++west;
        inside[i] = (west % 2) == 1;
    }
    return inside;
}

}  // namespace zentrel
