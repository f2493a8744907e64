// Distances and directions on the sphere.
#include "base/geometry.h"

#include <algorithm>
#include <cmath>

namespace zentrel {

namespace {
constexpr float kPiSingle = 3.1415927f;
constexpr double kPiDouble = 3.1415926535;

float cosineOf(float rlon1, double sinLat1, double cosLat1, float rlon2, double sinLat2, double cosLat2) {
    return static_cast<float>(sinLat1 * sinLat2 + cosLat1 * cosLat2 * std::cos(static_cast<double>(rlon2 - rlon1)));
}

float distanceOf(float rlon1, double sinLat1, double cosLat1, float rlon2, double sinLat2, double cosLat2,
                 float distEpsilon) {
    return arcDistance(cosineOf(rlon1, sinLat1, cosLat1, rlon2, sinLat2, cosLat2), distEpsilon);
}

Bearing fixedBearing(double degrees) {
    Bearing b;
    b.fixed = degrees;
    b.heading = {std::cos(degrees * kPiDouble / 180.0), std::sin(degrees * kPiDouble / 180.0)};
    return b;
}

// The direction from point 1 to point 2, given the sines of both latitudes, the root of the
// complement of the first one's, and the terms the pair shares. In the general case the heading
// comes from the cosine the angle is taken from, without a sincos.
Bearing bearingOf(double lon1, double lat1, double lon2, double lat2, double sinLat1, double rootSinLat1,
                  double sinLat2, const ArcTerms& arc) {
    if (std::fabs(lon1 - lon2) < 0.01 && std::fabs(lat1 - lat2) < 0.01) {
        if (lon1 == lon2 || lat1 == lat2) return fixedBearing(9999);
        // Plane angle clockwise from north; the signs of both offsets give the quadrant.
        const double dlon = lon2 - lon1, dlat = lat2 - lat1;
        double a = std::atan(dlon / dlat) * 180.0 / kPiDouble;
        if (dlat < 0) a += 180.0;
        else if (a < 0) a += 360.0;
        return fixedBearing(a);
    }
    if (std::fabs(lat1 - 90.0) < 0.01) return fixedBearing(180);
    if (std::fabs(90.0 - lat2) < 0.01) return fixedBearing(0);
    if (lat1 < -89.9999) return fixedBearing(0);
    if (lat2 < -89.9999) return fixedBearing(180);

    const double cPT = sinLat2;
    const double cPV = sinLat1;
    const double cVT = arc.cosArc;
    const double denominator = rootSinLat1 * arc.sinArc;
    if (!(denominator != 0.0)) return fixedBearing(9999);  // antipodal target: every direction leads there
    const double cosA = (cPT - cPV * cVT) / denominator;
    bool west;
    if (lon1 >= 0) west = lon1 - 180.0 < lon2 && lon2 < lon1;
    else west = lon2 > lon1 + 180.0 || lon2 < lon1;
    if (cosA > 0.9999) return fixedBearing(west ? 360.0 : 0.0);
    if (cosA < -0.9999) return fixedBearing(180.0);
    Bearing b;
    b.general = true;
    b.west = west;
    b.cosA = cosA;
    b.sinA = std::sqrt(1.0 - cosA * cosA);
    // The angle in radians is acos(cosA); on the west side 360 - a turns by two of the engine's
    // (truncated) pi, not by a full turn.
    static const double c2 = std::cos(2.0 * kPiDouble), s2 = std::sin(2.0 * kPiDouble);
    b.heading = west ? Heading{c2 * cosA + s2 * b.sinA, s2 * cosA - c2 * b.sinA} : Heading{cosA, b.sinA};
    return b;
}

ArcTerms arcOf(double rlon1, double sinLat1, double cosLat1, double rlon2, double sinLat2, double cosLat2) {
    const double cVT = sinLat1 * sinLat2 + cosLat1 * cosLat2 * std::cos(rlon1 - rlon2);
    return {cVT, std::sqrt(1.0 - cVT * cVT)};
}
}  // namespace

double preciseDistance(double lon1, double lat1, double lon2, double lat2) {
    constexpr double kRad = 3.14159265358979323846 / 180.0;
    const double sLat = std::sin((lat2 - lat1) * kRad / 2), sLon = std::sin((lon2 - lon1) * kRad / 2);
    const double h = sLat * sLat + std::cos(lat1 * kRad) * std::cos(lat2 * kRad) * sLon * sLon;
    return 2.0 * kEarthRadiusKmDouble * std::atan2(std::sqrt(h), std::sqrt(std::max(1.0 - h, 0.0)));
}

float Distance(float lon1, float lat1, float lon2, float lat2, float distEpsilon) {
    const float rlon1 = lon1 / 180.0f * kPiSingle;
    const float rlat1 = lat1 / 180.0f * kPiSingle;
    const float rlon2 = lon2 / 180.0f * kPiSingle;
    const float rlat2 = lat2 / 180.0f * kPiSingle;
    return distanceOf(rlon1, std::sin(static_cast<double>(rlat1)), std::cos(static_cast<double>(rlat1)), rlon2,
                      std::sin(static_cast<double>(rlat2)), std::cos(static_cast<double>(rlat2)), distEpsilon);
}

double Direction(double lon1, double lat1, double lon2, double lat2) {
    const double rlat1 = lat1 / 180.0 * kPiDouble, rlat2 = lat2 / 180.0 * kPiDouble;
    const double sinLat1 = std::sin(rlat1), cosLat1 = std::cos(rlat1);
    const double sinLat2 = std::sin(rlat2), cosLat2 = std::cos(rlat2);
    const ArcTerms arc = arcOf(lon1 / 180.0 * kPiDouble, sinLat1, cosLat1, lon2 / 180.0 * kPiDouble, sinLat2, cosLat2);
    return bearingOf(lon1, lat1, lon2, lat2, sinLat1, std::sqrt(1.0 - sinLat1 * sinLat1), sinLat2, arc).degrees();
}

double Bearing::degrees() const {
    if (!general) return fixed;
    const double a = (2.0 * std::atan(1.0) + std::atan(-cosA / sinA)) * 180.0 / kPiDouble;
    return west ? 360.0 - a : a;
}

SpherePoint spherePoint(float lon, float lat) {
    SpherePoint p;
    p.lon = lon;
    p.lat = lat;
    p.rlon = lon / 180.0f * kPiSingle;
    const float rlat = lat / 180.0f * kPiSingle;
    p.sinLat = std::sin(static_cast<double>(rlat));
    p.cosLat = std::cos(static_cast<double>(rlat));
    const double rlatD = static_cast<double>(lat) / 180.0 * kPiDouble;
    p.rlonD = static_cast<double>(lon) / 180.0 * kPiDouble;
    p.sinLatD = std::sin(rlatD);
    p.cosLatD = std::cos(rlatD);
    p.rootSinLatD = std::sqrt(1.0 - p.sinLatD * p.sinLatD);
    // centralCosine takes the cosine of the single-precision longitude difference; the dot
    // product differs from it by that difference's rounding and the final rounding to single.
    p.unit[0] = p.cosLat * std::cos(static_cast<double>(p.rlon));
    p.unit[1] = p.cosLat * std::sin(static_cast<double>(p.rlon));
    p.unit[2] = p.sinLat;
    return p;
}

bool arcIsRegular(float cosine, float distEpsilon) {
    const double xd = cosine;
    return 1.0 - xd * xd >= distEpsilon;
}

float arcDistance(float cosine, float distEpsilon) {
    const double xd = cosine;
    const double oneMinusX2 = 1.0 - xd * xd;
    if (!(oneMinusX2 >= distEpsilon)) return 0.0f;
    return static_cast<float>(kEarthRadiusKmDouble * (2.0 * std::atan(1.0) + std::atan(-xd / std::sqrt(oneMinusX2))));
}

float centralCosine(const SpherePoint& a, const SpherePoint& b) {
    return cosineOf(a.rlon, a.sinLat, a.cosLat, b.rlon, b.sinLat, b.cosLat);
}

double roughCosine(const double* a, const double* b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

float Distance(const SpherePoint& a, const SpherePoint& b, float distEpsilon) {
    return distanceOf(a.rlon, a.sinLat, a.cosLat, b.rlon, b.sinLat, b.cosLat, distEpsilon);
}

ArcTerms arcTerms(const SpherePoint& a, const SpherePoint& b) {
    return arcOf(a.rlonD, a.sinLatD, a.cosLatD, b.rlonD, b.sinLatD, b.cosLatD);
}

Bearing bearing(const SpherePoint& a, const SpherePoint& b, const ArcTerms& arc) {
    return bearingOf(a.lon, a.lat, b.lon, b.lat, a.sinLatD, a.rootSinLatD, b.sinLatD, arc);
}

double Direction(const SpherePoint& a, const SpherePoint& b) { return bearing(a, b, arcTerms(a, b)).degrees(); }

std::string SectorName(float d) {
    if (d == 9999.0f) return "X ";
    if (d < 22.5f || d >= 337.5f) return "N ";
    if (d < 67.5f) return "NE";
    if (d < 112.5f) return "E ";
    if (d < 157.5f) return "SE";
    if (d < 202.5f) return "S ";
    if (d < 247.5f) return "SW";
    if (d < 292.5f) return "W ";
    return "NW";
}

}  // namespace zentrel
