// CSV import of station normals.
#include "data/csv_import.h"

#include <fmt/format.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "data/possible_values.h"
#include "decimal_number.h"
#include "error.h"
#include "files/read_file.h"
#include "text_lines.h"

namespace zentrel {

namespace {

constexpr const char* kFieldNames[24] = {"id",  "name", "country", "lat", "lon", "alt", "variable", "jan", "feb", "mar", "apr",
                                         "may", "jun",  "jul",     "aug", "sep", "oct", "nov",      "dec", "years_min", "years_max",
                                         "source", "period", "note"};

// A station's observation period: empty (not known) or "first-last", two years 1000..2999
// in order ("1991-2020").
bool isPeriod(const std::string& text) {
    if (text.empty()) return true;
    if (text.size() != 9 || text[4] != '-') return false;
    const std::string first = text.substr(0, 4), last = text.substr(5);
    for (const std::string& y : {first, last})
        if (y.find_first_not_of("0123456789") != std::string::npos || y[0] < '1' || y[0] > '2') return false;
    return first <= last;
}


// Comment lines "# Key: value" with these keys describe the whole table.
bool isAboutLine(std::string_view line) {
    for (std::string_view key : {"# Source: ", "# Period: ", "# Derivation: ", "# Note: ", "# Terms "})
        if (line.substr(0, key.size()) == key) return true;
    return false;
}

}  // namespace

bool splitCsvRow(std::string_view line, std::vector<std::string>& fields) {
    fields.clear();
    std::string field;
    size_t i = 0;
    while (true) {
        field.clear();
        while (i < line.size() && line[i] == ' ') ++i;
        if (i < line.size() && line[i] == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                field += line[i++];
            }
            if (!closed) return false;
            while (i < line.size() && line[i] != ',') ++i;
        } else {
            while (i < line.size() && line[i] != ',') field += line[i++];
            while (!field.empty() && field.back() == ' ') field.pop_back();
        }
        fields.push_back(field);
        if (i >= line.size()) return true;
        ++i;  // the comma
    }
}

namespace {

bool parseNumber(const std::string& text, float& out) {
    const std::optional<float> v = parseDecimalFloat(text);  // no "0x10", "nan" or "inf"
    if (!v) return false;
    out = *v;
    return true;
}

// A station whose daily maximum lies below its daily minimum in some month breaks physics: one
// of its two rows is wrong, and no one can say which. Both rows are dropped, so that no
// estimate ends with a maximum below its minimum. `lines` holds the line of each kept row.
void dropCrossedExtremes(ImportReport& report, const std::array<std::vector<long>, kVariableCount>& lines,
                         const std::string& file) {
    const size_t tmax = static_cast<size_t>(Tmax), tmin = static_cast<size_t>(Tmin);
    std::map<std::string, size_t> minRow;
    for (size_t j = 0; j < report.sources[tmin].size(); ++j) minRow.emplace(report.sources[tmin][j].id, j);
    std::set<size_t> dropMax, dropMin;
    for (size_t i = 0; i < report.sources[tmax].size(); ++i) {
        const auto it = minRow.find(report.sources[tmax][i].id);
        if (it == minRow.end()) continue;
        const Station &hi = report.lists[tmax][i], &lo = report.lists[tmin][it->second];
        for (int m = 1; m <= 12; ++m) {
            const size_t k = static_cast<size_t>(m);
            if (hi.Data[k] >= lo.Data[k]) continue;
            report.problems.push_back(fmt::format(
                "{}, lines {} and {}, field {} ({}): station \"{}\" has a Tmax of {} below its Tmin of {}; both rows are dropped.",
                file, lines[tmax][i], lines[tmin][it->second], 7 + m, kFieldNames[6 + m], report.sources[tmax][i].id, hi.Data[k],
                lo.Data[k]));
            dropMax.insert(i);
            dropMin.insert(it->second);
            break;
        }
    }
    auto drop = [&](size_t v, const std::set<size_t>& rows) {
        for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
            report.lists[v].erase(report.lists[v].begin() + static_cast<long>(*it));
            report.sources[v].erase(report.sources[v].begin() + static_cast<long>(*it));
            report.tally[v].stationsKept--;
            report.tally[v].dropped["rows with Tmax below Tmin"]++;
        }
    };
    drop(tmax, dropMax);
    drop(tmin, dropMin);
}

}  // namespace

bool parseYears(const std::string& text, int& out) {
    out = 0;
    if (text.empty()) return true;
    if (text.size() > 4 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    out = std::stoi(text);
    return true;
}

ImportReport importCsvText(std::string_view text, const std::string& file) {
    ImportReport report;
    std::array<std::vector<long>, kVariableCount> lines;  // of each kept row
    std::set<std::pair<std::string, int>> seen;
    std::vector<std::string> fields;
    bool firstRow = true;
    forEachLine(text, [&](long lineNumber, std::string_view line) {
        line = trimRight(line);
        if (line.size() >= 3 && line.substr(0, 3) == "\xEF\xBB\xBF") line.remove_prefix(3);  // byte-order mark
        if (isAboutLine(line)) report.about.emplace_back(line.substr(2));
        if (line.find_first_not_of(" \t") == std::string_view::npos || line.front() == '#') return;
        const bool header =
            firstRow && (line.substr(0, 2) == "id" || line.substr(0, 2) == "ID" || line.substr(0, 2) == "Id");
        firstRow = false;
        if (header) return;

        auto problem = [&](int field, const std::string& why) {
            report.problems.push_back(field > 0 ? fmt::format("{}, line {}, field {} ({}): {}", file, lineNumber, field,
                                                              kFieldNames[field - 1], why)
                                                : fmt::format("{}, line {}: {}", file, lineNumber, why));
        };
        if (!splitCsvRow(line, fields)) {
            problem(0, "a quoted field has no closing quote; the row is dropped.");
            return;
        }
        // The variable first: the tally is per variable.
        const int variable = fields.size() >= 7 ? variableFromName(fields[6]) : -1;
        if (fields.size() != 19 && fields.size() != 21 && fields.size() != 24) {
            problem(0, fmt::format("{} fields, expected 19 (id, name, country, lat, lon, alt, variable and twelve "
                                   "months), 21 (and years_min, years_max) or 24 (and source, period, note); the row "
                                   "is dropped.",
                                   fields.size()));
            if (variable >= 0) {
                report.tally[static_cast<size_t>(variable)].valuesRead++;
                report.tally[static_cast<size_t>(variable)].dropped["malformed rows"]++;
            }
            return;
        }
        if (variable < 0) {
            problem(7,
                    fmt::format("\"{}\" is not one of Temp, Tmax, Tmin, Prec, Vap, PET, Wind, Sun; the row is dropped.",
                                fields[6]));
            return;
        }
        VariableTally& tally = report.tally[static_cast<size_t>(variable)];
        tally.valuesRead++;
        Station s;
        s.Name = fields[1];
        s.Country = fields[2];
        bool ok = true;
        if (!parseNumber(fields[3], s.Lat) || s.Lat < -90 || s.Lat > 90) {
            problem(4, fmt::format("\"{}\" is not a latitude in -90..90; the row is dropped.", fields[3]));
            ok = false;
        }
        if (ok && (!parseNumber(fields[4], s.Lon) || s.Lon < -180 || s.Lon > 180)) {
            problem(5, fmt::format("\"{}\" is not a longitude in -180..180; the row is dropped.", fields[4]));
            ok = false;
        }
        if (ok && fields[5].empty())
            s.Alt = kUnknown;
        else if (ok && !parseNumber(fields[5], s.Alt)) {
            problem(6, fmt::format("\"{}\" is not an altitude in m; the row is dropped.", fields[5]));
            ok = false;
        } else if (ok && !altitudeProblem(s.Alt).empty()) {
            problem(6, fmt::format("\"{}\" is not an altitude in -500..9000 m (empty or 9999 = unknown); the row is "
                                   "dropped.",
                                   fields[5]));
            ok = false;
        }
        if (!ok) {
            tally.dropped["malformed rows"]++;
            return;
        }
        const PlausibleRange range = plausibleRange(variable);
        for (int m = 1; m <= 12 && ok; ++m) {
            const std::string& t = fields[static_cast<size_t>(6 + m)];
            float v = 0;
            if (!parseNumber(t, v)) {
                problem(7 + m, fmt::format("\"{}\" is not a number; the row is dropped.", t));
                tally.dropped["malformed rows"]++;
                ok = false;
            } else if (v < range.low || v > range.high) {
                problem(7 + m, fmt::format("{} lies outside the plausible {}..{} of {}; the row is dropped.", t,
                                           range.low, range.high, kVariableNames[static_cast<size_t>(variable)]));
                tally.dropped["implausible rows"]++;
                ok = false;
            } else {
                s.Data[static_cast<size_t>(m)] = v;
            }
        }
        if (!ok) return;
        StationSource source{fields[0], 0, 0, {}, {}, {}};
        if (fields.size() >= 21) {
            for (int f = 20; f <= 21; ++f) {
                int& years = f == 20 ? source.yearsMin : source.yearsMax;
                if (!parseYears(fields[static_cast<size_t>(f - 1)], years)) {
                    problem(f, fmt::format("\"{}\" is not a number of years; the row is dropped.",
                                           fields[static_cast<size_t>(f - 1)]));
                    tally.dropped["malformed rows"]++;
                    return;
                }
            }
        }
        if (fields.size() == 24) {
            if (!isPeriod(fields[22])) {
                problem(23, fmt::format("\"{}\" is not a period of years like 1991-2020; the row is dropped.",
                                        fields[22]));
                tally.dropped["malformed rows"]++;
                return;
            }
            source.source = fields[21];
            source.period = fields[22];
            source.note = fields[23];
        }
        if (!seen.insert({fields[0], variable}).second) {
            problem(1, fmt::format("station \"{}\" has a second {} row; the first one is kept.", fields[0],
                                   kVariableNames[static_cast<size_t>(variable)]));
            tally.dropped["repeated rows"]++;
            return;
        }
        report.lists[static_cast<size_t>(variable)].push_back(std::move(s));
        report.sources[static_cast<size_t>(variable)].push_back(std::move(source));
        lines[static_cast<size_t>(variable)].push_back(lineNumber);
        tally.stationsKept++;
    });
    dropCrossedExtremes(report, lines, file);
    return report;
}

ImportReport importCsv(const std::string& path) {
    requireRegularFile(path, "The CSV file");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error("The CSV file " + path + " cannot be opened.");
    return importCsvText(readRegularFile(path, "The CSV file"), path);
}

}  // namespace zentrel
