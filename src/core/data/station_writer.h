// Writing a station database in the layout LoadCandidates reads: staggered band files and polar
// files for Temp and Prec, one whole file for each other variable.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"

namespace zentrel {

/// The stations of each variable, indexed by variable (Temp .. Sun). Only Lat, Lon, Alt,
/// Data(1..12), Name and Country are written.
using StationLists = std::array<std::vector<Station>, kVariableCount>;

/// Latitude from which a station goes to the northern polar file instead of a band file, and
/// below which it goes to the southern polar file (degrees).
inline constexpr float kNorthPolarFrom = 65.0f;
inline constexpr float kSouthPolarBelow = -55.0f;

/// The file of `variable` that holds a station at (lon, lat): for Temp and Prec a staggered band
/// file ("mela3lo5.txt") or a polar file ("menor.txt"), for the others the whole file.
/// lon in -180..180, lat in -90..90.
std::string stationFileFor(int variable, float lon, float lat);

/// Every file name of a variable's part of the database: 36 band files and 2 polar files for
/// Temp and Prec, the whole file otherwise.
std::vector<std::string> stationFilesOf(int variable);

/// Station names and countries are ASCII: letters with diacritics lose them ("São Tomé" ->
/// "Sao Tome", "Ærøskøbing" -> "AEroskobing"), other non-ASCII characters and control
/// characters become "?", double quotes become "'". Input is UTF-8; bytes that are not valid
/// UTF-8 are read as ISO-8859-1.
std::string asciiText(std::string_view text);

/// Writes the files of one variable into `folder` (created when missing), LF line ends, the
/// stations of each file in the order given. Every file of the variable is written, empty ones
/// too, so that the loader never misses a file. Throws Error naming the station when a
/// coordinate is out of range or a value is not finite, and naming the file when it cannot be
/// written.
void writeVariableFiles(const std::string& folder, int variable, const std::vector<Station>& stations);

/// Writes all eight variables (writeVariableFiles for each).
void writeStationDatabase(const std::string& folder, const StationLists& lists);

}  // namespace zentrel
