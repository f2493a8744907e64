// Writing the CSV table of station normals.
#include "data/normals_table.h"

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <tuple>
#include <vector>

#include "error.h"

namespace zentrel {

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string formatNormalsTable(const ImportReport& report) {
    std::string out = "# Station normals, one row per station and variable; read by zentrel data import-csv\n";
    for (const std::string& line : report.about) out += "# " + line + "\n";
    out += "id,name,country,lat,lon,alt,variable,jan,feb,mar,apr,may,jun,jul,aug,sep,oct,nov,dec,years_min,years_max\n";

    // Rows by station id, then variable; the importers list each variable's stations in id order
    // already, so a stable sort keeps ties (stations without id) in their list order.
    std::vector<std::tuple<std::string, int, size_t>> rows;
    for (int v = 0; v < kVariableCount; ++v) {
        const auto& sources = report.sources[static_cast<size_t>(v)];
        for (size_t i = 0; i < report.lists[static_cast<size_t>(v)].size(); ++i)
            rows.emplace_back(i < sources.size() ? sources[i].id : std::string(), v, i);
    }
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        return std::tie(std::get<0>(a), std::get<1>(a)) < std::tie(std::get<0>(b), std::get<1>(b));
    });
    for (const auto& [id, v, i] : rows) {
        const Station& s = report.lists[static_cast<size_t>(v)][i];
        const auto& sources = report.sources[static_cast<size_t>(v)];
        const StationSource source = i < sources.size() ? sources[i] : StationSource{};
        out += fmt::format("{},{},{},{},{},{},{}", csvField(id), csvField(s.Name), csvField(s.Country), s.Lat, s.Lon,
                           s.Alt == kUnknown ? std::string() : fmt::format("{}", s.Alt),
                           kVariableNames[static_cast<size_t>(v)]);
        for (int m = 1; m <= 12; ++m) out += fmt::format(",{}", s.Data[static_cast<size_t>(m)]);
        const auto years = [](int n) { return n > 0 ? std::to_string(n) : std::string(); };
        out += "," + years(source.yearsMin) + "," + years(source.yearsMax) + "\n";
    }
    return out;
}

void writeTextFile(const std::string& path, const std::string& text) {
    const std::string part = path + ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) throw Error("The file " + path + " cannot be written.");
    }
    std::error_code ec;
    std::filesystem::rename(part, path, ec);
    if (ec) {
        std::filesystem::remove(part, ec);
        throw Error("The file " + path + " cannot be written.");
    }
}

}  // namespace zentrel
