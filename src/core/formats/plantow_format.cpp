// Crop-water tool files: list, climate (".PEN") and rainfall (".CLI").
#include "formats/plantow_format.h"

#include <cstdlib>
#include <filesystem>

#include "base/picture.h"
#include "season/cycle.h"

namespace zentrel {

namespace {

const int kDaysInMonth[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

float clippedBest(const VariableResults& results, int variable, size_t month) {
    return ClipValue(results[static_cast<size_t>(variable)].result.Best[month], variable);
}

/// A climate-file field followed by blanks up to 6 characters, at least one.
std::string field6(const std::string& text) { return text.size() >= 6 ? text + " " : alignLeft(text, 6); }

std::string oneDecimal(float v) { return formatPicture(v, "0.0"); }

}  // namespace

std::string plantowBaseName(const std::string& listPath) {
    const std::string name = std::filesystem::path(listPath).filename().string();
    return name.substr(0, name.find('.'));
}

double effectiveRainfall(double p) { return p < 250 ? p * (125 - 0.2 * p) / 125 : 125 + 0.1 * p; }

PlantowFiles formatPlantow(const VariableResults& results, const Location& location, const std::string& baseName,
                           int locationCount, bool countLine) {
    PlantowFiles files;
    if (countLine) addLine(files.list, std::to_string(locationCount) + " " + baseName);
    addLine(files.list, location.Name + "\t" + shortestFloat(location.Lon) + " " + shortestFloat(location.Lat) + " " +
                            shortestFloat(location.Alt));

    std::string& pen = files.climate;
    addLine(pen, "\"" + baseName + "\",\"" + location.Name + "\"," + formatPicture(location.Alt, "####") + "," +
                     formatPicture(location.Lat, "###.00") + ",\"N.L.\"," + formatPicture(location.Lon, "####.00") +
                     ",\" 01\"");
    for (size_t m = 1; m <= 12; ++m) {
        const float petPerDay = clippedBest(results, PET, m) / static_cast<float>(kDaysInMonth[m - 1]);
        addLine(pen, field6(oneDecimal(clippedBest(results, Tmax, m))) + field6(oneDecimal(clippedBest(results, Tmin, m))) +
                         field6("0") + field6(oneDecimal(clippedBest(results, Wind, m) * 86.4f)) +
                         field6(oneDecimal(clippedBest(results, Sun, m) * 24)) + field6("0") + oneDecimal(petPerDay));
    }
    addLine(pen, "\x1A");
    addLine(pen, "");

    std::string& cli = files.rainfall;
    addLine(cli, "\"" + location.Name + "\",\"\",\" 4\",0,0,0,0,0,0");
    for (size_t m = 1; m <= 12; ++m) {
        const float pet = roundPicture(clippedBest(results, PET, m), "0.00");
        const float prec = roundPicture(clippedBest(results, Prec, m), "0.00");
        // Effective rainfall from the precipitation as written, rounded to two decimals.
        // The values have no pattern of their own: rounded to two decimals, then written in the
        // general form of every number without one ("58.9", "84").
        const float effective = std::strtof(formatPicture(effectiveRainfall(prec), "0.00").c_str(), nullptr);
        addLine(cli, alignRight(shortestFloat(pet), 10) + "\t" + alignRight(shortestFloat(prec), 10) + "\t" +
                         alignRight(shortestFloat(effective), 10));
    }
    files.list = toWindows1252(files.list);
    files.climate = toWindows1252(files.climate);
    files.rainfall = toWindows1252(files.rainfall);
    return files;
}

void savePlantow(const std::string& listPath, const VariableResults& results, const Location& location,
                 bool firstLocation, bool batchMode, int batchCount, const std::string& folder) {
    const bool countLine = batchMode ? firstLocation : true;
    const PlantowFiles files =
        formatPlantow(results, location, plantowBaseName(listPath), batchMode ? batchCount : 1, countLine);
    const std::filesystem::path dir = folder.empty() ? std::filesystem::current_path() : std::filesystem::path(folder);
    saveOutput(listPath, files.list, !firstLocation);
    saveOutput((dir / (location.Name + ".PEN")).string(), files.climate);
    saveOutput((dir / (location.Name + ".CLI")).string(), files.rainfall);
}

}  // namespace zentrel
