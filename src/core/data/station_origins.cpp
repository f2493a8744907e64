// The station table and the excluded list of a data folder.
#include "data/station_origins.h"

#include "data/station_image.h"

#include <fmt/format.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "base/picture.h"
#include "data/csv_import.h"
#include "data/normals_table.h"
#include "data/station_writer.h"
#include "decimal_number.h"
#include "error.h"
#include "files/read_file.h"
#include "text_lines.h"

namespace zentrel {

namespace fs = std::filesystem;

namespace {

constexpr const char* kTableFields[11] = {"variable", "id",     "lat",       "lon",       "alt", "name",
                                          "source",   "period", "years_min", "years_max", "note"};
constexpr const char* kExcludedFields[9] = {"id", "name", "country", "lat", "lon", "alt", "variable", "source", "reason"};

uint64_t positionKey(int variable, float lon, float lat) {
    uint32_t x = 0, y = 0;
    std::memcpy(&x, &lon, sizeof x);
    std::memcpy(&y, &lat, sizeof y);
    return (static_cast<uint64_t>(x) * 0x9E3779B97F4A7C15ull) ^ (static_cast<uint64_t>(y) << 3) ^
           static_cast<uint64_t>(variable);
}


// Calls `row(lineNumber, fields)` for each row of a CSV text after its header (which must start
// with `firstField`); "#" lines and blank lines are skipped.
template <class F>
void forEachCsvRow(std::string_view text, const std::string& file, const char* firstField, F row) {
    bool header = true;
    std::vector<std::string> fields;
    forEachLine(text, [&](long lineNumber, std::string_view line) {
        line = trimRight(line);
        if (line.size() >= 3 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);  // byte-order mark
        if (line.find_first_not_of(" \t") == std::string_view::npos || line.front() == '#') return;
        if (header) {
            header = false;
            if (line.substr(0, std::strlen(firstField)) == firstField) return;
        }
        if (!splitCsvRow(line, fields))
            throw Error(fmt::format("{}, line {}: a quoted field has no closing quote.", file, lineNumber));
        row(lineNumber, fields);
    });
}

}  // namespace

StationOrigins StationOrigins::parse(std::string_view text, const std::string& file) {
    StationOrigins out;
    forEachCsvRow(text, file, "variable", [&](long lineNumber, const std::vector<std::string>& f) {
        const auto fail = [&](int field, const std::string& why) {
            throw Error(fmt::format("The station table {}, line {}, field {} ({}): {}", file, lineNumber, field,
                                    kTableFields[field - 1], why));
        };
        if (f.size() != 11)
            throw Error(fmt::format("The station table {}, line {}: {} fields, expected 11 ({}).", file, lineNumber,
                                    f.size(), "variable, id, lat, lon, alt, name, source, period, years_min, years_max, note"));
        Row row;
        row.variable = variableFromName(f[0]);
        if (row.variable < 0) fail(1, fmt::format("\"{}\" is not one of Temp, Tmax, Tmin, Prec, Vap, PET, Wind, Sun.", f[0]));
        const std::optional<float> lat = parseDecimalFloat(f[2]), lon = parseDecimalFloat(f[3]), alt = parseDecimalFloat(f[4]);
        if (!lat || *lat < -90 || *lat > 90) fail(3, fmt::format("\"{}\" is not a latitude in -90..90.", f[2]));
        if (!lon || *lon < -180 || *lon > 180) fail(4, fmt::format("\"{}\" is not a longitude in -180..180.", f[3]));
        if (!alt) fail(5, fmt::format("\"{}\" is not an altitude in m.", f[4]));
        row.lat = *lat;
        row.lon = *lon;
        row.alt = *alt;
        row.name = f[5];
        auto origin = std::make_shared<StationOrigin>();
        origin->id = f[1];
        origin->source = f[6];
        origin->period = f[7];
        if (!parseYears(f[8], origin->yearsMin)) fail(9, fmt::format("\"{}\" is not a number of years.", f[8]));
        if (!parseYears(f[9], origin->yearsMax)) fail(10, fmt::format("\"{}\" is not a number of years.", f[9]));
        origin->note = f[10];
        row.origin = std::move(origin);
        out.index_[positionKey(row.variable, row.lon, row.lat)].push_back(out.rows_.size());
        out.rows_.push_back(std::move(row));
    });
    return out;
}

StationOrigins StationOrigins::fromRows(std::vector<Row> rows) {
    StationOrigins out;
    out.rows_ = std::move(rows);
    for (size_t k = 0; k < out.rows_.size(); ++k) {
        const Row& row = out.rows_[k];
        out.index_[positionKey(row.variable, row.lon, row.lat)].push_back(k);
    }
    return out;
}

std::shared_ptr<const StationOrigin> StationOrigins::find(int variable, const Station& s) const {
    const auto it = index_.find(positionKey(variable, s.Lon, s.Lat));
    if (it == index_.end()) return nullptr;
    for (size_t k : it->second) {
        const Row& r = rows_[k];
        if (r.variable == variable && r.lon == s.Lon && r.lat == s.Lat && r.name == s.Name) return r.origin;
    }
    return nullptr;
}

std::shared_ptr<const StationOrigins> stationOriginsOf(const std::string& folder) {
    struct Kept {
        long long size = -1, mtime = 0;
        std::shared_ptr<const StationOrigins> origins;
    };
    static std::mutex mutex;
    static std::map<std::string, Kept> kept;
    const fs::path path = fs::path(folder) / kStationTableFileName;
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec) {
        // No table: the sources of this database are not known.
        std::lock_guard<std::mutex> lock(mutex);
        kept.erase(folder);
        return nullptr;
    }
    const auto mtime = fs::last_write_time(path, ec).time_since_epoch().count();
    {
        std::lock_guard<std::mutex> lock(mutex);
        const auto it = kept.find(folder);
        if (it != kept.end() && it->second.size == static_cast<long long>(size) && it->second.mtime == mtime)
            return it->second.origins;
    }
    // Parsed once per database and kept beside it (keyed by the table's bytes), as the stations are.
    const std::string text = readRegularFile(path.string(), "The station table");
    const std::string imagePath = (fs::path(folder) / kStationTableImageFileName).string();
    const uint64_t key = stationTableImageKey(text);
    auto origins = std::make_shared<StationOrigins>();
    if (!readStationTableImage(imagePath, key, *origins)) {
        *origins = StationOrigins::parse(text, path.string());
        writeStationTableImage(imagePath, key, *origins);
    }
    std::lock_guard<std::mutex> lock(mutex);
    kept[folder] = {static_cast<long long>(size), static_cast<long long>(mtime), origins};
    return origins;
}

void attachOrigins(VariableResult& r, const StationOrigins* origins) {
    r.origins = {};
    if (!origins) return;
    for (int i = 1; i <= r.neighbours.NeighbourCount && i <= kMaxNeighbours; ++i)
        r.origins[static_cast<size_t>(i)] = origins->find(r.variable, r.neighbours[i]);
}

std::string formatStationTable(const ImportReport& report) {
    std::string out = "variable,id,lat,lon,alt,name,source,period,years_min,years_max,note\n";
    const auto years = [](int n) { return n > 0 ? std::to_string(n) : std::string(); };
    for (int v = 0; v < kVariableCount; ++v) {
        const auto& list = report.lists[static_cast<size_t>(v)];
        const auto& sources = report.sources[static_cast<size_t>(v)];
        for (size_t i = 0; i < list.size(); ++i) {
            const Station& s = list[i];
            const StationSource source = i < sources.size() ? sources[i] : StationSource{};
            out += fmt::format("{},{},{},{},{},{},{},{},{},{},{}\n", kVariableNames[static_cast<size_t>(v)],
                               csvField(source.id), roundTripFloat(s.Lat), roundTripFloat(s.Lon), roundTripFloat(s.Alt),
                               csvField(asciiText(s.Name)), csvField(source.source), csvField(source.period),
                               years(source.yearsMin), years(source.yearsMax), csvField(source.note));
        }
    }
    return out;
}

std::vector<ExcludedStation> parseExcludedStations(std::string_view text, const std::string& file) {
    std::vector<ExcludedStation> out;
    forEachCsvRow(text, file, "id", [&](long lineNumber, const std::vector<std::string>& f) {
        const auto fail = [&](int field, const std::string& why) {
            throw Error(fmt::format("The excluded list {}, line {}, field {} ({}): {}", file, lineNumber, field,
                                    kExcludedFields[field - 1], why));
        };
        if (f.size() != 9)
            throw Error(fmt::format("The excluded list {}, line {}: {} fields, expected 9 (id, name, country, lat, lon, "
                                    "alt, variable, source, reason).",
                                    file, lineNumber, f.size()));
        ExcludedStation e;
        e.id = f[0];
        e.name = f[1];
        e.country = f[2];
        // A line of a source that could not be read names no station: its position is empty.
        const auto number = [&](int field, float low, float high, float absent, const char* what) {
            const std::string& t = f[static_cast<size_t>(field - 1)];
            if (t.empty()) return absent;
            const std::optional<float> v = parseDecimalFloat(t);
            if (!v || *v < low || *v > high) fail(field, fmt::format("\"{}\" is not {}.", t, what));
            return *v;
        };
        e.lat = number(4, -90, 90, std::nanf(""), "a latitude in -90..90");
        e.lon = number(5, -180, 180, std::nanf(""), "a longitude in -180..180");
        e.alt = number(6, -1e6f, 1e6f, kUnknown, "an altitude in m");
        e.variable = f[6];
        if (!e.variable.empty() && variableFromName(e.variable) < 0)
            fail(7, fmt::format("\"{}\" is not one of Temp, Tmax, Tmin, Prec, Vap, PET, Wind, Sun.", e.variable));
        e.source = f[7];
        e.reason = f[8];
        if (e.reason.empty()) fail(9, "the reason is empty.");
        out.push_back(std::move(e));
    });
    return out;
}

std::vector<ExcludedStation> excludedStationsOf(const std::string& folder, bool& kept) {
    const fs::path path = fs::path(folder) / kExcludedFileName;
    std::error_code ec;
    kept = fs::exists(path, ec);
    if (!kept) return {};
    return parseExcludedStations(readRegularFile(path.string(), "The excluded list"), path.string());
}

std::string originText(const StationOrigin* o) {
    if (!o || (o->source.empty() && o->period.empty())) return "-";
    if (o->source.empty()) return o->period;
    return o->period.empty() ? o->source : o->source + " " + o->period;
}

std::string originYearsText(const StationOrigin* o) {
    if (!o || o->yearsMax <= 0) return "-";
    return o->yearsMin == o->yearsMax ? std::to_string(o->yearsMax) : fmt::format("{}..{}", o->yearsMin, o->yearsMax);
}

const std::map<std::string, std::string>& knownSourceTerms() {
    static const std::map<std::string, std::string> terms = {
        {"WMO", "WMO Climatological Standard Normals 1991-2020: published without a licence text (WMO's data policy "
                "exchanges such data freely); cite WMO and NOAA NCEI"},
        {"JMA world", "Japan Meteorological Agency: reuse allowed with the source named (compatible with CC BY 4.0)"},
        {"JMA Japan", "Japan Meteorological Agency: reuse allowed with the source named (compatible with CC BY 4.0)"},
        {"DWD", "Deutscher Wetterdienst open data: CC BY 4.0, source Deutscher Wetterdienst"},
        {"CLIMAT", "CLIMAT reports exchanged free and unrestricted among WMO members; archive of Deutscher Wetterdienst "
                   "(CC BY 4.0)"},
    };
    return terms;
}

}  // namespace zentrel
