// The JSON object of one variable's estimate, with numbers in their shortest round-trip form.
#pragma once

#include <string>
#include <vector>

#include "engine/types.h"

namespace zentrel::cli {

/// False when the engine made no annual values (index 13) for the result: with a single active
/// station it takes that station's months as they are and leaves the annual values at 0.
inline bool hasAnnualValues(const VariableResult& r) { return r.neighbours.ActiveCount != 1; }

/// One variable's estimate as a JSON object (arrays of 13: January..December, annual).
std::string estimateJson(const VariableResult& r, int indent = 0);
/// Several variables as a JSON array of such objects.
std::string estimatesJson(const std::vector<VariableResult>& results);

}  // namespace zentrel::cli
