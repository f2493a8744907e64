// BNA boundary and capital files: parsing, writing and reduction to map pixels.
#include "maps/bna_file.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "error.h"
#include "files/read_file.h"
#include "maps/text_fields.h"

namespace zentrel {

using maps_detail::parseNumber;
using maps_detail::split;
using maps_detail::trimmed;

namespace {

/// The header fields of a shape. A field in double quotes runs to its closing quote, so a name
/// such as "Korea, Republic of" keeps its comma; an unquoted field runs to the next comma.
std::vector<std::string> headerFields(std::string_view line) {
    std::vector<std::string> fields;
    size_t pos = 0;
    while (pos <= line.size()) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        std::string field;
        if (pos < line.size() && line[pos] == '"') {
            const size_t close = line.find('"', pos + 1);
            field = std::string(line.substr(pos + 1, close == std::string_view::npos ? std::string_view::npos
                                                                                   : close - pos - 1));
            pos = close == std::string_view::npos ? line.size() : close + 1;
            pos = std::min(line.find(',', pos), line.size());
        } else {
            const size_t comma = std::min(line.find(',', pos), line.size());
            field = std::string(trimmed(line.substr(pos, comma - pos)));
            pos = comma;
        }
        fields.push_back(std::move(field));
        if (pos >= line.size()) break;
        ++pos;  // past the comma
    }
    return fields;
}

double coordinate(std::string_view text, double limit, const std::string& fileName, long lineNumber, int field,
                  const char* what) {
    const auto value = parseNumber(text);
    if (!value)
        throw Error(fmt::format("BNA file {}, line {}, field {} ({}): \"{}\" is not a number.", fileName, lineNumber,
                                field, what, trimmed(text)));
    if (*value < -limit || *value > limit)
        throw Error(fmt::format("BNA file {}, line {}, field {} ({}): {} lies outside -{} to {}.", fileName,
                                lineNumber, field, what, trimmed(text), limit, limit));
    return *value;
}

std::string readWhole(const std::string& path) {
    requireRegularFile(path, "BNA file");
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::error_code ec;
        if (!std::filesystem::exists(path, ec)) throw Error("BNA file " + path + " is missing.");
        throw Error("BNA file " + path + " cannot be read.");
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) throw Error("BNA file " + path + " cannot be read.");
    return buffer.str();
}

std::string formatCoordinate(double value) {
    std::string text = fmt::format("{:.5f}", value);
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    if (text == "-0") text = "0";
    return text;
}

std::string nameField(const std::string& name) {
    std::string safe = name;
    for (char& c : safe)
        if (c == '"') c = '\'';
        else if (c == '\n' || c == '\r') c = ' ';
    return '"' + safe + '"';
}

}  // namespace

std::vector<BnaShape> parseBna(const std::string& text, const std::string& fileName) {
    std::vector<BnaShape> shapes;
    long lineNumber = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string_view line = trimmed(std::string_view(text).substr(start, end - start));
        start = end + 1;
        ++lineNumber;
        if (line.empty()) continue;
        if (line.front() == '"') {
            const auto fields = headerFields(line);
            shapes.push_back({fields[0], fields.size() > 1 ? fields[1] : std::string(), {}});
            continue;
        }
        const auto fields = split(line, ',');
        if (fields.size() < 2) continue;  // not a point
        // Points before the first header belong to no shape; they are checked but not kept.
        const double lon = coordinate(fields[0], 180, fileName, lineNumber, 1, "longitude");
        const double lat = coordinate(fields[1], 90, fileName, lineNumber, 2, "latitude");
        if (!shapes.empty()) shapes.back().Points.push_back({lon, lat});
    }
    return shapes;
}

std::vector<BnaShape> readBna(const std::string& path) { return parseBna(readWhole(path), path); }

std::string formatBna(const std::vector<BnaShape>& shapes) {
    std::string out;
    for (const BnaShape& shape : shapes) {
        out += fmt::format("{},{},{}\n", nameField(shape.Name), nameField(shape.SecondName), shape.Points.size());
        for (const LonLat& p : shape.Points) out += formatCoordinate(p.lon) + "," + formatCoordinate(p.lat) + "\n";
    }
    return out;
}

void writeBna(const std::string& path, const std::vector<BnaShape>& shapes) {
    const std::string text = formatBna(shapes);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out) throw Error("BNA file " + path + " cannot be written.");
}

PixelPoint toPixel(const LonLat& point, int width, int height) {
    // Single precision, as the layers are kept; Int rounds down.
    const float lon = static_cast<float>(point.lon), lat = static_cast<float>(point.lat);
    const float x = std::floor((lon + 180.0f) / 360.0f * static_cast<float>(width));
    const float y = std::floor(std::fabs((lat - 90.0f) / 180.0f * static_cast<float>(height)));
    return {x, y};
}

std::vector<Shape> toPixelShapes(const std::vector<BnaShape>& shapes, int width, int height) {
    std::vector<Shape> out;
    out.reserve(shapes.size());
    for (const BnaShape& shape : shapes) {
        Shape pixels{shape.Name, {}};
        for (const LonLat& p : shape.Points) {
            const PixelPoint pixel = toPixel(p, width, height);
            // A new shape always keeps its first point: the comparison is with the shape's own
            // last pixel, so two capitals on one pixel both stay.
            if (!pixels.Points.empty() && pixels.Points.back() == pixel) continue;
            pixels.Points.push_back(pixel);
        }
        out.push_back(std::move(pixels));
    }
    return out;
}

std::vector<Shape> CaricaConfini(const std::string& dataFolder, int width, int height) {
    return toPixelShapes(readBna((std::filesystem::path(dataFolder) / kBoundaryFileName).string()), width, height);
}

std::vector<Shape> CaricaCapitali(const std::string& dataFolder, int width, int height) {
    return toPixelShapes(readBna((std::filesystem::path(dataFolder) / kCapitalFileName).string()), width, height);
}

}  // namespace zentrel
