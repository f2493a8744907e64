// Station files: the 17-field line format, the band-file rule of Temp and Prec, and
// LoadCandidates / ReadStationFile filling the station table.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/types.h"

namespace zentrel {

/// Hard limit of the station table.
inline constexpr int kMaxStations = 30000;

/// The candidate stations of one estimate, in file order (index 0 here = index 1 of the table).
struct StationTable {
    std::vector<Station> stations;
    int StationCount() const { return static_cast<int>(stations.size()); }
};

/// Band numbers of a location for Temp (variable 0) or Prec (3): latitude band 1..6,
/// longitude band 1..6.
struct BandIndex {
    int lat = 0;
    int lon = 0;
};
BandIndex bandOf(int variable, float lon, float lat);

/// The band bounds of Temp or Prec: latitude bounds b(1..5), longitude bounds c(1..7), the
/// band-file prefix and the polar file names.
struct BandBounds {
    float lat[5];
    float lon[7];
    const char* prefix;
    const char* south;
    const char* north;
};
const BandBounds& bandBounds(int variable);

/// The station files LoadCandidates reads for a variable at (lon, lat), in reading order:
/// for Temp and Prec the four band files (i,j), (i2,j), (i,j2), (i2,j2) then the polar files
/// (southern below -50, northern above 60); for the others the whole file.
std::vector<std::string> candidateFiles(int variable, float lon, float lat);

/// Band file name, e.g. bandFileName(Temp, 3, 5) == "mela3lo5.txt".
std::string bandFileName(int variable, int latBand, int lonBand);
/// Whole-file name of a variable that has no bands ("max.txt", ...), "" for Temp and Prec.
std::string wholeFileName(int variable);

/// The variable whose values a station file holds, from its name ("mela3lo5.txt", "prsud.txt",
/// "max.txt" ...); -1 for any other name.
int variableOfStationFile(const std::string& path);

/// Parses one station line: 17 fields (lat, lon, alt, 12 months, name, country) separated by
/// commas or blanks, text fields optionally in double quotes; an empty field between two
/// commas reads as 0. Throws Error naming `file`, `lineNumber` and the field, also for a value
/// no station can have: a latitude outside -90..90, a longitude outside -180..180, an altitude
/// outside -500..9000 m other than 9999, a monthly value outside the possible range of the
/// file's variable (possibleMonthlyRange).
Station parseStationLine(std::string_view line, const std::string& file, long lineNumber);

/// Appends every station of `path` to `table` (blank lines skipped, a Ctrl-Z ends the file).
/// Throws Error when the file is missing or unreadable, a line is malformed, or the table
/// would hold more than 30000 stations (the table then holds the first 30000).
void ReadStationFile(const std::string& path, StationTable& table);

/// Parses a whole station file's text (as ReadStationFile does for a file's content).
std::vector<Station> parseStationText(std::string_view text, const std::string& file);

/// Fills `table` with the candidates of `variable` at (lon, lat) from the data folder.
void LoadCandidates(const std::string& dataFolder, int variable, float lon, float lat, StationTable& table);

/// Formats one station as a file line that parseStationLine reads back to the same values.
std::string formatStationLine(const Station& station);

}  // namespace zentrel
