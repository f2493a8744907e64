// Station counts per variable, from the station files the loader can read.
#include "python/folder_info.h"

#include <filesystem>
#include <set>
#include <tuple>
#include <vector>

#include "data/data_folder.h"
#include "data/station_file.h"
#include "data/terrain.h"

namespace zentrel::python {

namespace {

namespace fs = std::filesystem;

// Every file the loader may read for a variable: the whole file, or the band files and the
// polar files of Temp and Prec.
std::vector<std::string> variableFiles(int variable) {
    const std::string whole = wholeFileName(variable);
    if (!whole.empty()) return {whole};
    std::vector<std::string> files;
    for (int lat = 1; lat <= 6; ++lat)
        for (int lon = 1; lon <= 6; ++lon) files.push_back(bandFileName(variable, lat, lon));
    const BandBounds& bounds = bandBounds(variable);
    files.push_back(bounds.south);
    files.push_back(bounds.north);
    return files;
}

}  // namespace

FolderDescription describeFolder(const StationDatabase& database) {
    FolderDescription d;
    d.folder = database.folder();
    d.demonstration = isDemonstrationData(d.folder);
    std::error_code ec;
    d.elevation = fs::is_regular_file(fs::path(d.folder) / kTerrainFileName, ec);
    for (int v = 0; v < kVariableCount; ++v) {
        std::set<std::tuple<float, float, float, std::string>> seen;
        for (const std::string& name : variableFiles(v)) {
            if (!fs::is_regular_file(fs::path(d.folder) / name, ec)) continue;
            ++d.variables[static_cast<size_t>(v)].files;
            for (const Station& s : *database.file(name)) seen.insert({s.Lon, s.Lat, s.Alt, s.Name});
        }
        d.variables[static_cast<size_t>(v)].stations = static_cast<int>(seen.size());
    }
    return d;
}

}  // namespace zentrel::python
