// Distances and directions on the sphere.
#include "engine/geometry.h"

#include <cmath>

namespace zentrel {

float Distance(float lon1, float lat1, float lon2, float lat2, float distEpsilon) {
    constexpr float pi = 3.1415927f;
    const float rlon1 = lon1 / 180.0f * pi;
    const float rlat1 = lat1 / 180.0f * pi;
    const float rlon2 = lon2 / 180.0f * pi;
    const float rlat2 = lat2 / 180.0f * pi;
    const float x = static_cast<float>(std::sin(static_cast<double>(rlat1)) * std::sin(static_cast<double>(rlat2)) +
                                       std::cos(static_cast<double>(rlat1)) * std::cos(static_cast<double>(rlat2)) *
                                           std::cos(static_cast<double>(rlon2 - rlon1)));
    const double xd = x;
    const double oneMinusX2 = 1.0 - xd * xd;
    if (!(oneMinusX2 >= distEpsilon)) return 0.0f;
    return static_cast<float>(6370.997 * (2.0 * std::atan(1.0) + std::atan(-xd / std::sqrt(oneMinusX2))));
}

double Direction(double lon1, double lat1, double lon2, double lat2) {
    constexpr double pi = 3.1415926535;
    if (std::fabs(lon1 - lon2) < 0.01 && std::fabs(lat1 - lat2) < 0.01) {
        if (lon1 == lon2 || lat1 == lat2) return 9999;
        // Plane angle clockwise from north; the signs of both offsets give the quadrant.
        const double dlon = lon2 - lon1, dlat = lat2 - lat1;
        double a = std::atan(dlon / dlat) * 180.0 / pi;
        if (dlat < 0) a += 180.0;
        else if (a < 0) a += 360.0;
        return a;
    }
    if (std::fabs(lat1 - 90.0) < 0.01) return 180;
    if (std::fabs(90.0 - lat2) < 0.01) return 0;
    if (lat1 < -89.9999) return 0;
    if (lat2 < -89.9999) return 180;

    const double rlat1 = lat1 / 180.0 * pi, rlat2 = lat2 / 180.0 * pi;
    const double rlon1 = lon1 / 180.0 * pi, rlon2 = lon2 / 180.0 * pi;
    const double cPT = std::sin(rlat2);
    const double cPV = std::sin(rlat1);
    const double cVT = std::sin(rlat1) * std::sin(rlat2) + std::cos(rlat1) * std::cos(rlat2) * std::cos(rlon1 - rlon2);
    const double denominator = std::sqrt(1.0 - cPV * cPV) * std::sqrt(1.0 - cVT * cVT);
    if (!(denominator != 0.0)) return 9999;  // antipodal target: every direction leads there
    const double cosA = (cPT - cPV * cVT) / denominator;
    double a;
    if (cosA > 0.9999) a = 0;
    else if (cosA < -0.9999) a = 180;
    else a = (2.0 * std::atan(1.0) + std::atan(-cosA / std::sqrt(1.0 - cosA * cosA))) * 180.0 / pi;

    bool west;
    if (lon1 >= 0) west = lon1 - 180.0 < lon2 && lon2 < lon1;
    else west = lon2 > lon1 + 180.0 || lon2 < lon1;
    return west ? 360.0 - a : a;
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
