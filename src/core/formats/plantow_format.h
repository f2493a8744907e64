// The climate input of the crop-water tool: a list file naming the locations, a climate file
// "<name>.PEN" (temperatures, wind, sunshine, daily PET) and a rainfall file "<name>.CLI"
// (PET, precipitation and effective rainfall).
#pragma once

#include <string>

#include "formats/text_output.h"

namespace zentrel {

/// The three files of one location, Windows-1252 bytes with CR LF line ends.
struct PlantowFiles {
    std::string list;      ///< the lines this location adds to the list file
    std::string climate;   ///< the whole ".PEN" file
    std::string rainfall;  ///< the whole ".CLI" file
};

/// Base name of a list file: its last path component up to its first ".".
std::string plantowBaseName(const std::string& listPath);

/// Effective rainfall (mm per month) of a monthly precipitation P (mm):
/// P (125 - 0.2 P) / 125 below 250 mm, 125 + 0.1 P from 250 mm on.
double effectiveRainfall(double precipitation);

/// The files of `location` from the stored results (Tmax, Tmin, Prec, PET, Wind, Sun).
/// `countLine`: the list gets its first line, `locationCount` and the base name.
PlantowFiles formatPlantow(const VariableResults& results, const Location& location, const std::string& baseName,
                           int locationCount, bool countLine);

/// Writes the list file `listPath` (created for the first location, appended to otherwise)
/// and "<name>.PEN" and "<name>.CLI" in `folder` (the working folder when empty). In batch
/// mode the list's first line, with `batchCount`, comes with the first location only; for a
/// single location it is always written with 1. Throws Error naming a file that fails.
void savePlantow(const std::string& listPath, const VariableResults& results, const Location& location,
                 bool firstLocation, bool batchMode, int batchCount, const std::string& folder = "");

}  // namespace zentrel
