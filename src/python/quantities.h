// The 13-value quantities of an estimate by their Python names, and how each is read from a result.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "base/types.h"

namespace zentrel::python {

enum class Quantity {
    Best, Low, High, StdErr, Bias, AbsGrad, DirecGrad, VertGrad, LongGradDeg, LatGradDeg, LongGrad, LatGrad,
    VertExplVar, AnnualCycle
};
inline constexpr size_t kQuantityCount = 14;

/// Python names, indexed by Quantity: "best", "low", "high", "stderr", "bias", "abs_grad", ...
const std::array<const char*, kQuantityCount>& quantityNames();

/// Quantity of a name. Throws ArgumentError naming the allowed values.
Quantity parseQuantity(const std::string& name);

/// The 13 values (January..December, annual) of a quantity. Low and High are Best -/+ k StdErr
/// passed through the physical-range clamp, as the result tables show them; every other
/// quantity is the engine's record unchanged.
void quantityValues(const VariableResult& r, Quantity q, float k, float* out13);

}  // namespace zentrel::python
