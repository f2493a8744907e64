// CLIMAT import: decoding section 1 of the monthly reports, quality checks, normals, PET.
#include "data/climat_import.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <vector>

#include "data/penman.h"
#include "error.h"
#include "files/read_file.h"
#include "text_lines.h"

namespace zentrel {

namespace {

// Section 1 of a report: the columns of the file header, in this order (0-based index):
// 0 year, 1 month, 2 IIiii (station), 3 "1" Po, 5 "2" P, 7 "3" sn T st, 11 "4" sn Tx sn Tn,
// 16 "5" e, 18 "6" R1 Rd nr, 22 "7" S1 ps, 25 "8" mp mT mTx mTn, 30 "9" me mR mS.
constexpr std::string_view kHeader =
    "year;month;IIiii;G1;Po;G1;P;G1;sn;T;st;G1;sn;Tx;sn;Tn;G1;e;G1;R1;Rd;nr;G1;S1;ps;G1;mp;mT;mTx;mTn;G1;me;mR;mS";
constexpr size_t kSection1Fields = 34;
constexpr const char* kColumnNames[kSection1Fields] = {
    "year", "month", "IIiii", "G1", "Po", "G1", "P",  "G1", "sn", "T",  "st", "G1",  "sn",  "Tx", "sn", "Tn", "G1",
    "e",    "G1",    "R1",    "Rd", "nr", "G1", "S1", "ps", "G1", "mp", "mT", "mTx", "mTn", "G1", "me", "mR", "mS"};

// The observed quantities and the variables they feed.
enum Observed { kT, kTx, kTn, kR, kE, kS, kObservedCount };
constexpr int kVariableOf[kObservedCount] = {Temp, Tmax, Tmin, Prec, Vap, Sun};

// Missing days allowed in a month: a mean stands with up to 10 missing days; a total needs all.
constexpr int kMaxMissingDaysForMean = 10;

struct Accumulator {
    std::array<std::array<std::vector<float>, 13>, kObservedCount> values;  // [observed][month]
    bool any[kObservedCount] = {};
};

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::vector<std::string_view> split(std::string_view line, char separator) {
    std::vector<std::string_view> out;
    size_t start = 0;
    while (true) {
        const size_t end = line.find(separator, start);
        if (end == std::string_view::npos) {
            out.push_back(line.substr(start));
            return out;
        }
        out.push_back(line.substr(start, end - start));
        start = end + 1;
    }
}

// Unsigned integer of 1..maxDigits digits, or nothing.
std::optional<int> digits(std::string_view s, size_t minDigits, size_t maxDigits) {
    if (s.size() < minDigits || s.size() > maxDigits) return std::nullopt;
    int v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

std::optional<float> number(std::string_view s) {
    s = trim(s);
    if (s.empty()) return std::nullopt;
    const std::string text(s);
    char* end = nullptr;
    const float v = std::strtof(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

// A station record of the database with the list's position, altitude and names.
Station stationOf(const ClimatStation& s) {
    Station st;
    st.Lat = s.lat;
    st.Lon = s.lon;
    st.Alt = s.alt;
    st.Name = s.name;
    st.Country = s.country;
    return st;
}

std::string readText(const std::string& path, const char* what) {
    requireRegularFile(path, std::string("The ") + what);
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error(fmt::format("The {} {} cannot be opened.", what, path));
    return readRegularFile(path, std::string("The ") + what);
}

class ReportReader {
public:
    ReportReader(const std::map<std::string, ClimatStation>& stations, const ClimatOptions& options,
                 ImportReport& report)
        : stations_(stations), options_(options), report_(report) {}

    void readFile(const std::string& name, std::string_view text) {
        file_ = name;
        bool headerSeen = false;
        forEachLine(text, [&](long number, std::string_view line) {
            line_ = number;
            if (trim(line).empty()) return;
            if (!headerSeen && line.substr(0, 5) == "year;") {
                headerSeen = true;
                if (line.substr(0, kHeader.size()) != kHeader) {
                    problem(-1, "the header does not begin with the columns of section 1 (" + std::string(kHeader) +
                                    "); the file is skipped.");
                    skipFile_ = true;
                }
                return;
            }
            if (!skipFile_) readLine(line);
        });
        skipFile_ = false;
    }

    std::map<std::string, Accumulator>& accumulators() { return accumulators_; }
    long outsidePeriod() const { return outsidePeriod_; }
    /// First and last month (YYYYMM) of the reports read within the period; first > last when none.
    int firstMonth() const { return firstMonth_; }
    int lastMonth() const { return lastMonth_; }

    // One problem per report station that cannot be placed, at its first report.
    void reportUnknownStations() {
        for (const auto& [id, u] : unknown_) {
            report_.problems.push_back(
                fmt::format("{}, line {}, field 3 (IIiii): station {} {}; its {} reports are dropped.", u.file, u.line,
                            id, u.why, u.reports));
            for (int o = 0; o < kObservedCount; ++o)
                if (u.any[o]) report_.tally[static_cast<size_t>(kVariableOf[o])].stationsDropped[u.why]++;
        }
    }

private:
    struct Unknown {
        std::string file;
        long line = 0;
        std::string why;
        long reports = 0;
        bool any[kObservedCount] = {};
    };

    void problem(int field, const std::string& why) {
        if (field < 0)
            report_.problems.push_back(fmt::format("{}, line {}: {}", file_, line_, why));
        else
            report_.problems.push_back(
                fmt::format("{}, line {}, field {} ({}): {}", file_, line_, field + 1, kColumnNames[field], why));
    }

    void drop(Observed o, const char* reason) { report_.tally[static_cast<size_t>(kVariableOf[o])].dropped[reason]++; }

    // Checks the group starting at `indicator`: returns true when it is present and well formed
    // (fields checked by `valid`), false when absent; a malformed group gives a problem.
    bool group(const std::vector<std::string_view>& f, size_t indicator, size_t last, char expected) {
        bool anyValue = false;
        for (size_t k = indicator + 1; k <= last; ++k) anyValue = anyValue || !f[k].empty();
        if (f[indicator].empty()) {
            if (anyValue)
                problem(static_cast<int>(indicator), fmt::format("the group indicator {} is missing.", expected));
            return false;
        }
        if (f[indicator].size() != 1 || f[indicator][0] != expected) {
            problem(static_cast<int>(indicator),
                    fmt::format("\"{}\" is not the group indicator {}.", std::string(f[indicator]), expected));
            return false;
        }
        return anyValue;
    }

    // Signed temperature in tenths: sign 0 or 1 and three digits.
    std::optional<float> temperature(const std::vector<std::string_view>& f, size_t sign, Observed o) {
        if (f[sign].empty() && f[sign + 1].empty()) return std::nullopt;
        ++read_[o];
        if (f[sign] != "0" && f[sign] != "1") {
            problem(static_cast<int>(sign), fmt::format("\"{}\" is not a sign (0 or 1).", std::string(f[sign])));
            drop(o, "malformed");
            return std::nullopt;
        }
        const auto v = digits(f[sign + 1], 3, 3);
        if (!v) {
            problem(static_cast<int>(sign + 1),
                    fmt::format("\"{}\" is not a temperature of three digits in tenths of a degree.",
                                std::string(f[sign + 1])));
            drop(o, "malformed");
            return std::nullopt;
        }
        return (f[sign] == "1" ? -1.0f : 1.0f) * static_cast<float>(*v) / 10.0f;
    }

    std::optional<float> unsignedValue(const std::vector<std::string_view>& f, size_t field, size_t width,
                                       float divisor, Observed o, const char* what) {
        if (f[field].empty()) return std::nullopt;
        ++read_[o];
        const auto v = digits(f[field], width, width);
        if (!v) {
            problem(static_cast<int>(field),
                    fmt::format("\"{}\" is not {} of {} digits.", std::string(f[field]), what, width));
            drop(o, "malformed");
            return std::nullopt;
        }
        return static_cast<float>(*v) / divisor;
    }

    // Missing days: empty means not reported (taken as none).
    int missingDays(const std::vector<std::string_view>& f, size_t field, bool groupPresent) {
        if (!groupPresent || f[field].empty()) return 0;
        const auto v = digits(f[field], 1, 2);
        if (!v || *v > 31) {
            problem(static_cast<int>(field), fmt::format("\"{}\" is not a number of days.", std::string(f[field])));
            return 99;
        }
        return *v;
    }

    void readLine(std::string_view line) {
        std::vector<std::string_view> f = split(line, ';');
        if (f.size() < kSection1Fields) {
            problem(-1, fmt::format("{} fields, expected at least {} (year, month, station and section 1); the line is "
                                    "skipped.",
                                    f.size(), kSection1Fields));
            return;
        }
        for (auto& field : f) field = trim(field);
        const auto year = digits(f[0], 4, 4);
        const auto month = digits(f[1], 1, 2);
        if (!year) return problem(0, fmt::format("\"{}\" is not a year; the line is skipped.", std::string(f[0])));
        if (!month || *month < 1 || *month > 12)
            return problem(1, fmt::format("\"{}\" is not a month; the line is skipped.", std::string(f[1])));
        if (!digits(f[2], 5, 5))
            return problem(
                2, fmt::format("\"{}\" is not a five-digit station number; the line is skipped.", std::string(f[2])));
        if (*year < options_.fromYear || *year > options_.toYear) {
            ++outsidePeriod_;
            return;
        }
        firstMonth_ = std::min(firstMonth_, *year * 100 + *month);
        lastMonth_ = std::max(lastMonth_, *year * 100 + *month);
        const std::string id(f[2]);
        if (!seen_.insert(fmt::format("{}-{}-{}", id, *year, *month)).second)
            return problem(2, fmt::format("station {} reports {}-{:02} a second time; the first report is kept.", id,
                                          *year, *month));

        std::optional<float> value[kObservedCount];
        const bool g3 = group(f, 7, 10, '3'), g4 = group(f, 11, 15, '4'), g5 = group(f, 16, 17, '5');
        const bool g6 = group(f, 18, 21, '6'), g7 = group(f, 22, 24, '7'), g8 = group(f, 25, 29, '8');
        const bool g9 = group(f, 30, 33, '9');
        if (g3) value[kT] = temperature(f, 8, kT);
        if (g4) value[kTx] = temperature(f, 12, kTx);
        if (g4) value[kTn] = temperature(f, 14, kTn);
        if (g5) value[kE] = unsignedValue(f, 17, 3, 10.0f, kE, "a vapour pressure in tenths of hPa");
        if (g6) {
            value[kR] = unsignedValue(f, 19, 4, 1.0f, kR, "a precipitation total in mm");
            if (value[kR] && *value[kR] == 9999) value[kR] = 0.0f;  // 9999 reports a trace: less than 1 mm
        }
        if (g7) value[kS] = unsignedValue(f, 23, 3, 1.0f, kS, "a sunshine duration in hours");
        const int missing[kObservedCount] = {missingDays(f, 27, g8), missingDays(f, 28, g8), missingDays(f, 29, g8),
                                             missingDays(f, 32, g9), missingDays(f, 31, g9), missingDays(f, 33, g9)};

        const auto station = stations_.find(id);
        if (station == stations_.end() || !station->second.hasPosition) {
            Unknown& u = unknown_[id];
            if (u.reports++ == 0) {
                u.file = file_;
                u.line = line_;
                u.why =
                    station == stations_.end() ? "is not in the station list" : "has no position in the station list";
            }
            for (int o = 0; o < kObservedCount; ++o)
                if (value[o]) {
                    u.any[o] = true;
                    drop(static_cast<Observed>(o), "of stations without position");
                }
            return;
        }
        const ClimatStation& s = station->second;

        // Plausibility, then completeness.
        auto reject = [&](Observed o, int field, const std::string& why) {
            if (!value[o]) return;
            problem(field, why);
            drop(o, "implausible");
            value[o].reset();
        };
        for (Observed o : {kT, kTx, kTn}) {
            const PlausibleRange r = plausibleRange(kVariableOf[o]);
            const int field = o == kT ? 9 : o == kTx ? 13 : 15;
            if (value[o] && (*value[o] < r.low || *value[o] > r.high))
                reject(o, field, fmt::format("{} °C is not a plausible monthly temperature.", *value[o]));
        }
        if (value[kTx] && value[kTn] && *value[kTx] < *value[kTn]) {
            const std::string why =
                fmt::format("the mean maximum {} °C lies below the mean minimum {} °C.", *value[kTx], *value[kTn]);
            reject(kTx, 13, why);
            reject(kTn, 15, why);
        }
        if (value[kT] && value[kTx] && value[kTn] && (*value[kT] > *value[kTx] + 1 || *value[kT] < *value[kTn] - 1))
            reject(kT, 9,
                   fmt::format("the mean {} °C lies outside the mean minimum {} and maximum {} °C.", *value[kT],
                               *value[kTn], *value[kTx]));
        if (value[kE]) {
            // Vapour pressure well above saturation at the mean maximum (or the mean + 5 °C) is
            // impossible. The margin allows for the mean of daily saturation pressures exceeding
            // the saturation pressure of the mean temperature, most in cold, variable winters.
            const bool known = value[kTx] || value[kT];
            const float warm = value[kTx] ? *value[kTx] : value[kT] ? *value[kT] + 5 : 0.0f;
            if (*value[kE] > plausibleRange(Vap).high)
                reject(kE, 17, fmt::format("{} hPa is not a plausible vapour pressure.", *value[kE]));
            else if (known && *value[kE] > 1.3 * saturationVapourPressure(warm) + 0.5)
                reject(kE, 17,
                       fmt::format("{} hPa exceeds the saturation vapour pressure at {} °C.", *value[kE], warm));
        }
        if (value[kR] && *value[kR] > plausibleRange(Prec).high)
            reject(kR, 19, fmt::format("{} mm is not a plausible monthly precipitation.", *value[kR]));
        if (value[kS]) {
            const double daylight = monthlyDaylightHours(s.lat, *year, *month);
            if (*value[kS] > 1.02 * daylight + 1) {
                reject(kS, 23,
                       fmt::format("{} hours of sunshine exceed the {:.0f} hours of daylight at latitude {}.",
                                   *value[kS], daylight, s.lat));
            } else {
                // The fraction of the astronomical day length; in the polar night there is none.
                value[kS] = daylight > 0 ? std::min(1.0f, static_cast<float>(*value[kS] / daylight)) : 0.0f;
            }
        }
        Accumulator& acc = accumulators_[id];
        for (int o = 0; o < kObservedCount; ++o) {
            if (!value[o]) continue;
            const int limit = o == kR || o == kS ? 0 : kMaxMissingDaysForMean;
            if (missing[o] > limit) {
                drop(static_cast<Observed>(o), "incomplete months");
                continue;
            }
            acc.values[static_cast<size_t>(o)][static_cast<size_t>(*month)].push_back(*value[o]);
            acc.any[o] = true;
        }
    }

public:
    long read_[kObservedCount] = {};

private:
    const std::map<std::string, ClimatStation>& stations_;
    const ClimatOptions& options_;
    ImportReport& report_;
    std::map<std::string, Accumulator> accumulators_;
    std::map<std::string, Unknown> unknown_;
    std::set<std::string> seen_;
    std::string file_;
    long line_ = 0;
    long outsidePeriod_ = 0;
    int firstMonth_ = 999999;
    int lastMonth_ = 0;
    bool skipFile_ = false;
};

float roundTo(double v, double step) { return static_cast<float>(std::round(v / step) * step); }

}  // namespace

std::map<std::string, ClimatStation> parseClimatStationList(std::string_view text, const std::string& file,
                                                            ImportReport& report) {
    std::map<std::string, ClimatStation> stations;
    const char* names[6] = {"WMO-Station ID", "StationName", "Latitude", "Longitude", "Height", "Country"};
    forEachLine(text, [&](long lineNumber, std::string_view line) {
        if (trim(line).empty() || line.substr(0, 3) == "WMO") return;
        auto problem = [&](int field, const std::string& why) {
            report.problems.push_back(
                fmt::format("{}, line {}, field {} ({}): {}", file, lineNumber, field + 1, names[field], why));
        };
        std::vector<std::string_view> f = split(line, ';');
        if (f.size() < 6) {
            report.problems.push_back(
                fmt::format("{}, line {}: {} fields, expected 6; the line is skipped.", file, lineNumber, f.size()));
            return;
        }
        for (auto& field : f) field = trim(field);
        if (!digits(f[0], 5, 5))
            return problem(
                0, fmt::format("\"{}\" is not a five-digit station number; the line is skipped.", std::string(f[0])));
        ClimatStation s;
        s.name = asciiText(f[1]);
        s.country = asciiText(f[5]);
        const auto lat = number(f[2]), lon = number(f[3]);
        if (f[2].empty() && f[3].empty()) {
            s.hasPosition = false;  // listed without coordinates: its reports cannot be placed
        } else if (!lat || *lat < -90 || *lat > 90) {
            problem(2, fmt::format("\"{}\" is not a latitude in -90..90.", std::string(f[2])));
        } else if (!lon || *lon < -180 || *lon > 180) {
            problem(3, fmt::format("\"{}\" is not a longitude in -180..180.", std::string(f[3])));
        } else {
            s.lat = *lat;
            s.lon = *lon;
            s.hasPosition = true;
        }
        if (!f[4].empty()) {
            if (const auto alt = number(f[4]); alt && *alt > -500 && *alt < 9000)
                s.alt = *alt;
            else
                problem(4, fmt::format("\"{}\" is not a height in m; the altitude is unknown.", std::string(f[4])));
        }
        const std::string id(f[0]);
        if (!stations.emplace(id, s).second)
            problem(0, fmt::format("station {} is listed a second time; the first entry is kept.", id));
    });
    return stations;
}

ImportReport importClimat(const std::string& reportFolder, const std::string& stationList, const ClimatOptions& options,
                          Feedback* feedback) {
    ImportReport report;
    const std::map<std::string, ClimatStation> stations = parseClimatStationList(
        readText(stationList, "station list"), std::filesystem::path(stationList).filename().string(), report);

    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(reportFolder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (it->is_regular_file() && name.size() == 21 && name.rfind("CLIMAT_RAW_", 0) == 0 &&
            name.substr(17) == ".txt")
            files.push_back(it->path());
    }
    if (ec) throw Error("The folder of CLIMAT reports " + reportFolder + " cannot be read.");
    if (files.empty()) throw Error("No CLIMAT_RAW_YYYYMM.txt report files in " + reportFolder + ".");
    std::sort(files.begin(), files.end(),
              [](const auto& a, const auto& b) { return a.filename().string() < b.filename().string(); });

    ReportReader reader(stations, options, report);
    for (size_t k = 0; k < files.size(); ++k) {
        if (feedback) {
            if (feedback->isCancelled()) throw Error("The import of the CLIMAT reports was cancelled.");
            feedback->setProgress(static_cast<long long>(k), static_cast<long long>(files.size()));
        }
        reader.readFile(files[k].filename().string(), readText(files[k].string(), "CLIMAT report file"));
    }
    reader.reportUnknownStations();
    for (int o = 0; o < kObservedCount; ++o)
        report.tally[static_cast<size_t>(kVariableOf[o])].valuesRead = reader.read_[o];

    // Normals, station by station in number order.
    const std::string shortOf = fmt::format("fewer than {} valid years in some month", options.minYears);
    Monthly normals[kObservedCount];
    for (const auto& [id, acc] : reader.accumulators()) {
        const ClimatStation& s = stations.at(id);
        bool complete[kObservedCount] = {};
        StationSource source[kObservedCount];
        for (int o = 0; o < kObservedCount; ++o) {
            if (!acc.any[o]) continue;
            const auto& byMonth = acc.values[static_cast<size_t>(o)];
            complete[o] = true;
            source[o] = {id, 9999, 0, "CLIMAT", {}, {}};
            for (int m = 1; m <= 12; ++m) {
                const auto& v = byMonth[static_cast<size_t>(m)];
                if (static_cast<int>(v.size()) < options.minYears || v.empty()) {
                    complete[o] = false;
                    break;
                }
                source[o].yearsMin = std::min(source[o].yearsMin, static_cast<int>(v.size()));
                source[o].yearsMax = std::max(source[o].yearsMax, static_cast<int>(v.size()));
                double sum = 0;
                for (float x : v) sum += x;
                normals[o][static_cast<size_t>(m)] =
                    roundTo(sum / static_cast<double>(v.size()), o == kS ? 0.001 : 0.01);
            }
            VariableTally& tally = report.tally[static_cast<size_t>(kVariableOf[o])];
            if (!complete[o]) {
                tally.stationsDropped[shortOf]++;
                continue;
            }
            Station st = stationOf(s);
            st.Data = normals[o];
            report.lists[static_cast<size_t>(kVariableOf[o])].push_back(st);
            report.sources[static_cast<size_t>(kVariableOf[o])].push_back(source[o]);
            tally.stationsKept++;
        }
        // PET where the station has every input of the Penman-Monteith equation but wind.
        VariableTally& pet = report.tally[PET];
        if (complete[kTx] && complete[kTn] && complete[kE] && complete[kS]) {
            PenmanInputs in;
            in.lat = s.lat;
            in.alt = s.alt;
            in.tmax = normals[kTx];
            in.tmin = normals[kTn];
            in.vap = normals[kE];
            in.sun = normals[kS];
            for (int m = 1; m <= 12; ++m) in.wind[static_cast<size_t>(m)] = 2.0f;  // no wind in the reports
            Station st = stationOf(s);
            const Monthly et0 = referenceEvapotranspiration(in);
            for (int m = 1; m <= 12; ++m) st.Data[static_cast<size_t>(m)] = roundTo(et0[static_cast<size_t>(m)], 0.1);
            report.lists[PET].push_back(st);
            // PET stands on all four inputs: its years are the fewest of theirs.
            StationSource petSource{id, 9999, 9999, "CLIMAT", {}, "PET with assumed wind 2 m/s"};
            for (Observed o : {kTx, kTn, kE, kS}) {
                petSource.yearsMin = std::min(petSource.yearsMin, source[o].yearsMin);
                petSource.yearsMax = std::min(petSource.yearsMax, source[o].yearsMax);
            }
            report.sources[PET].push_back(petSource);
            pet.stationsKept++;
        } else if (complete[kT] || complete[kR]) {
            pet.stationsDropped["without complete Tmax, Tmin, Vap and Sun normals"]++;
        }
    }
    report.about.push_back("Source: Deutscher Wetterdienst, CLIMAT reports.");
    if (reader.firstMonth() <= reader.lastMonth())
        report.about.push_back(fmt::format("Period: {}-{:02}..{}-{:02}", reader.firstMonth() / 100,
                                           reader.firstMonth() % 100, reader.lastMonth() / 100,
                                           reader.lastMonth() % 100));
    report.about.push_back(fmt::format(
        "Derivation: monthly CLIMAT reports; a monthly value counts when well formed, plausible and nearly complete "
        "(at most 10 missing days for means, none for totals); a month's normal is the mean of at least {} valid "
        "years; sunshine as a fraction of the astronomical day length",
        options.minYears));
    report.about.push_back(
        "Note: PET by FAO-56 Penman-Monteith from the Tmax, Tmin, Vap and Sun normals with an assumed wind speed of "
        "2 m/s (the reports carry no wind speed)");
    report.about.push_back("Note: no Wind normals: the CLIMAT reports carry no wind speed");
    if (reader.outsidePeriod() > 0)
        report.notes.push_back(fmt::format("{} reports outside {}..{} not used", reader.outsidePeriod(),
                                           options.fromYear, options.toYear));
    report.notes.push_back(
        "PET: FAO-56 Penman-Monteith from the Tmax, Tmin, Vap and Sun normals with a wind speed of 2 m/s");
    report.notes.push_back("Wind: the CLIMAT reports carry no wind speed; no Wind stations");
    return report;
}

}  // namespace zentrel
