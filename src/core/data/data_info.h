// What a data folder's station database holds: where its normals come from, how many stations
// each variable has, the extent they cover and when the database was built.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "base/types.h"

namespace zentrel {

/// Name of the folder beside the programs that holds the demonstration database (emulated
/// normals of 20000 towns, marked as such): for tests and benchmarks that need a dense network.
inline constexpr const char* kDemoFolderName = "DemoData";

/// The file in a data folder describing its station database: "Key: value" lines (Source,
/// Period, Derivation, Note, Years <Variable>, Built), written by the importers.
inline constexpr const char* kAboutFileName = "about.txt";

/// The stations of one variable.
struct VariableInfo {
    int stations = 0;         ///< station records of the variable
    int withoutAltitude = 0;  ///< of those, with unknown altitude (9999)
    int yearsMin = 0;         ///< fewest valid years behind any of its normals, 0 when not known
    int yearsMax = 0;         ///< most valid years behind any of its normals, 0 when not known
};

/// The stations of one source, from the folder's station table.
struct SourceInfo {
    std::vector<std::string> periods;               ///< the stations' observation periods, sorted
    std::array<int, kVariableCount> stations{};     ///< station records per variable
    std::string terms;                              ///< terms of use, "" when not known
};

struct DataInfo {
    std::string folder;
    bool exists = false;         ///< the folder is there
    bool demonstration = false;  ///< the folder is marked as emulated (file DEMONSTRATION)
    /// The describing lines of the about file (Source, Period, Derivation, Note, Built), in
    /// file order; the per-variable years are in `variables`.
    std::vector<std::string> about;
    std::array<VariableInfo, kVariableCount> variables{};
    int stations = 0;         ///< distinct stations (position and name) over all variables
    int withoutAltitude = 0;  ///< distinct stations with unknown altitude
    float latMin = 0, latMax = 0, lonMin = 0, lonMax = 0;  ///< extent of the stations (when any)
    bool terrain = false;     ///< the elevation raster is there
    std::string terrainSource;  ///< where the terrain the estimates use comes from (describeTerrain)
    bool stationTable = false;  ///< the folder keeps a station table (stations.csv)
    /// By source name ("" for rows that name none), from the station table.
    std::map<std::string, SourceInfo> sources;
    /// Station files that are missing or cannot be read, one sentence each.
    std::vector<std::string> problems;
};

/// Reads the about file and every station file of `folder`. Never throws: what cannot be read
/// is listed in `problems`.
DataInfo describeDataFolder(const std::string& folder);

/// The description as text for people, lines ending with "\n".
std::string formatDataInfo(const DataInfo& info);

/// The description as a JSON object.
std::string formatDataInfoJson(const DataInfo& info);

/// The stations the folder's excluded list names, with their reasons, as text lines (or the
/// sentence that the folder keeps no such list). Throws Error when the list cannot be read.
std::string formatExcludedInfo(const std::string& folder);
/// The same as a JSON object: {"folder", "kept", "stations": [{id, name, ..., reason}]}.
std::string formatExcludedInfoJson(const std::string& folder);

/// False when the folder's station files of `variable` are all there and hold no station:
/// the database has no normals of it. True otherwise (missing files are left to the loader to
/// report).
bool holdsVariable(const std::string& folder, int variable);

/// True when the folder has a station file of some variable that holds stations (or that is
/// there but not a regular file, for the loader to refuse): false for a folder without any
/// station file, where there is nothing to estimate from.
bool holdsAnyStationFile(const std::string& folder);

/// "this station database holds no Wind normals"
std::string missingVariableMessage(int variable);

/// "Wind skipped: this station database holds no Wind normals", said once by runs over
/// several variables that go on without it.
std::string skippedVariableNote(int variable);

/// For a writer that cannot do without `variable`: "<writer> needs Wind normals, but this
/// station database holds no Wind normals; add them with zentrel data import-csv."
std::string writerNeedsMessage(const std::string& writer, int variable);

/// The about file's text: `lines`, then per variable with known years
/// "Years <Variable>: <min>..<max>", then "Built: " and `built` (when not empty).
std::string aboutFileText(const std::vector<std::string>& lines, const std::array<VariableInfo, kVariableCount>& years,
                          const std::string& built);

/// Writes the about file of `folder` (aboutFileText, replacing it atomically).
void writeAboutFile(const std::string& folder, const std::vector<std::string>& lines,
                    const std::array<VariableInfo, kVariableCount>& years, const std::string& built);

}  // namespace zentrel
