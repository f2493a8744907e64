// The module's data folder: the programs' own lookup, with the module's words for the two ways
// a user names a folder (the data= argument and ZENTREL_DATA) in its messages.
#include <pybind11/stl.h>

#include <filesystem>
#include <optional>

#include "data/data_folder.h"
#include "error.h"
#include "python/bindings.h"
#include "python/estimate_request.h"

namespace zentrel::python {

namespace fs = std::filesystem;

std::string findDataFolder(const std::string& programDir, const std::optional<std::string>& data) {
    if (data && data->empty()) throw ArgumentError{"data must name a folder, not an empty text."};
    const DataFolderChoice choice = locateDataFolder(programDir, data.value_or(""));
    std::error_code ec;
    if (fs::is_directory(choice.folder, ec)) return choice.folder;
    const std::string how = "Name a ZentrelData folder with Database(data=...) or the environment variable ZENTREL_DATA.";
    const bool file = fs::exists(choice.folder, ec);
    switch (choice.rule) {
        case DataFolderRule::Option:
            throw Error("The data folder " + choice.folder + " given as data= " +
                        (file ? "is not a folder but a file." : "does not exist."));
        case DataFolderRule::Environment:
            throw Error("The data folder " + choice.folder + " named by ZENTREL_DATA " +
                        (file ? "is not a folder but a file." : "does not exist.") +
                        " Set ZENTREL_DATA to a ZentrelData folder, or unset it, or pass data=.");
        default: break;
    }
    std::string looked;
    for (const DataFolderChoice& c : dataFolderCandidates(programDir))
        looked += (looked.empty() ? "" : ", ") + c.folder + " (" + dataFolderRuleName(c.rule) + ")";
    throw Error("No data folder found; looked in " + looked + ". " + how);
}

void bindDataLookup(py::module_& m) {
    m.def("find_data_folder", &findDataFolder, py::arg("program_dir"), py::arg("data") = py::none(),
          "The data folder the zentrel programs in program_dir would use, or data when given; "
          "DataError naming the places looked in when there is none.");
    m.def(
        "data_folder_candidates",
        [](const std::string& programDir, const std::optional<std::string>& data) {
            std::vector<std::pair<std::string, std::string>> list;
            for (const DataFolderChoice& c : dataFolderCandidates(programDir, data.value_or("")))
                list.emplace_back(c.folder, dataFolderRuleName(c.rule));
            return list;
        },
        py::arg("program_dir"), py::arg("data") = py::none(),
        "The folders tried in order, each with the rule that names it.");
}

}  // namespace zentrel::python
