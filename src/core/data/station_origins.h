// Where the stations of a data folder come from: the station table beside the station files
// (source, observation period, valid years and note per station and variable) and the list of
// stations the builder of the database left out, with the reason.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/types.h"
#include "data/import_report.h"

namespace zentrel {

/// The station table of a data folder. One row per station and variable, with a header:
///   variable,id,lat,lon,alt,name,source,period,years_min,years_max,note
/// lat, lon, alt and name as the station files hold them (alt 9999 = unknown), so that a
/// station read from the files is found by its position and name; empty texts and years mean
/// not known. Optional: a folder without it is a database whose sources are not known.
inline constexpr const char* kStationTableFileName = "stations.csv";

/// The stations left out of the database with the reason, a CSV file with a header:
///   id,name,country,lat,lon,alt,variable,source,reason
/// "#" lines are comments. Only the reason is required (a line of a source that could not be
/// read names no station).
inline constexpr const char* kExcludedFileName = "excluded-stations.csv";

/// The origins of every station of a station table, found by variable, position and name.
class StationOrigins {
public:
    struct Row {
        int variable = 0;
        float lon = 0, lat = 0, alt = kUnknown;
        std::string name;
        std::shared_ptr<const StationOrigin> origin;
    };

    /// Parses a station table's text; `file` names it in errors. Throws Error naming file,
    /// line and field for a row that cannot be read: a table that is there must be whole.
    static StationOrigins parse(std::string_view text, const std::string& file);

    /// The table of `rows` (in file order), as parse() would give it for their text.
    static StationOrigins fromRows(std::vector<Row> rows);

    /// The origin of `station` in the files of `variable`, or null when the table has no row
    /// with its longitude, latitude and name.
    std::shared_ptr<const StationOrigin> find(int variable, const Station& station) const;

    /// Every row, in file order.
    const std::vector<Row>& rows() const { return rows_; }

private:
    std::vector<Row> rows_;
    std::unordered_map<uint64_t, std::vector<size_t>> index_;  // hash of variable and position -> rows
};

/// The station table of `folder`, read on first use and again when the file changed; null
/// when the folder keeps none. Thread-safe. Throws Error when the table cannot be read.
std::shared_ptr<const StationOrigins> stationOriginsOf(const std::string& folder);

/// Attaches to each neighbour of `r` its origin from `origins` (VariableResult::origins);
/// clears them when `origins` is null.
void attachOrigins(VariableResult& r, const StationOrigins* origins);

/// The station table text of an import: the header, then one row per station written, in the
/// order of `report.lists` (names in their ASCII form, as the station files get them).
std::string formatStationTable(const ImportReport& report);

/// One line of the excluded list.
struct ExcludedStation {
    std::string id, name, country;
    float lat = 0, lon = 0, alt = kUnknown;  ///< NaN lat and lon when the line names no position
    std::string variable, source, reason;
};

/// Parses an excluded list. Throws Error naming file, line and field for a line that cannot
/// be read (wrong field count, a position out of range, an unknown variable, no reason).
std::vector<ExcludedStation> parseExcludedStations(std::string_view text, const std::string& file);

/// The excluded list of `folder`; `kept` is false when the folder keeps none. Throws Error as
/// parseExcludedStations does.
std::vector<ExcludedStation> excludedStationsOf(const std::string& folder, bool& kept);

/// The source and period of an origin for a table cell: "WMO 1991-2020", "DWD", or "-" when
/// nothing is known.
std::string originText(const StationOrigin* origin);

/// The valid years of an origin: "28" or "25..30", "-" when not known.
std::string originYearsText(const StationOrigin* origin);

/// The terms of use of each source of the default database, a short fixed list (source ->
/// text) for the sources whose table carries no "Terms <source>:" line.
const std::map<std::string, std::string>& knownSourceTerms();

}  // namespace zentrel
