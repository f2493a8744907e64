// How far an estimate reaches beyond its neighbours: the distance to the nearest one, the
// altitude above the highest or below the lowest, and the months whose value lies outside all
// of theirs. The windows show it where the numbers are, not only on a tab of warnings.
#pragma once

#include <array>
#include <string>

#include "base/types.h"

namespace zentrel {

/// What an estimate extrapolates. Lengths in km, heights in m; NaN where nothing tells.
struct EstimateReach {
    float nearestKm;      ///< distance of the nearest active neighbour; NaN without one
    float aboveHighestM;  ///< altitude above the highest active neighbour with an altitude; 0 if not above
    float belowLowestM;   ///< altitude below the lowest one; 0 if not below
    /// Index 1..12: the month's Best lies above or below every active neighbour's value of that
    /// month (index 0 and 13 unused). Never set without an estimate.
    std::array<bool, 14> extrapolated{};
    bool anyExtrapolated() const;
};

/// The reach of a result (only active neighbours count; an unknown altitude of the location
/// or of a neighbour tells nothing about height).
EstimateReach estimateReach(const VariableResult& result);

/// One line for the warning strip of a variable's result, "" when it raises no warning and
/// extrapolates no month, e.g. "Temp: 1490 m higher than its highest neighbour, nearest
/// neighbour 554 km away; not surrounded by neighbours; few neighbours (9 active, 9 with
/// altitude); outside all neighbours' values in Mar, Apr." `name` is the variable's name.
std::string warningStripLine(const VariableResult& result, const std::string& name);

}  // namespace zentrel
