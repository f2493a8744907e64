// Altitude classes of the terrain maps.
#include "maps/altitude_classes.h"

#include <array>
#include <climits>

namespace zentrel {

namespace {

constexpr int kNoBound = INT_MAX;

constexpr std::array<AltitudeClass, 23> kClasses = {{
    {kNoBound, " > 5000 m", {207, 178, 199}, {207, 178, 199}},
    {5000, " 4500 - 4999 m", {205, 169, 174}, {205, 169, 174}},
    {4500, " 4000 - 4499 m", {202, 160, 149}, {202, 160, 149}},
    {4000, " 3500 - 3999 m", {200, 151, 124}, {200, 150, 125}},
    {3500, " 3000 - 3499 m", {216, 115, 88}, {216, 115, 88}},
    {3000, " 2500 - 2999 m", {236, 86, 45}, {236, 86, 45}},
    {2500, " 2000 - 2499 m", {215, 95, 64}, {215, 95, 64}},
    {2000, " 1800 - 1999 m", {180, 94, 53}, {180, 94, 53}},
    {1800, " 1600 - 1799 m", {162, 93, 47}, {162, 93, 47}},
    {1600, " 1400 - 1599 m", {189, 128, 52}, {189, 128, 52}},
    {1400, " 1200 - 1399 m", {209, 167, 57}, {209, 167, 57}},
    {1200, " 1000 - 1199 m", {228, 205, 62}, {228, 205, 62}},
    {1000, " 900 - 999 m", {247, 243, 67}, {247, 243, 67}},
    {900, " 800 - 899 m", {222, 233, 58}, {222, 233, 58}},
    {800, " 700 - 799 m", {200, 220, 58}, {200, 220, 58}},
    {700, " 600 - 699 m", {178, 206, 58}, {178, 206, 58}},
    {600, " 500 - 599 m", {156, 193, 58}, {156, 193, 58}},
    {500, " 400 - 499 m", {134, 180, 58}, {134, 180, 58}},
    {400, " 300 - 399 m", {112, 167, 58}, {112, 167, 58}},
    {300, " 200 - 299 m", {90, 153, 58}, {90, 153, 58}},
    {200, " 99 - 199 m", {68, 140, 58}, {68, 140, 58}},
    {100, " 0 < 99 m", {46, 127, 58}, {46, 127, 58}},
    {0, " < 0 m", {50, 146, 138}, {50, 146, 138}},
}};

constexpr AltitudeClass kSea = {kNoBound, " Sea", {0, 0, 160}, {0, 0, 160}};

}  // namespace

std::span<const AltitudeClass> altitudeClasses() { return kClasses; }

const AltitudeClass& seaClass() { return kSea; }

const AltitudeClass& altitudeClassOf(double altitude) {
    // Lowest class first, so the first bound above the altitude decides.
    for (auto it = kClasses.rbegin(); it != kClasses.rend(); ++it)
        if (altitude < it->UpperBound) return *it;
    return kClasses.front();
}

}  // namespace zentrel
