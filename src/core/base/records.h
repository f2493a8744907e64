// What a monthly climate normal can plausibly be: the world's records for each variable, and
// the envelope a location's value may take given its neighbours. The audit of a map and the
// limits of the robust and adaptive methods both use them.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

namespace zentrel {

/// Saturation vapour pressure over water in hPa at t degrees C (Tetens), as stations report
/// vapour pressure: the most a monthly mean vapour pressure can be at its mean daily maximum.
inline float saturationOverWater(float t) { return 6.1078f * std::exp(17.27f * t / (t + 237.3f)); }

/// A closed range of values in the variable's unit.
struct ValueRange {
    float low = 0, high = 0;
    bool contains(float v) const { return v >= low && v <= high; }
};

/// The world's records for a monthly normal of a variable (0..7, in its unit): Temp -75..42 C,
/// Tmax -72..50, Tmin -78..35, Prec 0..4000 mm, Vap 0..45 hPa, PET 0..400 mm, Wind 0..50 m/s,
/// Sun 0..1.
ValueRange monthlyRecords(int variable);

/// The same for the annual value as the result record holds it (index 13: the mean of the
/// twelve months for every variable). Precipitation: 13,000 mm a year, so a monthly mean of at
/// most 13000 / 12 mm; the others as their months.
ValueRange annualRecords(int variable);

/// The records a value of `period` (1..12 months, 13 = the annual value) must keep.
ValueRange recordsOfPeriod(int variable, int period);

/// The warning of an estimate beyond the world's records, naming the first such period (1..13):
/// "WARNING: Estimate beyond the world's records in March!".
std::string recordWarning(int period);

/// One active neighbour as the envelope sees it: its value in one month and its altitude (m;
/// 9999 = not given).
struct EnvelopeNeighbour {
    float value = 0;
    float alt = 0;
};

/// The range a location's monthly value may take given its active neighbours, at altitude alt
/// (m; 9999 = not given). Temperatures: every neighbour's value moved to the location's altitude
/// with any lapse rate between -9.8 and +5 K per km (inversions), widened by 3 C. Precipitation,
/// vapour pressure, PET and wind: between the driest neighbour divided by 1.5 and the wettest
/// times 1.5, each moved by at most a factor 2 per km of altitude difference (at most 3 km
/// counted), plus a small absolute margin for months near 0. Sunshine: the neighbours' range
/// widened by 0.15. Always within the world's records. n = 0 gives the records.
ValueRange neighbourEnvelope(int variable, const EnvelopeNeighbour* neighbours, int n, float alt);

// The envelope in pieces, for callers that build many envelopes from the same neighbours (the
// leave-one-out of the adaptive method): the altitude factor of a neighbour depends only on the
// altitude difference, not on the month.

/// Largest factor by which a positive variable may change over an altitude difference dz (m;
/// kUnknown on either side gives 1).
float envelopeAltitudeFactor(float toAlt, float fromAlt);
/// One neighbour's value moved to the location: dz = location minus neighbour altitude (m, 0
/// when either is unknown), factor = envelopeAltitudeFactor of the two. Temperatures are
/// variables 0..2, sunshine 7.
inline ValueRange envelopeOfNeighbour(int variable, float value, float dz, float factor) {
    constexpr float kLapseLow = -0.0098f;  // K/m, dry adiabatic: steeper never lasts a month
    constexpr float kLapseHigh = 0.005f;   // K/m, inversions of valleys and polar winters
    if (variable <= 2) {
        const float a = value + dz * kLapseLow, b = value + dz * kLapseHigh;
        return a < b ? ValueRange{a, b} : ValueRange{b, a};
    }
    if (variable == 7) return {value, value};
    return {value / factor, value * factor};
}
/// The union of the neighbours' moved values widened by the margins and kept within the records.
ValueRange widenEnvelope(int variable, ValueRange neighbours);

}  // namespace zentrel
