// Station database writer: the staggered band layout, polar files, ASCII text fields.
#include "data/station_writer.h"

#include <algorithm>
#include <fmt/format.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>

#include "data/station_file.h"
#include "error.h"

namespace zentrel {

namespace {

// The loader's bands (data/station_file.h).
using Bands = BandBounds;

// Layout of the band files. The loader reads, for a location in latitude band i and longitude
// band j, the files (i, j), (i+1, j), (i, j+1) and (i+1, j+1). File (i, j) therefore holds the
// stations from the middle of latitude band i-1 to the middle of band i (from the South Pole for
// i = 1, to the North Pole for i = 6) and from the middle of longitude band j-1 to the middle of
// band j (band 0 being band 6, across the date line). Each station lies in exactly one file, and
// the four files a location reads join into one block that spans its own band and half of each
// neighbouring band: at least 5.5 degrees of latitude (611 km) and 13 degrees of longitude.
// Polar files: the loader adds the northern one north of 60 degrees and the southern one south of
// -50, besides the four band files. They hold every station north of 65 (south of -55), and those
// stations are in no band file, so nothing is read twice. Why these limits: a location that reads
// no polar file lies within 60..-50, and 500 km (4.5 degrees of latitude) from it never reaches
// 65 or -55; a location that reads one gets all stations beyond the limit from it, and the
// stations left in band files lie equatorwards of 65 / -55, where 500 km span at most 10.7
// degrees of longitude, less than the 13 degrees the band block reaches east and west. Closer
// to the poles the meridians converge too fast for any fixed band block; the polar files take
// over there.
double latMiddle(const Bands& b, int band) {  // band 1..5; band 1 starts at the South Pole
    const double south = band == 1 ? -90.0 : b.lat[band - 2];
    return (south + b.lat[band - 1]) / 2;
}

double lonMiddle(const Bands& b, int band) {  // band 1..6; band 6 runs from c(6) to c(1) + 360
    if (band == 6) return (b.lon[5] + b.lon[0] + 360.0) / 2;
    return (b.lon[band - 1] + b.lon[band]) / 2;
}

const Bands& bandsOf(int variable) { return bandBounds(variable); }

bool isBanded(int variable) { return variable == Temp || variable == Prec; }

// Appends the ASCII form of one code point.
void appendAscii(std::string& out, char32_t c) {
    // U+00C0..U+00FF; '1' = "AE", '2' = "Th", '3' = "ss", '4' = "ae", '5' = "th".
    static constexpr char kLatin1[] = "AAAAAA1CEEEEIIIIDNOOOOOxOUUUUY23aaaaaa4ceeeeiiiidnooooo?ouuuuy5y";
    // U+0100..U+017F; '1' = "IJ", '2' = "ij", '3' = "OE", '4' = "oe".
    static constexpr char kExtendedA[] =
        "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIi12JjKkkLlLlLlLlLlNnNnNnnNnOoOoOo34RrRrRrSsSsSsSsTtTtTt"
        "UuUuUuUuUuUuWwYyYZzZzZzs";
    // U+1E00..U+1E95 in pairs of capital and small letter: letter and number of pairs.
    static constexpr char kAdditional[] = "A1B3C1D5E5F1G1H5I2K3L4M3N4O4P2R4S5T4U5V2W5X2Y1Z3";
    auto expand = [&](char code) {
        switch (code) {
            case '1': out += c < 0x100 ? "AE" : "IJ"; break;
            case '2': out += c < 0x100 ? "Th" : "ij"; break;
            case '3': out += c < 0x100 ? "ss" : "OE"; break;
            case '4': out += c < 0x100 ? "ae" : "oe"; break;
            case '5': out += "th"; break;
            default: out += code;
        }
    };
    auto lower = [](char letter) { return static_cast<char>(letter - 'A' + 'a'); };
    if (c >= 0x20 && c < 0x7f) {
        out += c == '"' ? '\'' : static_cast<char>(c);
    } else if (c >= 0xC0 && c <= 0xFF) {
        expand(kLatin1[c - 0xC0]);
    } else if (c >= 0x100 && c <= 0x17F) {
        expand(kExtendedA[c - 0x100]);
    } else if (c >= 0x1E00 && c <= 0x1E95) {
        unsigned index = static_cast<unsigned>(c - 0x1E00) / 2;
        for (size_t k = 0; k + 1 < sizeof kAdditional; k += 2) {
            const unsigned pairs = static_cast<unsigned>(kAdditional[k + 1] - '0');
            if (index < pairs) {
                out += c % 2 == 0 ? kAdditional[k] : lower(kAdditional[k]);
                return;
            }
            index -= pairs;
        }
    } else if (c >= 0x1EA0 && c <= 0x1EF9) {  // Vietnamese vowels, capital and small in turn
        const char letter = c < 0x1EB8   ? 'A'
                            : c < 0x1EC8 ? 'E'
                            : c < 0x1ECC ? 'I'
                            : c < 0x1EE4 ? 'O'
                            : c < 0x1EF2 ? 'U'
                                         : 'Y';
        out += c % 2 == 0 ? letter : lower(letter);
    } else if (c == 0x218 || c == 0x219 || c == 0x21A || c == 0x21B) {
        out += "SsTt"[c - 0x218];
    } else if (c == 0x18F || c == 0x259) {
        out += c == 0x18F ? 'E' : 'e';
    } else if (c == 0x1A0 || c == 0x1A1 || c == 0x1AF || c == 0x1B0) {
        out += c == 0x1A0 ? 'O' : c == 0x1A1 ? 'o' : c == 0x1AF ? 'U' : 'u';
    } else if (c >= 0x1CD && c <= 0x1DC) {
        out += "AaIiOoUuUuUuUuUu"[c - 0x1CD];
    } else if (c == 0x2BB || c == 0x2BC || c == 0x2018 || c == 0x2019 || c == 0xB4 || c == 0x60) {
        out += '\'';
    } else if (c == 0x2013 || c == 0x2014) {
        out += '-';
    } else if (c == 0xA0) {
        out += ' ';
    } else {
        out += '?';
    }
}

void checkStation(const Station& s, const std::string& variableName, size_t index) {
    auto where = [&] {
        return fmt::format("{} station {} (\"{}\", {})", variableName, index + 1, asciiText(s.Name),
                           asciiText(s.Country));
    };
    if (!(s.Lat >= -90 && s.Lat <= 90)) throw Error(fmt::format("{}: latitude {} is outside -90..90.", where(), s.Lat));
    if (!(s.Lon >= -180 && s.Lon <= 180))
        throw Error(fmt::format("{}: longitude {} is outside -180..180.", where(), s.Lon));
    if (!std::isfinite(s.Alt)) throw Error(fmt::format("{}: the altitude is not a number.", where()));
    for (int m = 1; m <= 12; ++m)
        if (!std::isfinite(s.Data[static_cast<size_t>(m)]))
            throw Error(fmt::format("{}: the value of month {} is not a number.", where(), m));
}

// An estimate takes at most kMaxStations candidates from the files it reads: a database whose
// files would give more anywhere could be imported but not used there, so it is refused.
void checkCandidateLimit(int variable, const std::vector<Station>& stations,
                         const std::map<std::string, std::string>& contents) {
    if (stations.size() <= static_cast<size_t>(kMaxStations)) return;
    std::map<std::string, long> counts;
    for (const auto& [file, text] : contents) counts[file] = std::count(text.begin(), text.end(), '\n');
    const std::string name = kVariableNames[static_cast<size_t>(variable)];
    if (!isBanded(variable))
        throw Error(fmt::format("{}: {} stations, more than the {} one estimate can take; the import is refused.", name,
                                stations.size(), kMaxStations));
    // Every estimate reads the files of its band cell and the polar file beyond 50 S or 60 N:
    // a point in every half-degree cell meets each combination.
    for (double lat = -89.75; lat < 90; lat += 0.5)
        for (double lon = -179.75; lon < 180; lon += 0.5) {
            long total = 0;
            for (const std::string& file : candidateFiles(variable, static_cast<float>(lon), static_cast<float>(lat)))
                total += counts[file];
            if (total > kMaxStations)
                throw Error(fmt::format("{}: an estimate near longitude {}, latitude {} would have {} candidate stations, "
                                        "more than the {} one estimate can take; the import is refused.",
                                        name, lon, lat, total, kMaxStations));
        }
}

}  // namespace

std::string stationFileFor(int variable, float lon, float lat) {
    if (!isBanded(variable)) return wholeFileName(variable);
    const Bands& b = bandsOf(variable);
    if (lat >= kNorthPolarFrom) return b.north;
    if (lat < kSouthPolarBelow) return b.south;
    int i = 6;
    for (int k = 1; k <= 5; ++k)
        if (lat < latMiddle(b, k)) {
            i = k;
            break;
        }
    // Longitude on the turn that starts at the middle of band 6, minus 360.
    double x = lon;
    const double wrap = lonMiddle(b, 6);
    if (x >= wrap) x -= 360.0;
    int j = 6;
    for (int k = 1; k <= 6; ++k)
        if (x < lonMiddle(b, k)) {
            j = k;
            break;
        }
    return bandFileName(variable, i, j);
}

std::vector<std::string> stationFilesOf(int variable) {
    if (!isBanded(variable)) return {wholeFileName(variable)};
    std::vector<std::string> files;
    for (int i = 1; i <= 6; ++i)
        for (int j = 1; j <= 6; ++j) files.push_back(bandFileName(variable, i, j));
    files.emplace_back(bandsOf(variable).south);
    files.emplace_back(bandsOf(variable).north);
    return files;
}

std::string asciiText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        int extra = byte >= 0xF0 && byte < 0xF8 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC2 ? 1 : 0;
        if (byte >= 0xF8) extra = 0;
        char32_t c = byte;
        bool valid = byte < 0x80 || extra > 0;
        if (extra > 0) {
            if (i + static_cast<size_t>(extra) >= text.size()) valid = false;
            c = byte & (0x3F >> extra);
            for (int k = 1; valid && k <= extra; ++k) {
                const auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
                if ((next & 0xC0) != 0x80) valid = false;
                c = (c << 6) | (next & 0x3F);
            }
        }
        if (!valid) {  // not UTF-8: the byte is ISO-8859-1
            appendAscii(out, byte);
            ++i;
            continue;
        }
        appendAscii(out, c);
        i += static_cast<size_t>(extra) + 1;
    }
    return out;
}

void writeVariableFiles(const std::string& folder, int variable, const std::vector<Station>& stations) {
    const std::string variableName = kVariableNames[static_cast<size_t>(variable)];
    std::map<std::string, std::string> contents;
    for (const std::string& name : stationFilesOf(variable)) contents[name];
    for (size_t k = 0; k < stations.size(); ++k) {
        const Station& s = stations[k];
        checkStation(s, variableName, k);
        Station clean = s;
        clean.Name = asciiText(s.Name);
        clean.Country = asciiText(s.Country);
        std::string& text = contents[stationFileFor(variable, s.Lon, s.Lat)];
        text += formatStationLine(clean);
        text += '\n';
    }
    checkCandidateLimit(variable, stations, contents);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    for (const auto& [name, text] : contents) {
        const std::string path = (std::filesystem::path(folder) / name).string();
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
        out.close();
        if (!out) throw Error("Station file " + path + " cannot be written.");
    }
}

void writeStationDatabase(const std::string& folder, const StationLists& lists) {
    for (int v = 0; v < kVariableCount; ++v) writeVariableFiles(folder, v, lists[static_cast<size_t>(v)]);
}

}  // namespace zentrel
