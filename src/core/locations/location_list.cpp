// Location files and grids for the batch window's list.
#include "locations/location_list.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string_view>

#include "base/picture.h"
#include "decimal_number.h"
#include "error.h"
#include "files/read_file.h"
#include "settings/program_settings.h"
#include "text_lines.h"

namespace zentrel {

namespace {

constexpr long long kMaxGridPoints = 10'000'000;

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

std::vector<std::string> splitFields(std::string_view line) {
    std::vector<std::string> fields;
    size_t start = 0;
    while (true) {
        const size_t comma = line.find(',', start);
        fields.emplace_back(trimBlanks(line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start)));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return fields;
}

float number(const std::string& field) { return static_cast<float>(leadingNumber(field)); }

std::string generatedName(float lon, float lat, float alt) {
    return " Lon : " + shortestFloat(lon) + " Lat : " + shortestFloat(lat) + " Alt : " + shortestFloat(alt);
}

/// The counter values of one grid axis: min, min + step, ... while not past max.
std::vector<float> axisValues(float min, float max, float intervals, const char* axis) {
    if (!(intervals > 0))
        throw Error(std::string("The number of ") + axis + " intervals must be positive.");
    const float step = (max - min) / intervals;
    std::vector<float> values;
    // A zero step (minimum equal to maximum) would never end the loop: the axis is one point.
    if (step == 0) return {min};
    for (float counter = min; step > 0 ? counter <= max : counter >= max;) {
        values.push_back(counter);
        if (static_cast<long long>(values.size()) > kMaxGridPoints)
            throw Error(std::string("The grid has more than 10000000 points along its ") + axis + " axis.");
        const float next = counter + step;
        if (next == counter)
            throw Error(std::string("The ") + axis + " step of the grid is too small to advance a single-precision coordinate.");
        counter = next;
    }
    return values;
}

}  // namespace

Location rowLocation(const LocationRow& row) { return {row.name, number(row.lon), number(row.lat), number(row.alt)}; }

LocationFileResult parseLocationText(const std::string& text, const ElevationLookup& elevation, Location& working) {
    LocationFileResult out;
    // The rules read a field by its leading number, 0 when there is none: the reading stays,
    // but each such field is noted so that "abc,41" is not estimated at 0,41 without a word.
    long lineNumber = 0;
    auto field = [&](const std::string& text, int index, const char* what) {
        const float value = number(text);
        if (!isDecimalNumber(text))
            out.notes.push_back("line " + std::to_string(lineNumber) + ", field " + std::to_string(index) + " (" + what +
                                "): \"" + text + "\" is not a number; read as " + shortestFloat(value) + ".");
        return value;
    };
    forEachLine(text, [&](long line, std::string_view rawLine) {
        lineNumber = line;
        const std::vector<std::string> fields = splitFields(trimBlanks(rawLine));
        std::string name;
        switch (fields.size()) {
            case 2:
            case 3:
                working.Lon = field(fields[0], 1, "longitude");
                working.Lat = field(fields[1], 2, "latitude");
                working.Alt = fields.size() == 3 ? field(fields[2], 3, "altitude") : elevation(working.Lon, working.Lat);
                name = generatedName(working.Lon, working.Lat, working.Alt);
                break;
            case 4:
                working.Lon = field(fields[0], 1, "longitude");
                working.Lat = field(fields[1], 2, "latitude");
                working.Alt = field(fields[2], 3, "altitude");
                name = fields[3];
                break;
            default:
                name = "Wrong Data";  // the working location keeps the values of the line before
                out.notes.push_back("line " + std::to_string(line) + ": " + std::to_string(fields.size()) +
                                    " fields instead of 2, 3 or 4; a \"Wrong Data\" row with the position of the line "
                                    "before.");
                break;
        }
        const Location& w = working;
        if (!(w.Lon >= -180 && w.Lon <= 180 && w.Lat >= -90 && w.Lat <= 90 && w.Alt >= -600 && w.Alt <= 10000)) {
            out.skipped.push_back("Location " + name + " Skipped : Longitude or Latitude or Altitude not valid.");
            out.skippedLines.push_back(line);
            return;
        }
        out.rows.push_back({name, shortestFloat(w.Lon), shortestFloat(w.Lat), shortestFloat(w.Alt)});
    });
    if (const size_t ctrlZ = text.find('\x1a'); ctrlZ != std::string::npos) {
        const long after = countLines(textAfterCtrlZ(text));
        const long at = static_cast<long>(std::count(text.begin(), text.begin() + static_cast<long>(ctrlZ), '\n')) + 1;
        out.notes.push_back("line " + std::to_string(at) + ": a Ctrl-Z character ends the file; " +
                            std::to_string(after) + (after == 1 ? " line after it is" : " lines after it are") +
                            " not read.");
    }
    return out;
}

LocationFileResult readLocationFile(const std::string& path, const ElevationLookup& elevation, Location& working) {
    requireRegularFile(path, "The location file");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error("Cannot open the location file \"" + path + "\".");
    in.close();
    return parseLocationText(readRegularFile(path, "The location file"), elevation, working);
}

long long gridPointCount(const GridDefinition& g) {
    const auto lats = axisValues(g.latMin, g.latMax, g.latIntervals, "latitude");
    const auto lons = axisValues(g.lonMin, g.lonMax, g.lonIntervals, "longitude");
    return static_cast<long long>(lats.size()) * static_cast<long long>(lons.size());
}

std::vector<LocationRow> gridLocations(const GridDefinition& g, const ElevationLookup& elevation, Feedback* feedback) {
    const std::vector<float> lats = axisValues(g.latMin, g.latMax, g.latIntervals, "latitude");
    const std::vector<float> lons = axisValues(g.lonMin, g.lonMax, g.lonIntervals, "longitude");
    const long long total = static_cast<long long>(lats.size()) * static_cast<long long>(lons.size());
    if (total > kMaxGridPoints)
        throw Error("The grid has " + std::to_string(total) + " points; at most 10000000 can be listed.");
    std::vector<LocationRow> rows;
    rows.reserve(static_cast<size_t>(total));
    for (float lat : lats) {
        for (float lon : lons) {
            const float alt = elevation(lon, lat);
            const std::string lonText = formatPicture(lon, "##0.00");
            const std::string latText = formatPicture(lat, "##0.00");
            const std::string altText = formatPicture(alt, "###0");
            rows.push_back({" Lon : " + lonText + " Lat : " + latText + " Alt : " + altText, lonText, latText, altText});
        }
        if (feedback) {
            feedback->setProgress(static_cast<long long>(rows.size()), total);
            if (feedback->isCancelled()) break;
        }
    }
    return rows;
}

}  // namespace zentrel
