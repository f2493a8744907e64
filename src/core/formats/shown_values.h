// The estimated quantities as every output shows them: a value, or NaN where the estimate has
// none (no active neighbour, no annual value with one station, no error estimate), so that no
// output writes 0 for a quantity that was not estimated.
#pragma once

#include "base/types.h"

namespace zentrel {

enum class ShownQuantity { Best, StdErr, Bias, Low, High };

/// Quantity `q` of month `m` (1..12, 13 = annual value) of a result at confidence factor `k`:
/// Best and Bias and StdErr as the record holds them, Low and High from lowBound/highBound with
/// ClipValue. NaN for every quantity without an active neighbour, for the annual value where
/// hasAnnualValues is false, and for StdErr, Bias, Low and High where HasStdErr is false.
float shownValue(const VariableResult& r, ShownQuantity q, int m, float k);

/// False where the result has no value at all (no active neighbour): every quantity is missing.
inline bool hasEstimate(const VariableResult& r) { return r.neighbours.ActiveCount > 0; }

}  // namespace zentrel
