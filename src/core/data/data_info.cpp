// Description of a data folder's station database.
#include "data/data_info.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <tuple>

#include "base/picture.h"
#include "base/text_encoding.h"
#include "data/normals_table.h"
#include "data/station_file.h"
#include "data/station_origins.h"
#include "data/station_writer.h"
#include "data/terrain.h"
#include "error.h"
#include "files/read_file.h"
#include "text_lines.h"

namespace zentrel {

namespace {

namespace fs = std::filesystem;

// The bytes of a file of the folder; false when it is missing (no problem) or cannot be read:
// a folder or FIFO in its place (opening a FIFO would wait for a writer forever) is a problem
// named in the report.
bool readWhole(const fs::path& path, std::string& text, std::vector<std::string>& problems, const char* what) {
    std::error_code ec;
    if (!fs::exists(path, ec)) return false;
    try {
        text = readRegularFile(path.string(), what);
        return true;
    } catch (const Error& e) {
        problems.emplace_back(e.what());
        return false;
    }
}

// A count of years as written: decimal digits only, 0..9999 (no sign, no overflow).
bool parseYearCount(std::string_view text, int& years) {
    if (text.empty() || text.size() > 4 || text.find_first_not_of("0123456789") != std::string_view::npos) return false;
    years = std::stoi(std::string(text));
    return true;
}

// "Years Temp: 10..19" -> variable and the two counts. Sets `bad` for a Years line of a known
// variable whose counts are not two such numbers.
bool parseYearsLine(std::string_view line, int& variable, int& low, int& high, bool& bad) {
    bad = false;
    if (line.substr(0, 6) != "Years ") return false;
    const size_t colon = line.find(": ");
    if (colon == std::string_view::npos) return false;
    variable = variableFromName(std::string(line.substr(6, colon - 6)));
    if (variable < 0) return false;
    const std::string_view range = line.substr(colon + 2);
    const size_t dots = range.find("..");
    bad = dots == std::string_view::npos || !parseYearCount(range.substr(0, dots), low) ||
          !parseYearCount(range.substr(dots + 2), high);
    return !bad;
}

std::string yearsText(const VariableInfo& v) {
    return v.yearsMax > 0 ? fmt::format("{}..{}", v.yearsMin, v.yearsMax) : std::string();
}

}  // namespace

DataInfo describeDataFolder(const std::string& folder) {
    DataInfo info;
    info.folder = folder;
    std::error_code ec;
    info.exists = fs::is_directory(folder, ec);
    if (!info.exists) {
        info.problems.push_back("The data folder " + folder + " does not exist.");
        return info;
    }
    const fs::path dir(folder);
    info.demonstration = fs::exists(dir / "DEMONSTRATION", ec);
    info.terrain = fs::exists(dir / kTerrainFileName, ec);
    info.terrainSource = describeTerrain(terrainFolderOf(folder));

    std::string text;
    if (readWhole(dir / kAboutFileName, text, info.problems, "The about file")) {
        forEachLine(text, [&](long lineNumber, std::string_view line) {
            line = trimRight(line);
            int variable = 0, low = 0, high = 0;
            bool bad = false;
            if (parseYearsLine(line, variable, low, high, bad)) {
                info.variables[static_cast<size_t>(variable)].yearsMin = low;
                info.variables[static_cast<size_t>(variable)].yearsMax = high;
            } else if (bad) {
                info.problems.push_back(fmt::format("The about file {}, line {}: \"{}\" does not give the valid years as "
                                                    "two whole numbers 0..9999.",
                                                    (dir / kAboutFileName).string(), lineNumber, toValidUtf8(line)));
            } else if (!line.empty()) {
                // Any bytes may stand in a text file; what is not UTF-8 is read as Windows-1252.
                info.about.push_back(toValidUtf8(line));
            }
        });
    }

    std::set<std::tuple<float, float, std::string>> distinct;
    bool any = false;
    for (int v = 0; v < kVariableCount; ++v) {
        VariableInfo& vi = info.variables[static_cast<size_t>(v)];
        for (const std::string& name : stationFilesOf(v)) {
            if (!fs::exists(dir / name, ec)) {
                info.problems.push_back(fmt::format("The station file {} is missing.", (dir / name).string()));
                continue;
            }
            if (!readWhole(dir / name, text, info.problems, "The station file")) continue;
            std::vector<Station> stations;
            try {
                stations = parseStationText(text, (dir / name).string());
            } catch (const Error& e) {
                info.problems.push_back(e.what());
                continue;
            }
            for (const Station& s : stations) {
                ++vi.stations;
                if (s.Alt == kUnknown) ++vi.withoutAltitude;
                if (!distinct.emplace(s.Lat, s.Lon, s.Name).second) continue;
                if (s.Alt == kUnknown) ++info.withoutAltitude;
                if (!any) {
                    info.latMin = info.latMax = s.Lat;
                    info.lonMin = info.lonMax = s.Lon;
                    any = true;
                }
                info.latMin = std::min(info.latMin, s.Lat);
                info.latMax = std::max(info.latMax, s.Lat);
                info.lonMin = std::min(info.lonMin, s.Lon);
                info.lonMax = std::max(info.lonMax, s.Lon);
            }
        }
    }
    info.stations = static_cast<int>(distinct.size());

    // The sources, from the station table; the terms from the about file's "Terms <source>:"
    // lines, else the known ones.
    if (readWhole(dir / kStationTableFileName, text, info.problems, "The station table")) {
        info.stationTable = true;
        try {
            const StationOrigins origins = StationOrigins::parse(text, (dir / kStationTableFileName).string());
            std::map<std::string, std::set<std::string>> periods;
            for (const StationOrigins::Row& row : origins.rows()) {
                info.sources[row.origin->source].stations[static_cast<size_t>(row.variable)]++;
                if (!row.origin->period.empty()) periods[row.origin->source].insert(row.origin->period);
            }
            for (auto& [source, si] : info.sources) {
                si.periods.assign(periods[source].begin(), periods[source].end());
                const auto known = knownSourceTerms().find(source);
                if (known != knownSourceTerms().end()) si.terms = known->second;
                const std::string key = "Terms " + source + ": ";
                for (const std::string& line : info.about)
                    if (line.rfind(key, 0) == 0) si.terms = line.substr(key.size());
            }
        } catch (const Error& e) {
            info.problems.push_back(e.what());
        }
    }
    return info;
}

std::string formatDataInfo(const DataInfo& info) {
    std::string out = "Data folder: " + info.folder + "\n";
    if (!info.exists) return out + "The folder does not exist.\n";
    if (info.demonstration)
        out += "DEMONSTRATION DATA: an emulated station database (real places, emulated climate), not real stations.\n";
    for (const std::string& line : info.about) out += line + "\n";
    if (info.about.empty() && !info.demonstration) out += "No description of the station database (no about.txt).\n";
    out += fmt::format("Stations: {} ({} without altitude)\n", info.stations, info.withoutAltitude);
    if (info.stations > 0)
        out += fmt::format("Extent: latitude {} .. {}, longitude {} .. {}\n", shortestFloat(info.latMin),
                           shortestFloat(info.latMax), shortestFloat(info.lonMin), shortestFloat(info.lonMax));
    out += fmt::format("Elevation raster: {}\n", info.terrain ? "present" : "missing");
    if (!info.terrainSource.empty()) out += fmt::format("Terrain: {}\n", info.terrainSource);
    out += "\nVariable  Stations  Without altitude  Valid years\n";
    for (int v = 0; v < kVariableCount; ++v) {
        const VariableInfo& vi = info.variables[static_cast<size_t>(v)];
        if (vi.stations == 0)
            out += fmt::format("{:<8}  {:>8}  {}\n", kVariableNames[static_cast<size_t>(v)], 0,
                               missingVariableMessage(v));
        else
            out += fmt::format("{:<8}  {:>8}  {:>16}  {}\n", kVariableNames[static_cast<size_t>(v)], vi.stations,
                               vi.withoutAltitude, yearsText(vi));
    }
    if (!info.stationTable) {
        out += fmt::format("\nSources of the single stations: not known (the folder keeps no {}).\n", kStationTableFileName);
    } else {
        out += "\nStations per source\nSource     Period                Temp  Tmax  Tmin  Prec   Vap   PET  Wind   Sun\n";
        for (const auto& [source, si] : info.sources) {
            std::string periods;
            for (const std::string& p : si.periods) periods += (periods.empty() ? "" : ", ") + p;
            out += fmt::format("{:<10} {:<20}", source.empty() ? "-" : source, periods.empty() ? "-" : periods);
            for (int n : si.stations) out += fmt::format(" {:>5}", n);
            out += "\n";
        }
        bool heading = false;
        for (const auto& [source, si] : info.sources) {
            if (si.terms.empty()) continue;
            if (!heading) out += "Terms of use:\n";
            heading = true;
            out += fmt::format("  {}: {}\n", source, si.terms);
        }
    }
    for (const std::string& p : info.problems) out += "Problem: " + p + "\n";
    return out;
}

std::string formatDataInfoJson(const DataInfo& info) {
    nlohmann::ordered_json doc;
    doc["folder"] = info.folder;
    doc["exists"] = info.exists;
    doc["demonstration"] = info.demonstration;
    doc["about"] = info.about;
    doc["stations"] = info.stations;
    doc["withoutAltitude"] = info.withoutAltitude;
    if (info.stations > 0)
        doc["extent"] = {{"latMin", info.latMin}, {"latMax", info.latMax}, {"lonMin", info.lonMin}, {"lonMax", info.lonMax}};
    doc["terrain"] = info.terrain;
    doc["terrainSource"] = info.terrainSource;
    nlohmann::ordered_json vars = nlohmann::ordered_json::object();
    for (int v = 0; v < kVariableCount; ++v) {
        const VariableInfo& vi = info.variables[static_cast<size_t>(v)];
        nlohmann::ordered_json j = {{"stations", vi.stations}, {"withoutAltitude", vi.withoutAltitude}};
        if (vi.yearsMax > 0) j["validYears"] = {vi.yearsMin, vi.yearsMax};
        vars[kVariableNames[static_cast<size_t>(v)]] = j;
    }
    doc["variables"] = vars;
    doc["stationTable"] = info.stationTable;
    nlohmann::ordered_json sources = nlohmann::ordered_json::object();
    for (const auto& [source, si] : info.sources) {
        nlohmann::ordered_json counts = nlohmann::ordered_json::object();
        for (int v = 0; v < kVariableCount; ++v)
            counts[kVariableNames[static_cast<size_t>(v)]] = si.stations[static_cast<size_t>(v)];
        sources[source.empty() ? "-" : source] = {
            {"periods", si.periods}, {"stations", counts}, {"terms", si.terms.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(si.terms)}};
    }
    doc["sources"] = sources;
    doc["problems"] = info.problems;
    // The folder's name and the problems quote bytes of the disk, which need not be UTF-8.
    return doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string formatExcludedInfo(const std::string& folder) {
    bool kept = false;
    const std::vector<ExcludedStation> list = excludedStationsOf(folder, kept);
    const std::string path = (fs::path(folder) / kExcludedFileName).string();
    if (!kept) return fmt::format("The data folder {} keeps no list of excluded stations ({}).\n", folder, kExcludedFileName);
    std::string out = fmt::format("Excluded stations: {} (from {})\n", list.size(), path);
    for (const ExcludedStation& e : list) {
        std::string who = e.id.empty() ? std::string("-") : e.id;
        if (!e.name.empty()) who += " " + e.name;
        if (!e.country.empty()) who += " (" + e.country + ")";
        std::string what = e.variable.empty() ? std::string() : e.variable;
        if (!e.source.empty()) what += (what.empty() ? "" : ", ") + e.source;
        out += fmt::format("{}{}: {}\n", toValidUtf8(who), what.empty() ? "" : " [" + toValidUtf8(what) + "]",
                           toValidUtf8(e.reason));
    }
    return out;
}

std::string formatExcludedInfoJson(const std::string& folder) {
    bool kept = false;
    const std::vector<ExcludedStation> list = excludedStationsOf(folder, kept);
    nlohmann::ordered_json doc;
    doc["folder"] = folder;
    doc["kept"] = kept;
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    const auto number = [](float v) { return std::isfinite(v) ? nlohmann::ordered_json(v) : nlohmann::ordered_json(); };
    for (const ExcludedStation& e : list)
        rows.push_back({{"id", e.id},
                        {"name", e.name},
                        {"country", e.country},
                        {"lat", number(e.lat)},
                        {"lon", number(e.lon)},
                        {"alt", e.alt == kUnknown ? nlohmann::ordered_json() : nlohmann::ordered_json(e.alt)},
                        {"variable", e.variable.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(e.variable)},
                        {"source", e.source.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(e.source)},
                        {"reason", e.reason}});
    doc["stations"] = rows;
    return doc.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

bool holdsVariable(const std::string& folder, int variable) {
    for (const std::string& name : stationFilesOf(variable)) {
        // A folder or FIFO in place of the file is for the loader to refuse by name; opening a
        // FIFO here would wait for a writer forever.
        if (!specialFileKind((fs::path(folder) / name).string()).empty()) return true;
        std::ifstream in(fs::path(folder) / name, std::ios::binary);
        if (!in) return true;  // missing: the loader says so
        // Read only as far as the first character that is not blank: one block for a full file.
        char block[4096];
        while (in.read(block, sizeof block) || in.gcount() > 0) {
            const std::string_view text(block, static_cast<size_t>(in.gcount()));
            if (text.find_first_not_of(" \t\r\n\x1a") != std::string_view::npos) return true;
        }
    }
    return false;
}

bool holdsAnyStationFile(const std::string& folder) {
    std::error_code ec;
    for (int v = 0; v < kVariableCount; ++v)
        for (const std::string& name : stationFilesOf(v))
            if (fs::exists(fs::symlink_status(fs::path(folder) / name, ec)) && holdsVariable(folder, v)) return true;
    return false;
}

std::string missingVariableMessage(int variable) {
    return fmt::format("this station database holds no {} normals", kVariableNames[static_cast<size_t>(variable)]);
}

std::string skippedVariableNote(int variable) {
    return fmt::format("{} skipped: {}", kVariableNames[static_cast<size_t>(variable)], missingVariableMessage(variable));
}

std::string writerNeedsMessage(const std::string& writer, int variable) {
    return fmt::format("{} needs {} normals, but {}; add them with zentrel data import-csv.", writer,
                       kVariableNames[static_cast<size_t>(variable)], missingVariableMessage(variable));
}

std::string aboutFileText(const std::vector<std::string>& lines, const std::array<VariableInfo, kVariableCount>& years,
                          const std::string& built) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    for (int v = 0; v < kVariableCount; ++v)
        if (years[static_cast<size_t>(v)].yearsMax > 0)
            text += fmt::format("Years {}: {}\n", kVariableNames[static_cast<size_t>(v)],
                                yearsText(years[static_cast<size_t>(v)]));
    if (!built.empty()) text += "Built: " + built + "\n";
    return text;
}

void writeAboutFile(const std::string& folder, const std::vector<std::string>& lines,
                    const std::array<VariableInfo, kVariableCount>& years, const std::string& built) {
    writeTextFile((fs::path(folder) / kAboutFileName).string(), aboutFileText(lines, years, built));
}

}  // namespace zentrel
