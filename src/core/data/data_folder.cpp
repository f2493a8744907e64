// Resolution of the data folder.
#include "data/data_folder.h"

#include <cstdlib>
#include <filesystem>

#include "error.h"

namespace zentrel {

std::string resolveDataFolder(const std::string& programDir, const std::string& override) {
    if (!override.empty()) return override;
    if (const char* env = std::getenv("ZENTREL_DATA"); env && *env) return env;
    return (std::filesystem::path(programDir) / kDataFolderName).string();
}

void requireDataFolder(const std::string& folder) {
    std::error_code ec;
    if (std::filesystem::exists(folder, ec) && !std::filesystem::is_directory(folder, ec))
        throw Error("The data folder " + folder + " is not a folder but a file. Name the folder with --data.");
    if (!std::filesystem::is_directory(folder, ec))
        throw Error("The data folder " + folder + " does not exist. Build it with scripts/setup.sh or name another one with --data.");
}

bool isDemonstrationData(const std::string& folder) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::path(folder) / "DEMONSTRATION", ec);
}

}  // namespace zentrel
