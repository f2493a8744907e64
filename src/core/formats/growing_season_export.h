// The growing-season file of the sibling water-balance tool: one comma-separated line per
// season of the location, longest first, with an optional two-line header.
#pragma once

#include <string>

#include "formats/text_output.h"

namespace zentrel {

/// The two header lines.
std::string growingSeasonHeader();
/// One line per season found from the Best of `prec` and `pet` at `location`.
/// Throws Error when the year has more than five seasons.
std::string growingSeasonLines(const VariableResult& prec, const VariableResult& pet, const Location& location);
/// Header (when asked) and lines, taking Prec and PET from `results`.
std::string formatGrowingSeasons(const VariableResults& results, const Location& location, bool header);

}  // namespace zentrel
