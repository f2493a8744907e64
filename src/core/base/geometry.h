// Great-circle distance, direction and compass sector, as the selection, the weights and
// the shadow correction use them. Longitude before latitude, viewing point first.
#pragma once

#include <string>

namespace zentrel {

/// The Earth's radius in km, of every distance, search box and per-100 km gradient; written here
/// only, in double precision, and rounded once for the single-precision arithmetic.
inline constexpr double kEarthRadiusKmDouble = 6370.997;
inline constexpr float kEarthRadiusKm = static_cast<float>(kEarthRadiusKmDouble);
inline constexpr float kDefaultDistEpsilon = 1e-10f;

/// Longitude difference a - b in degrees, taken the short way round: within -180..180, so that
/// places on either side of the date line are near each other. Unchanged (the same bits) when
/// a - b already lies within that range.
inline float longitudeDifference(float a, float b) {
    float d = a - b;
    if (d > 180.0f) d -= 360.0f;
    else if (d < -180.0f) d += 360.0f;
    return d;
}

/// Great-circle distance in km between two points (single-precision degrees). The cosine of
/// the central angle is rounded to single precision, so points closer than about 1.5 km are
/// at distance 0; coinciding and antipodal points (1 - x^2 < distEpsilon) give 0.
float Distance(float lon1, float lat1, float lon2, float lat2, float distEpsilon = kDefaultDistEpsilon);

/// Great-circle distance in km (Earth radius 6370.997 km) in double precision by the haversine
/// formula: exact to the millimetre at any distance, 0 only where the points coincide. The
/// robust, adaptive and kriging methods measure their neighbours with it.
double preciseDistance(double lon1, double lat1, double lon2, double lat2);

/// Direction of point 2 seen from point 1 in degrees clockwise from north, in [0, 360]
/// (360 can occur for a target due north on the western side), or 9999 when there is none
/// (equal longitude or latitude within 0.01 degrees, or an antipodal target).
double Direction(double lon1, double lat1, double lon2, double lat2);

/// A point with the sines and cosines that Distance and Direction take of it, for when one point
/// is measured against many others. The two-point overloads give the same bits as the plain calls.
struct SpherePoint {
    float lon = 0, lat = 0;
    float rlon = 0;                  // single-precision radians, as Distance uses them
    double sinLat = 0, cosLat = 0;   // of the single-precision latitude radians
    double rlonD = 0;                // double radians, as Direction uses them
    double sinLatD = 0, cosLatD = 0;
    double rootSinLatD = 1;          // sqrt(1 - sinLatD^2)
    double unit[3] = {1, 0, 0};      // unit vector from the single-precision radians
};
SpherePoint spherePoint(float lon, float lat);
float Distance(const SpherePoint& a, const SpherePoint& b, float distEpsilon = kDefaultDistEpsilon);

/// The two halves of Distance: the cosine of the central angle rounded to single precision,
/// and the distance that cosine gives (Distance(a, b, e) == arcDistance(centralCosine(a, b), e)).
/// arcDistance never grows with the cosine, except that cosines within distEpsilon of -1 or 1
/// (see arcIsRegular) both give 0.
float centralCosine(const SpherePoint& a, const SpherePoint& b);
float arcDistance(float cosine, float distEpsilon = kDefaultDistEpsilon);
bool arcIsRegular(float cosine, float distEpsilon = kDefaultDistEpsilon);
/// The cosine of the central angle as the dot product of the unit vectors: within
/// kRoughCosineError of centralCosine, for ranking many points without a cosine each.
double roughCosine(const double* unitA, const double* unitB);
inline constexpr double kRoughCosineError = 1e-6;
double Direction(const SpherePoint& a, const SpherePoint& b);

/// The cosine and sine of a direction's radians (degrees x 3.1415926535 / 180).
struct Heading {
    double cos = 1, sin = 0;
};

/// What both directions between two points share: the cosine of their central angle (double
/// precision, as Direction takes it) and the root of its complement.
struct ArcTerms {
    double cosArc = 1, sinArc = 0;
};
ArcTerms arcTerms(const SpherePoint& a, const SpherePoint& b);

/// A direction as Direction finds it, with its heading, and its degrees taken only on demand
/// (most users need just the heading, and the degrees cost an arctangent).
struct Bearing {
    Heading heading;  ///< to within about 1e-15 of the degrees' cosine and sine, not bit for bit
    double cosA = 0, sinA = 0;  ///< of the spherical angle, in the general case
    double fixed = 0;           ///< the degrees of the special cases
    bool general = false, west = false;
    double degrees() const;     ///< the same bits as Direction
};
/// Direction(a, b) from the terms the pair shares (arcTerms(a, b) == arcTerms(b, a)).
Bearing bearing(const SpherePoint& a, const SpherePoint& b, const ArcTerms& arc);

/// Two-character compass sector of a direction: "N ", "NE", ..., "X " for 9999. A direction on
/// a sector boundary belongs to the sector clockwise of it (22.5 is "NE", 337.5 is "N ").
std::string SectorName(float direction);

}  // namespace zentrel
