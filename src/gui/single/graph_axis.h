// Scaling of the result graphs: the value axis rounded on fixed ladders, with ten grid steps.
#pragma once

#include <vector>

#include "base/types.h"

namespace zentrel::gui::single {

/// Value axis of a result graph (units of the drawn variables).
struct GraphAxis {
    float maximum = 1;
    float minimum = 0;
    float step = 0.1f;  ///< grid step, (maximum - minimum) / 10
};

/// The raw minimum rounded down: the first rung from the top of 20000, 10000, 4000, ..., 1,
/// 0, -1, ..., -20000 that lies strictly below it; above 20000 gives 20000, at or below
/// -20000 the value itself.
float roundAxisMinimum(float rawMinimum);
/// The raw maximum rounded up: below 1 gives 1, otherwise the first rung of 1, 2, 4, 6, 8,
/// 10, 20, ..., 20000 that lies strictly above it; 10000 or more gives 20000.
float roundAxisMaximum(float rawMaximum);

/// The axis of raw bounds (the smallest Best - 2 StdErr, the largest Best + 2 StdErr).
GraphAxis graphAxis(float rawMinimum, float rawMaximum);

/// The axis of the curves of a group: bounds over months 1..12 of Best -/+ 2 StdErr. An axis
/// of `amounts` (quantities that are never negative) starts at 0 where the ladder would take it below.
GraphAxis graphAxis(const std::vector<const EstimateResult*>& curves, bool amounts = false);

}  // namespace zentrel::gui::single
