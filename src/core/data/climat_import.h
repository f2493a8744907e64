// Importer of the monthly CLIMAT reports (one "CLIMAT_RAW_YYYYMM.txt" per month, semicolon-
// separated, section 1 of the code form) with their station list: long-term normals per
// station and month over a chosen period, written in the station database layout.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "data/import_report.h"
#include "feedback.h"

namespace zentrel {

struct ClimatOptions {
    int fromYear = 0;   ///< first year of the period (inclusive)
    int toYear = 9999;  ///< last year of the period (inclusive)
    int minYears = 10;  ///< a month needs at least this many valid years
};

/// A station of the station list "WMO-Station ID; StationName; Latitude; Longitude; Height;
/// Country". hasPosition is false where the list gives no coordinates.
struct ClimatStation {
    std::string name;
    std::string country;
    float lat = 0;
    float lon = 0;
    float alt = kUnknown;  ///< 9999 where the list gives no height
    bool hasPosition = false;
};

/// Parses the station list text, keyed by the five-digit station number. Bad lines go to
/// `report.problems` naming file, line and field.
std::map<std::string, ClimatStation> parseClimatStationList(std::string_view text, const std::string& file,
                                                            ImportReport& report);

/// Imports every CLIMAT_RAW_YYYYMM.txt below `reportFolder` (in name order) with the station
/// list file `stationList`.
///
/// A monthly value counts when its group is well formed, it is plausible and few days are
/// missing (at most 10 for the means of temperature and vapour pressure, none for the totals of
/// precipitation and sunshine). A month's normal is the mean over the valid years of the period
/// and needs `minYears` of them; a station is written for a variable when all twelve months
/// have their normal. Sunshine hours become a fraction of the astronomical day length of that
/// month at the station; PET is the Penman-Monteith reference evapotranspiration from the
/// Tmax, Tmin, Vap and Sun normals with 2 m/s of wind, for stations that have all four. The
/// reports carry no wind speed: the Wind list stays empty.
///
/// Per-record problems are collected in the report. Throws Error when the station list cannot
/// be read, no report file is found, or `feedback` asks to cancel.
ImportReport importClimat(const std::string& reportFolder, const std::string& stationList, const ClimatOptions& options,
                          Feedback* feedback = nullptr);

}  // namespace zentrel
