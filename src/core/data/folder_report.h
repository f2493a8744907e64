// What `--version` and `data where` say: the program version, which data folder the lookup picked
// and why, and which station database it holds.
#pragma once

#include <string>

namespace zentrel {

/// Two or three lines: "<program> <version>", the data folder with the rule that picked it, and
/// the database it holds. programDir: the folder of the running program.
std::string versionReport(const std::string& program, const std::string& programDir);

/// The data folder, its rule, the database and the map folder, then every place looked at in
/// order with "used", "missing" or "not set". override: the --data option, empty when not given.
std::string dataFolderReport(const std::string& programDir, const std::string& override);

}  // namespace zentrel
