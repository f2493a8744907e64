// The standard station format of the sibling climate database: a header naming the location
// and one fixed-column line per variable with the twelve monthly and the annual Best.
#pragma once

#include <string>

#include "formats/text_output.h"

namespace zentrel {

/// Element name of a variable in the station formats ("Temp_mean_mly", ...).
std::string elementName(int variable);

/// The five header lines, Windows-1252 bytes with CR LF line ends.
std::string orvaneHeader(const Location& location);
/// The line of one variable: element name in 25 characters, then 13 fields of 11.
std::string orvaneLine(const VariableResult& result);
/// Header and the lines of the selected variables in the order Temp..Sun (as saved).
std::string formatOrvane(const VariableResults& results, const VariableSelection& selection,
                         const Location& location);

}  // namespace zentrel
