// The world's records of monthly normals and the neighbour envelope of a location's value.
#include "base/records.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/types.h"

namespace zentrel {

namespace {
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

float envelopeAltitudeFactor(float toAlt, float fromAlt) {
    if (toAlt == kUnknown || fromAlt == kUnknown) return 1.0f;
    return std::exp2(std::min(std::fabs(toAlt - fromAlt) / 1000.0f, kMostKm) * std::log2(kFactorPerKm));
}

ValueRange widenEnvelope(int variable, ValueRange r) {
    const ValueRange records = monthlyRecords(variable);
    if (variable <= Tmin) {
        r.low -= kTempMargin;
        r.high += kTempMargin;
    } else if (variable == Sun) {
        r.low -= kSunMargin;
        r.high += kSunMargin;
    } else {
        r.low = r.low / kRatioMargin;
        r.high = r.high * kRatioMargin + absoluteMargin(variable);
    }
    return {std::clamp(r.low, records.low, records.high), std::clamp(r.high, records.low, records.high)};
}

ValueRange neighbourEnvelope(int variable, const EnvelopeNeighbour* neighbours, int n, float alt) {
    if (n <= 0) return monthlyRecords(variable);
    ValueRange all{std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()};
    for (int i = 0; i < n; ++i) {
        const EnvelopeNeighbour& e = neighbours[i];
        const float dz = alt == kUnknown || e.alt == kUnknown ? 0.0f : alt - e.alt;
        const ValueRange one = envelopeOfNeighbour(variable, e.value, dz, envelopeAltitudeFactor(alt, e.alt));
        all.low = std::min(all.low, one.low);
        all.high = std::max(all.high, one.high);
    }
    return widenEnvelope(variable, all);
}

}  // namespace zentrel
