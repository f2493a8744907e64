// The values a station can physically have. Readers refuse values outside these bounds with
// the file, line and field, so that a poisoned line never reaches an estimate as NaN or
// infinity. The bounds are wide on purpose: they catch impossible values (a typo of 1e20, a
// latitude of 95), not merely unusual ones.
#pragma once

#include <string>

namespace zentrel {

/// Lowest and highest altitude of a station in m (the shore of the Dead Sea lies at -430 m,
/// the highest summit below 8900 m); 9999 (kUnknown) stands for an unknown altitude.
inline constexpr float kLowestStationAltitude = -500.0f;
inline constexpr float kHighestStationAltitude = 9000.0f;

struct PossibleRange {
    float low;
    float high;
};

/// Monthly values a variable can have, in its file unit: temperatures -100..70 °C,
/// precipitation 0..15000 mm, vapour pressure up to 100 hPa, PET up to 1500 mm, wind up to
/// 100 m/s, sunshine fraction up to 100; -100 at the least for the others. The bounds
/// catch what cannot be a value in any unit (a sunshine percentage included): the estimate
/// clips small faults (a negative precipitation, a fraction above 1) itself. A variable of
/// -1 (unknown) takes the widest of these.
PossibleRange possibleMonthlyRange(int variable);

/// "" when `alt` is a station altitude (within the bounds or 9999), else the reason, e.g.
/// "1e+20 is not an altitude in -500..9000 m (9999 = unknown)".
std::string altitudeProblem(float alt);
/// "" or the reason a monthly value of `variable` is impossible, e.g. "1e+30 lies outside
/// the possible range -100..70 of Temp".
std::string monthlyValueProblem(float value, int variable);

}  // namespace zentrel
