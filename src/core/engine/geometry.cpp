// Distances and directions on the sphere.
#include "engine/geometry.h"

#include <cmath>

namespace zentrel {

namespace {
constexpr float kPiSingle = 3.1415927f;
constexpr double kPiDouble = 3.1415926535;

float distanceOf(float rlon1, double sinLat1, double cosLat1, float rlon2, double sinLat2, double cosLat2,
                 float distEpsilon) {
    const float x = static_cast<float>(sinLat1 * sinLat2 + cosLat1 * cosLat2 * std::cos(static_cast<double>(rlon2 - rlon1)));
    const double xd = x;
    const double oneMinusX2 = 1.0 - xd * xd;
    if (!(oneMinusX2 >= distEpsilon)) return 0.0f;
    return static_cast<float>(6370.997 * (2.0 * std::atan(1.0) + std::atan(-xd / std::sqrt(oneMinusX2))));
}

// With `heading`, also the cosine and sine of the direction's radians (degrees x pi / 180), to
// about 1e-15: in the general case from the cosine the angle came from, without a sincos.
double directionOf(double lon1, double lat1, double lon2, double lat2, double rlon1, double sinLat1, double cosLat1,
                   double rlon2, double sinLat2, double cosLat2, Heading* heading = nullptr) {
    const auto direct = [heading](double degrees) {
        if (heading) *heading = {std::cos(degrees * kPiDouble / 180.0), std::sin(degrees * kPiDouble / 180.0)};
        return degrees;
    };
    constexpr double pi = kPiDouble;
    if (std::fabs(lon1 - lon2) < 0.01 && std::fabs(lat1 - lat2) < 0.01) {
        if (lon1 == lon2 || lat1 == lat2) return direct(9999);
        // Plane angle clockwise from north; the signs of both offsets give the quadrant.
        const double dlon = lon2 - lon1, dlat = lat2 - lat1;
        double a = std::atan(dlon / dlat) * 180.0 / pi;
        if (dlat < 0) a += 180.0;
        else if (a < 0) a += 360.0;
        return direct(a);
    }
    if (std::fabs(lat1 - 90.0) < 0.01) return direct(180);
    if (std::fabs(90.0 - lat2) < 0.01) return direct(0);
    if (lat1 < -89.9999) return direct(0);
    if (lat2 < -89.9999) return direct(180);

    const double cPT = sinLat2;
    const double cPV = sinLat1;
    const double cVT = sinLat1 * sinLat2 + cosLat1 * cosLat2 * std::cos(rlon1 - rlon2);
    const double denominator = std::sqrt(1.0 - cPV * cPV) * std::sqrt(1.0 - cVT * cVT);
    if (!(denominator != 0.0)) return direct(9999);  // antipodal target: every direction leads there
    const double cosA = (cPT - cPV * cVT) / denominator;
    bool west;
    if (lon1 >= 0) west = lon1 - 180.0 < lon2 && lon2 < lon1;
    else west = lon2 > lon1 + 180.0 || lon2 < lon1;
    if (cosA > 0.9999) return direct(west ? 360.0 : 0.0);
    if (cosA < -0.9999) return direct(180.0);
    const double sinA = std::sqrt(1.0 - cosA * cosA);
    const double a = (2.0 * std::atan(1.0) + std::atan(-cosA / sinA)) * 180.0 / pi;
    if (heading) {
        // The angle in radians is acos(cosA); on the west side 360 - a turns by two of the
        // engine's (truncated) pi, not by a full turn.
        static const double c2 = std::cos(2.0 * kPiDouble), s2 = std::sin(2.0 * kPiDouble);
        *heading = west ? Heading{c2 * cosA + s2 * sinA, s2 * cosA - c2 * sinA} : Heading{cosA, sinA};
    }
    return west ? 360.0 - a : a;
}
}  // namespace

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
    return directionOf(lon1, lat1, lon2, lat2, lon1 / 180.0 * kPiDouble, std::sin(rlat1), std::cos(rlat1),
                       lon2 / 180.0 * kPiDouble, std::sin(rlat2), std::cos(rlat2));
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
    return p;
}

float Distance(const SpherePoint& a, const SpherePoint& b, float distEpsilon) {
    return distanceOf(a.rlon, a.sinLat, a.cosLat, b.rlon, b.sinLat, b.cosLat, distEpsilon);
}

double Direction(const SpherePoint& a, const SpherePoint& b) {
    return directionOf(a.lon, a.lat, b.lon, b.lat, a.rlonD, a.sinLatD, a.cosLatD, b.rlonD, b.sinLatD, b.cosLatD);
}

double Direction(const SpherePoint& a, const SpherePoint& b, Heading& heading) {
    return directionOf(a.lon, a.lat, b.lon, b.lat, a.rlonD, a.sinLatD, a.cosLatD, b.rlonD, b.sinLatD, b.cosLatD, &heading);
}

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
