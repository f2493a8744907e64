// Where the data folder ZentrelData and the map folder are: in the build tree beside the
// program, in the user's own data folder, or installed under share/zentrel.
#pragma once

#include <string>
#include <vector>

namespace zentrel {

/// Name of the data folder beside the program.
inline constexpr const char* kDataFolderName = "ZentrelData";
/// Name of the raster map folder beside the data folder ("rastelldata").
inline constexpr const char* kMapFolderName = "rastelldata";

/// The rule that picked the data folder, in the order the rules are tried.
enum class DataFolderRule {
    Option,         ///< --data DIR
    Environment,    ///< the environment variable ZENTREL_DATA
    BesideProgram,  ///< ZentrelData beside the program (a build tree)
    UserData,       ///< $XDG_DATA_HOME/zentrel/ZentrelData (the user's imported database)
    Installed,      ///< <prefix>/share/zentrel/ZentrelData, found from the program's folder
    NotFound,       ///< none of the above exists; the folder named is the one beside the program
};

struct DataFolderChoice {
    std::string folder;
    DataFolderRule rule = DataFolderRule::NotFound;
};

/// A short text naming the rule: "--data", "ZENTREL_DATA", "beside the program",
/// "user data folder", "installed", "not found".
const char* dataFolderRuleName(DataFolderRule rule);

/// The user's own folder for imported databases: $XDG_DATA_HOME/zentrel, else
/// $HOME/.local/share/zentrel; empty when neither variable is set.
std::string userDataBase();

/// The installed share folder seen from the program's folder: programDir/../share/zentrel.
/// Found relative to the program so that an installation may be moved to another prefix.
std::string installedDataBase(const std::string& programDir);

/// The folders tried in order, with their rule (the first two only when given).
std::vector<DataFolderChoice> dataFolderCandidates(const std::string& programDir, const std::string& override = "");

/// The data folder to use: `override` when not empty, else ZENTREL_DATA when set (both taken as
/// given, existing or not), else the first existing folder of: ZentrelData beside the program, the
/// user's data folder, the installed one. When none exists, the one beside the program with the
/// rule NotFound.
DataFolderChoice locateDataFolder(const std::string& programDir, const std::string& override = "");

/// The program folder of the last locateDataFolder call in this process ("" before any): the
/// terrain of a data folder without its own is found from it (terrainFolderOf).
std::string lastProgramDir();

/// The folder of locateDataFolder, for callers that do not report the rule.
std::string resolveDataFolder(const std::string& programDir, const std::string& override = "");

/// The raster map folder (rastelldata): beside the program, else beside the data folder, else in
/// the user's data folder, else the installed one; the first that exists. Empty when none does.
std::string locateMapFolder(const std::string& programDir, const std::string& dataFolder);

/// Throws Error naming the folder when it does not exist or is not a folder.
void requireDataFolder(const std::string& folder);

/// True when the station database of `folder` says it is demonstration data
/// (a file "DEMONSTRATION" in the folder).
bool isDemonstrationData(const std::string& folder);

/// One line about the station database of `folder`: the source and build named by its about
/// file when an importer wrote one, else its kind and the day it was built (the newest station
/// file), e.g. "demonstration station database, built 2026-12-06".
std::string describeDatabase(const std::string& folder);

}  // namespace zentrel
