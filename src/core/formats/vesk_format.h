// Two comma-separated exports for sibling tools: the element-coded file (one line per
// variable) and the rainfall-PET file (one line per location with 12 + 12 totals).
#pragma once

#include <string>

#include "formats/text_output.h"

namespace zentrel {

/// Element code of a variable ("E203" for Temp, ...).
std::string elementCode(int variable);

/// The three header lines of the element-coded file.
std::string veskHeader();
/// The line of one variable at `location`.
std::string veskLine(const VariableResult& result, const Location& location);
/// Header and the lines of the selected variables in the order Temp..Sun (as saved).
std::string formatVesk(const VariableResults& results, const VariableSelection& selection,
                       const Location& location);

/// The three header lines of the rainfall-PET file.
std::string rainfallPetHeader();
/// The line of a location: 12 precipitation and 12 PET totals as whole numbers.
std::string rainfallPetLine(const VariableResult& prec, const VariableResult& pet, const Location& location);
/// Header (when asked) and the line, taking Prec and PET from `results`.
std::string formatRainfallPet(const VariableResults& results, const Location& location, bool header);

}  // namespace zentrel
