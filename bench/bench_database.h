// The station database a benchmark runs on: the folder named on the command line, else the
// demonstration database beside the program (its dense network of 20000 stations is what the
// figures in docs/performance.md were measured on). Every benchmark prints which one it used.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

#include "data/data_info.h"

namespace zentrel::bench {

inline std::string benchDataFolder(int argc, char** argv) {
    if (argc > 1) return argv[1];
    return (std::filesystem::canonical("/proc/self/exe").parent_path() / kDemoFolderName).string();
}

/// "database: .../DemoData (demonstration database, emulated normals; 20010 Temp stations)"
inline void printDatabase(const std::string& folder) {
    const DataInfo info = describeDataFolder(folder);
    std::string what = info.demonstration ? "demonstration database, emulated normals"
                       : info.about.empty() ? "no description"
                                            : info.about.front();
    std::printf("database: %s (%s; %d Temp stations)\n", folder.c_str(), what.c_str(), info.variables[Temp].stations);
}

}  // namespace zentrel::bench
