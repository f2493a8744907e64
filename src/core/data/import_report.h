// What an importer of station normals kept and dropped, per variable, and the problems it met.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "base/types.h"
#include "data/station_writer.h"

namespace zentrel {

/// Counts of one variable.
struct VariableTally {
    long valuesRead = 0;                         ///< monthly values (CLIMAT) or rows (CSV) found
    std::map<std::string, long> dropped;         ///< values or rows not used, by reason
    int stationsKept = 0;                        ///< stations written for the variable
    std::map<std::string, int> stationsDropped;  ///< stations not written, by reason
};

/// Where a written station's normals come from: the station's own id, the smallest and
/// largest number of valid years behind its twelve monthly normals (0 when not known), and,
/// where the input names them, the source ("WMO", "DWD" ...), the station's observation period
/// ("1991-2020") and a short note (empty when not known).
struct StationSource {
    std::string id;
    int yearsMin = 0;
    int yearsMax = 0;
    std::string source;
    std::string period;
    std::string note;
};

/// Result of an import: the stations to write, the tally and every problem met on the way.
struct ImportReport {
    StationLists lists;
    /// Parallel to `lists` (same variable, same index) where the importer knows the sources;
    /// empty otherwise.
    std::array<std::vector<StationSource>, kVariableCount> sources;
    /// "Key: value" lines describing the whole database (Source, Period, Derivation, Note),
    /// kept in the folder's about file.
    std::vector<std::string> about;
    std::array<VariableTally, kVariableCount> tally;
    /// One sentence per bad record, naming file, line and field.
    std::vector<std::string> problems;
    /// Further lines for the summary (what the source cannot give, derived variables).
    std::vector<std::string> notes;
    /// The stations the builder of the input left out, as a CSV text with its header
    /// (id,name,country,lat,lon,alt,variable,source,reason), kept in the folder; empty when none.
    std::string excluded;
};

/// Lowest and highest plausible monthly normal of a variable (°C, mm, hPa, m/s, fraction);
/// importers drop values outside.
struct PlausibleRange {
    float low;
    float high;
};
PlausibleRange plausibleRange(int variable);

/// The summary printed after an import: per variable the stations kept and the values and
/// stations dropped with their reasons, then the notes. Lines end with "\n".
std::string formatImportSummary(const ImportReport& report);

}  // namespace zentrel
