// Colour table and overlay files beside an exported raster.
#include "maps/export_companions.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <fmt/format.h>

#include "error.h"
#include "files/read_file.h"

namespace zentrel {

namespace {

/// A value of the legend: as few decimals as the class width needs.
std::string legendValue(double value, double width) {
    const int decimals = width >= 10 ? 0 : width >= 0.1 ? 1 : width >= 0.01 ? 2 : 3;
    std::string text = fmt::format("{:.{}f}", value, decimals);
    if (text.find_first_not_of("-0.") == std::string::npos) text = fmt::format("{:.{}f}", 0.0, decimals);
    return text;
}

Rgb ramp(double t) {
    // Blue, cyan, green, yellow, red.
    static const std::array<Rgb, 5> stops = {Rgb{40, 70, 200}, Rgb{40, 180, 210}, Rgb{60, 170, 60}, Rgb{235, 215, 50},
                                             Rgb{200, 40, 30}};
    t = std::clamp(t, 0.0, 1.0) * (stops.size() - 1);
    const auto i = std::min(static_cast<size_t>(t), stops.size() - 2);
    const double f = t - static_cast<double>(i);
    const auto mix = [f](uint8_t a, uint8_t b) { return static_cast<uint8_t>(std::lround(a + (b - a) * f)); };
    return {mix(stops[i].Red, stops[i + 1].Red), mix(stops[i].Green, stops[i + 1].Green),
            mix(stops[i].Blue, stops[i + 1].Blue)};
}

void writeWhole(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::path part = path;
    part += ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) throw Error("File " + path.string() + " cannot be written.");
    }
    std::error_code ec;
    std::filesystem::rename(part, path, ec);
    if (ec) throw Error("File " + path.string() + " cannot be written: " + ec.message());
}

std::string readWhole(const std::string& path) {
    requireRegularFile(path, "File");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error("File " + path + " cannot be read.");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::vector<ColourRange> exportColourRanges(const ImgRaster& raster) {
    int low = 256, high = -1;
    for (uint8_t c : raster.Cells)
        if (c < kCapitalsEntry) {
            low = std::min<int>(low, c);
            high = std::max<int>(high, c);
        }
    std::vector<ColourRange> ranges;
    if (high >= 0) {
        const int classes = std::min(10, high - low + 1);
        for (int k = 0; k < classes; ++k) {
            const int first = low + (high - low + 1) * k / classes;
            const int last = low + (high - low + 1) * (k + 1) / classes - 1;
            const double from = raster.Header.valueOf(static_cast<uint8_t>(first));
            const double to = raster.Header.valueOf(static_cast<uint8_t>(last)) + raster.Header.Scale;
            const double width = std::fabs(to - from);
            ranges.push_back({first, last, ramp(classes == 1 ? 0.5 : static_cast<double>(k) / (classes - 1)),
                              legendValue(from, width) + " - " + legendValue(to, width)});
        }
    }
    ranges.push_back({255, 255, {210, 225, 240}, "Sea"});
    return ranges;
}

void writeExportCompanions(const std::string& imgPath, const ImgRaster& raster, const MapFiles& displayed) {
    namespace fs = std::filesystem;
    const fs::path img(imgPath);
    const std::string name = img.filename().string();
    const fs::path base = img.parent_path() / name.substr(0, name.find('.'));
    std::string title = raster.Header.Title;
    title.erase(title.find_last_not_of(' ') + 1);
    writeWhole(fs::path(base.string() + ".clr"),
               formatColourFile("First\tLast\tRed\tGreen\tBlue\tLabel " + title, exportColourRanges(raster)));
    writeWhole(fs::path(base.string() + ".bnd"), readWhole(displayed.Bnd));
    writeWhole(fs::path(base.string() + ".cty"), readWhole(displayed.Cty));
}

}  // namespace zentrel
