// Where the data folder ZentrelData is: --data, then ZENTREL_DATA, then beside the program.
#pragma once

#include <string>

namespace zentrel {

/// Name of the data folder beside the program.
inline constexpr const char* kDataFolderName = "ZentrelData";

/// The data folder to use: `override` when not empty, else the environment variable
/// ZENTREL_DATA when set, else programDir/ZentrelData. Does not check that it exists.
std::string resolveDataFolder(const std::string& programDir, const std::string& override = "");

/// Throws Error naming the folder when it does not exist or is not a folder.
void requireDataFolder(const std::string& folder);

/// True when the station database of `folder` says it is demonstration data
/// (a file "DEMONSTRATION" in the folder).
bool isDemonstrationData(const std::string& folder);

}  // namespace zentrel
