// Texts about the program version and the data folder in use.
#include "data/folder_report.h"

#include <algorithm>
#include <filesystem>

#include <fmt/format.h>

#include "data/data_folder.h"
#include "version.h"

namespace zentrel {

namespace {

std::string folderLine(const DataFolderChoice& choice) {
    if (choice.rule == DataFolderRule::NotFound) return "Data folder: none found (see 'zentrel data where')\n";
    std::string line = fmt::format("Data folder: {} ({})\n", choice.folder, dataFolderRuleName(choice.rule));
    std::error_code ec;
    if (std::filesystem::is_directory(choice.folder, ec)) line += "Database: " + describeDatabase(choice.folder) + "\n";
    else line += "Database: the folder does not exist\n";
    return line;
}

}  // namespace

std::string versionReport(const std::string& program, const std::string& programDir) {
    return fmt::format("{} {}\n", program, programVersion()) + folderLine(locateDataFolder(programDir));
}

std::string dataFolderReport(const std::string& programDir, const std::string& override) {
    const DataFolderChoice choice = locateDataFolder(programDir, override);
    std::string out = folderLine(choice);
    if (choice.rule != DataFolderRule::NotFound) {
        const std::string maps = locateMapFolder(programDir, choice.folder);
        out += "Map folder: " + (maps.empty() ? std::string("none found") : maps) + "\n";
    }
    out += "Looked at, in this order:\n";
    const auto candidates = dataFolderCandidates(programDir, override);
    for (const DataFolderRule rule : {DataFolderRule::Option, DataFolderRule::Environment, DataFolderRule::BesideProgram,
                                      DataFolderRule::UserData, DataFolderRule::Installed}) {
        const auto c = std::find_if(candidates.begin(), candidates.end(), [rule](const DataFolderChoice& d) { return d.rule == rule; });
        if (c == candidates.end()) {
            out += fmt::format("  {:<20}{}\n", dataFolderRuleName(rule), rule == DataFolderRule::Option ? "not given" : "not set");
            continue;
        }
        std::error_code ec;
        const bool exists = std::filesystem::is_directory(c->folder, ec);
        const char* state = rule == choice.rule ? (exists ? "used" : "used, but missing") : (exists ? "present, not used" : "missing");
        out += fmt::format("  {:<20}{} ({})\n", dataFolderRuleName(rule), c->folder, state);
    }
    return out;
}

}  // namespace zentrel
