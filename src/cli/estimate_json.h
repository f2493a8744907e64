// The JSON object of one variable's estimate, with numbers in their shortest round-trip form.
#pragma once

#include <string>
#include <vector>

#include "base/types.h"

namespace zentrel::cli {

/// One variable's estimate as a JSON object (arrays of 13: January..December, annual).
std::string estimateJson(const VariableResult& r, int indent = 0);
/// Several variables as a JSON array of such objects.
std::string estimatesJson(const std::vector<VariableResult>& results);

}  // namespace zentrel::cli
