// Colour tables of the background maps.
#include "maps/colour_table.h"

#include <fmt/format.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "error.h"
#include "files/read_file.h"
#include "maps/text_fields.h"

namespace zentrel {

using maps_detail::parseInteger;
using maps_detail::split;
using maps_detail::trimmed;

Rgb colourFromValue(uint32_t value) {
    return {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>((value >> 8) & 0xFF),
            static_cast<uint8_t>((value >> 16) & 0xFF)};
}

ColourTable ColourTable::fromRanges(const std::vector<ColourRange>& ranges, Rgb boundaryColour, Rgb capitalColour) {
    ColourTable table;
    for (const ColourRange& range : ranges)
        for (int count = std::max(range.First, 0); count <= std::min(range.Last, 255); ++count)
            table.Entries[count] = {range.Label, range.Colour};
    table.Entries[kBoundariesEntry] = {"Boundaries", boundaryColour};
    table.Entries[kCapitalsEntry] = {"Capitals", capitalColour};
    return table;
}

std::vector<int> ColourTable::legendEntries() const {
    std::vector<int> shown;
    for (int k = 1; k < 256; ++k)
        if (!Entries[k].Label.empty() && Entries[k].Label != Entries[k - 1].Label) shown.push_back(k);
    return shown;
}

void ColourTable::setColourOfLabel(const std::string& label, Rgb colour) {
    const std::string_view wanted = trimmed(label);
    for (ColourEntry& entry : Entries)
        if (trimmed(entry.Label) == wanted) entry.Colour = colour;
}

std::vector<ColourRange> parseColourRanges(const std::string& text, const std::string& fileName) {
    static constexpr const char* kFieldNames[] = {"first count", "last count", "red", "green", "blue"};
    std::vector<ColourRange> ranges;
    const auto lines = split(text, '\n');
    for (size_t k = 1; k < lines.size(); ++k) {  // line 1 is the header
        const long lineNumber = static_cast<long>(k) + 1;
        if (trimmed(lines[k]).empty()) continue;
        const auto fields = split(lines[k], '\t');
        if (fields.size() < 5)
            throw Error(fmt::format("Colour file {}, line {}: expected first count, last count, red, green, blue "
                                    "and label separated by tabs, found {} field{}.",
                                    fileName, lineNumber, fields.size(), fields.size() == 1 ? "" : "s"));
        int values[5];
        for (int f = 0; f < 5; ++f) {
            const auto value = parseInteger(fields[f], 0, 255);
            if (!value)
                throw Error(fmt::format("Colour file {}, line {}, field {} ({}): \"{}\" is not a whole number from 0 "
                                        "to 255.",
                                        fileName, lineNumber, f + 1, kFieldNames[f], trimmed(fields[f])));
            values[f] = *value;
        }
        if (values[0] > values[1])
            throw Error(fmt::format("Colour file {}, line {}, field 1 (first count): {} lies above the last count {}.",
                                    fileName, lineNumber, values[0], values[1]));
        ranges.push_back({values[0], values[1],
                          {static_cast<uint8_t>(values[2]), static_cast<uint8_t>(values[3]),
                           static_cast<uint8_t>(values[4])},
                          fields.size() > 5 ? std::string(trimmed(fields[5])) : std::string()});
    }
    return ranges;
}

ColourTable readColourTable(const std::string& path, Rgb boundaryColour, Rgb capitalColour) {
    requireRegularFile(path, "Colour file");
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::error_code ec;
        if (!std::filesystem::exists(path, ec)) throw Error("Colour file " + path + " is missing.");
        throw Error("Colour file " + path + " cannot be read.");
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) throw Error("Colour file " + path + " cannot be read.");
    return ColourTable::fromRanges(parseColourRanges(buffer.str(), path), boundaryColour, capitalColour);
}

std::string formatColourFile(const std::string& headerLine, const std::vector<ColourRange>& ranges) {
    auto oneLine = [](std::string text, bool keepTabs) {
        for (char& c : text)
            if ((c == '\t' && !keepTabs) || c == '\n' || c == '\r') c = ' ';
        return text;
    };
    std::string out = oneLine(headerLine, true) + "\n";
    for (const ColourRange& r : ranges)
        out += fmt::format("{}\t{}\t{}\t{}\t{}\t{}\n", r.First, r.Last, r.Colour.Red, r.Colour.Green, r.Colour.Blue,
                           oneLine(r.Label, false));
    return out;
}

void writeColourFile(const std::string& path, const std::string& headerLine, const std::vector<ColourRange>& ranges) {
    const std::string text = formatColourFile(headerLine, ranges);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    if (!out) throw Error("Colour file " + path + " cannot be written.");
}

}  // namespace zentrel
