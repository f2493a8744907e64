// Reading station files: free-format 17-field lines, band files, the 30000-station table.
#include "data/station_file.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/picture.h"
#include "data/possible_values.h"
#include "decimal_number.h"
#include "error.h"
#include "files/read_file.h"
#include "notices.h"
#include "text_lines.h"

namespace zentrel {

namespace {

constexpr BandBounds kTempBands{{-2, 11, 25, 37, 90}, {-138, -87, -61, -16, 30, 108, 180}, "mela", "mesud.txt", "menor.txt"};
constexpr BandBounds kPrecBands{{0, 13, 26, 37, 90}, {-133, -87, -61, -7, 44, 120, 180}, "prla", "prsud.txt", "prnor.txt"};

const BandBounds& boundsOf(int variable) { return variable == Prec ? kPrecBands : kTempBands; }

const char* kFieldNames[17] = {"latitude", "longitude", "altitude", "January", "February", "March",
                               "April",    "May",       "June",     "July",    "August",   "September",
                               "October",  "November",  "December", "name",    "country"};

}  // namespace

const BandBounds& bandBounds(int variable) { return boundsOf(variable); }

BandIndex bandOf(int variable, float lon, float lat) {
    const BandBounds& b = boundsOf(variable);
    BandIndex band{6, 6};
    for (int k = 1; k <= 5; ++k)
        if (lat < b.lat[k - 1]) {
            band.lat = k;
            break;
        }
    for (int k = 1; k <= 7; ++k)
        if (lon < b.lon[k - 1]) {
            band.lon = k - 1;
            break;
        }
    if (band.lon == 0) band.lon = 6;  // west of the first bound: the band across the date line
    return band;
}

std::string bandFileName(int variable, int latBand, int lonBand) {
    return fmt::format("{}{}lo{}.txt", boundsOf(variable).prefix, latBand, lonBand);
}

std::string wholeFileName(int variable) {
    switch (variable) {
        case Tmax: return "max.txt";
        case Tmin: return "min.txt";
        case Vap: return "vap.txt";
        case PET: return "pet.txt";
        case Wind: return "windsp.txt";
        case Sun: return "sufr.txt";
        default: return "";
    }
}

int variableOfStationFile(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    for (int v = 0; v < kVariableCount; ++v) {
        if (v == Temp || v == Prec) {
            const BandBounds& b = boundsOf(v);
            if (name.rfind(b.prefix, 0) == 0 || name == b.south || name == b.north) return v;
        } else if (name == wholeFileName(v)) {
            return v;
        }
    }
    return -1;
}

std::vector<std::string> candidateFiles(int variable, float lon, float lat) {
    if (variable != Temp && variable != Prec) return {wholeFileName(variable)};
    const BandBounds& b = boundsOf(variable);
    const BandIndex band = bandOf(variable, lon, lat);
    const int i = band.lat, j = band.lon;
    const int i2 = i + 1 == 7 ? 1 : i + 1;
    const int j2 = j + 1 == 7 ? 1 : j + 1;
    std::vector<std::string> files{bandFileName(variable, i, j), bandFileName(variable, i2, j),
                                   bandFileName(variable, i, j2), bandFileName(variable, i2, j2)};
    if (lat < -50) files.emplace_back(b.south);
    if (lat > 60) files.emplace_back(b.north);
    return files;
}

namespace {
// One line of a station file of `variable` (-1: not known from the file name). The fields are
// views into the line: a line costs no allocation but the name and country of its station.
Station parseLine(std::string_view line, const std::string& file, long lineNumber, int variable) {
    std::array<std::string_view, 18> fields;
    size_t count = 0;
    size_t pos = 0;
    const size_t n = line.size();
    auto skipBlanks = [&] {
        while (pos < n && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    };
    bool afterComma = false;
    while (true) {
        skipBlanks();
        if (pos >= n) {
            if (afterComma) fields[count++] = {};  // "a,b," ends with an empty field
            break;
        }
        if (line[pos] == ',') {  // empty field between two commas
            fields[count++] = {};
            ++pos;
            afterComma = true;
            if (count > 17) break;
            continue;
        }
        std::string_view field;
        if (line[pos] == '"') {
            const size_t close = line.find('"', pos + 1);
            if (close == std::string_view::npos)
                throw Error(fmt::format("Station file {}, line {}: field {} has no closing quote.", file, lineNumber,
                                        count + 1));
            field = line.substr(pos + 1, close - pos - 1);
            pos = close + 1;
            // A quote closes a field only before a separator or the end of the line: `"Rome, "IT"`
            // lacks the quote after Rome, and would put a comma in the name and a quote in the
            // country (the CSV importer refuses such a row too).
            if (pos < n && line[pos] != ',' && line[pos] != ' ' && line[pos] != '\t')
                throw Error(fmt::format("Station file {}, line {}: field {} has no closing quote.", file, lineNumber,
                                        count + 1));
        } else {
            const size_t start = pos;
            while (pos < n && line[pos] != ',' && line[pos] != ' ' && line[pos] != '\t') ++pos;
            field = line.substr(start, pos - start);
            if (field.find('"') != std::string_view::npos)
                throw Error(fmt::format("Station file {}, line {}: field {} has a quote inside an unquoted value.", file,
                                        lineNumber, count + 1));
        }
        fields[count++] = field;
        skipBlanks();
        afterComma = pos < n && line[pos] == ',';
        if (afterComma) ++pos;
        if (count > 17) break;
    }
    if (count != 17)
        throw Error(fmt::format("Station file {}, line {}: expected 17 fields (latitude, longitude, altitude, "
                                "12 monthly values, name, country), found {}.",
                                file, lineNumber, count > 17 ? "more" : std::to_string(count)));
    float numbers[15];
    for (int f = 0; f < 15; ++f) {
        const std::string_view text = fields[static_cast<size_t>(f)];
        if (text.empty()) {
            numbers[f] = 0;
            continue;
        }
        const std::optional<float> v = parseDecimalFloat(text);
        if (!v)
            throw Error(fmt::format("Station file {}, line {}, field {} ({}): {}.", file, lineNumber, f + 1,
                                    kFieldNames[f], decimalProblem(text, true)));
        numbers[f] = *v;
    }
    // Values no station can have would turn every estimate within reach into NaN or infinity.
    auto refuse = [&](int f, const std::string& reason) {
        throw Error(fmt::format("Station file {}, line {}, field {} ({}): {}.", file, lineNumber, f + 1, kFieldNames[f],
                                reason));
    };
    if (!(numbers[0] >= -90 && numbers[0] <= 90))
        refuse(0, "\"" + std::string(fields[0]) + "\" is not a latitude in -90..90");
    if (!(numbers[1] >= -180 && numbers[1] <= 180))
        refuse(1, "\"" + std::string(fields[1]) + "\" is not a longitude in -180..180");
    if (const std::string problem = altitudeProblem(numbers[2]); !problem.empty()) refuse(2, problem);
    for (int f = 3; f < 15; ++f)
        if (const std::string problem = monthlyValueProblem(numbers[f], variable); !problem.empty()) refuse(f, problem);
    Station s;
    s.Lat = numbers[0];
    s.Lon = numbers[1];
    s.Alt = numbers[2];
    for (int m = 1; m <= 12; ++m) s.Data[static_cast<size_t>(m)] = numbers[2 + m];
    s.Name = fields[15];
    s.Country = fields[16];
    return s;
}

void parseInto(std::string_view text, const std::string& file, std::vector<Station>& out, size_t limit) {
    const int variable = variableOfStationFile(file);
    if (const size_t ctrlZ = text.find('\x1a'); ctrlZ != std::string_view::npos) {
        const long after = countLines(textAfterCtrlZ(text));
        if (after > 0) {
            const long at = static_cast<long>(std::count(text.begin(), text.begin() + static_cast<long>(ctrlZ), '\n')) + 1;
            notice(fmt::format("Station file {}, line {}: a Ctrl-Z character ends the file; {} line{} after it {} not read.",
                               file, at, after, after == 1 ? "" : "s", after == 1 ? "is" : "are"));
        }
    }
    forEachLine(text, [&](long lineNumber, std::string_view line) {
        line = trimRight(line);
        if (line.find_first_not_of(" \t") == std::string_view::npos) return;
        if (out.size() >= limit)
            throw Error(fmt::format("Station file {}, line {}: more than {} stations for one estimate; the station "
                                    "table is full.",
                                    file, lineNumber, kMaxStations));
        out.push_back(parseLine(line, file, lineNumber, variable));
    });
}

std::string readWholeFile(const std::string& path) { return readRegularFile(path, "Station file"); }
}  // namespace

Station parseStationLine(std::string_view line, const std::string& file, long lineNumber) {
    return parseLine(line, file, lineNumber, variableOfStationFile(file));
}

std::vector<Station> parseStationText(std::string_view text, const std::string& file) {
    std::vector<Station> out;
    parseInto(text, file, out, static_cast<size_t>(-1));
    return out;
}

void ReadStationFile(const std::string& path, StationTable& table) {
    const std::string text = readWholeFile(path);
    parseInto(text, path, table.stations, kMaxStations);
}

void LoadCandidates(const std::string& dataFolder, int variable, float lon, float lat, StationTable& table) {
    table.stations.clear();
    for (const std::string& name : candidateFiles(variable, lon, lat))
        ReadStationFile((std::filesystem::path(dataFolder) / name).string(), table);
}

std::string formatStationLine(const Station& s) {
    auto text = [](std::string t) {
        for (char& c : t)
            if (c == '"') c = '\'';
        return "\"" + t + "\"";
    };
    std::string line = roundTripFloat(s.Lat) + "," + roundTripFloat(s.Lon) + "," + roundTripFloat(s.Alt);
    for (int m = 1; m <= 12; ++m) line += "," + roundTripFloat(s.Data[static_cast<size_t>(m)]);
    line += "," + text(s.Name) + "," + text(s.Country);
    return line;
}

}  // namespace zentrel
