// The world's records of monthly normals and the neighbour envelope of a location's value.
#include "base/records.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/types.h"

namespace zentrel {

namespace {
constexpr float kLapseLow = -0.0098f;  // K/m, dry adiabatic: steeper never lasts a month
constexpr float kLapseHigh = 0.005f;   // K/m, inversions of valleys and polar winters
constexpr float kTempMargin = 3.0f;    // C
constexpr float kRatioMargin = 1.5f;   // factor on the driest and wettest neighbour
constexpr float kFactorPerKm = 2.0f;   // largest altitude factor per km for positive variables
constexpr float kMostKm = 3.0f;        // altitude difference counted at most
constexpr float kSunMargin = 0.15f;

float absoluteMargin(int variable) {
    switch (variable) {
        case Prec: return 5.0f;  // mm
        case PET: return 5.0f;   // mm
        case Vap: return 1.0f;   // hPa
        case Wind: return 0.5f;  // m/s
        default: return 0.0f;
    }
}
}  // namespace

ValueRange monthlyRecords(int variable) {
    switch (variable) {
        case Temp: return {-75.0f, 42.0f};
        case Tmax: return {-72.0f, 50.0f};
        case Tmin: return {-78.0f, 35.0f};
        case Prec: return {0.0f, 4000.0f};
        case Vap: return {0.0f, 45.0f};
        case PET: return {0.0f, 400.0f};
        case Wind: return {0.0f, 50.0f};
        case Sun: return {0.0f, 1.0f};
        default: return {-std::numeric_limits<float>::infinity(), std::numeric_limits<float>::infinity()};
    }
}

ValueRange annualRecords(int variable) {
    if (variable == Prec) return {0.0f, 13000.0f / 12.0f};
    return monthlyRecords(variable);
}

ValueRange recordsOfPeriod(int variable, int period) {
    return period == 13 ? annualRecords(variable) : monthlyRecords(variable);
}

std::string recordWarning(int period) {
    static const char* const kPeriods[] = {"",     "January", "February",  "March",   "April",    "May",      "June",
                                           "July", "August",  "September", "October", "November", "December", "the annual value"};
    return std::string("WARNING: Estimate beyond the world's records in ") + kPeriods[period >= 1 && period <= 13 ? period : 0] + "!";
}

ValueRange neighbourEnvelope(int variable, const EnvelopeNeighbour* neighbours, int n, float alt) {
    const ValueRange records = monthlyRecords(variable);
    if (n <= 0) return records;
    float low = std::numeric_limits<float>::infinity(), high = -std::numeric_limits<float>::infinity();
    for (int i = 0; i < n; ++i) {
        const EnvelopeNeighbour& e = neighbours[i];
        const float dz = alt == kUnknown || e.alt == kUnknown ? 0.0f : alt - e.alt;  // m, location above > 0
        float lo = e.value, hi = e.value;
        if (variable <= Tmin) {
            lo = std::min(e.value + dz * kLapseLow, e.value + dz * kLapseHigh);
            hi = std::max(e.value + dz * kLapseLow, e.value + dz * kLapseHigh);
        } else if (variable != Sun) {
            const float factor = std::pow(kFactorPerKm, std::min(std::fabs(dz) / 1000.0f, kMostKm));
            lo = e.value / factor;
            hi = e.value * factor;
        }
        low = std::min(low, lo);
        high = std::max(high, hi);
    }
    if (variable <= Tmin) {
        low -= kTempMargin;
        high += kTempMargin;
    } else if (variable == Sun) {
        low -= kSunMargin;
        high += kSunMargin;
    } else {
        low = low / kRatioMargin;
        high = high * kRatioMargin + absoluteMargin(variable);
    }
    return {std::clamp(low, records.low, records.high), std::clamp(high, records.low, records.high)};
}

}  // namespace zentrel
