// Scan of the raster map folder.
#include "maps/map_folder.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <set>

namespace zentrel {

namespace {

std::string lowered(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

std::vector<MapFiles> listUsableMaps(const std::string& folder) {
    namespace fs = std::filesystem;
    std::error_code ec;
    // File names of the folder, with a lower-case index for the companion look-up.
    std::vector<std::string> names;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (it->is_regular_file(typeError)) names.push_back(it->path().filename().string());
    }
    if (ec) return {};
    std::sort(names.begin(), names.end());
    std::map<std::string, std::string> byLowerName;
    for (const std::string& name : names) byLowerName.emplace(lowered(name), name);  // first spelling wins

    auto companion = [&](const std::string& base, const char* extension) -> std::string {
        const auto found = byLowerName.find(lowered(base) + extension);
        return found == byLowerName.end() ? std::string() : (fs::path(folder) / found->second).string();
    };

    std::vector<MapFiles> maps;
    std::set<std::string> listed;
    for (const std::string& name : names) {
        const std::string lower = lowered(name);
        if (lower.size() <= 4 || lower.compare(lower.size() - 4, 4, ".img") != 0) continue;
        const std::string base = name.substr(0, name.find('.'));
        if (base.empty() || !listed.insert(lowered(base)).second) continue;
        MapFiles files{base, companion(base, ".img"), companion(base, ".clr"), companion(base, ".cty"),
                       companion(base, ".bnd")};
        // "a.b.img" has the base name "a": its raster is a.img when that exists, else this file.
        if (files.Img.empty()) files.Img = (fs::path(folder) / name).string();
        if (files.Clr.empty() || files.Cty.empty() || files.Bnd.empty()) continue;
        maps.push_back(std::move(files));
    }
    return maps;
}

}  // namespace zentrel
