// Subcommands of the zentrel command line; each file cmd_<name>.cpp registers one.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <optional>
#include <string>

#include "maps/img_file.h"

namespace zentrel::cli {

/// Exit codes: 0 success, 1 data error, 2 usage error.
inline constexpr int kExitOk = 0;
inline constexpr int kExitData = 1;
inline constexpr int kExitUsage = 2;

/// Help of every command's --data option.
inline constexpr const char* kDataOptionHelp =
    "Data folder (default: $ZENTREL_DATA, else ZentrelData beside the program, in the user data folder or installed; "
    "see 'zentrel data where')";

/// Options every command shares.
struct CommonOptions {
    std::string dataDir;  ///< --data; empty = the lookup of locateDataFolder
    std::string programDir;
};

/// Adds --data FOLDER; an empty name is refused rather than read as "not given".
CLI::Option* addDataOption(CLI::App& cmd, CommonOptions& common);

/// The land mask of the raster commands when --mask is not given: the first usable map of
/// the map folder, or "" when there is none.
std::string defaultMask(const CommonOptions& common, const std::string& dataFolder);

/// The land mask of a map run: the given map, else the first map of the map folder. Null, with
/// the message said, when there is none.
std::optional<ImgRaster> landMask(const CommonOptions& common, const std::string& dataFolder, const std::string& given);

/// A registered command sets `run` when it is parsed; main() calls it.
using Runner = std::function<int()>;

/// Registers every command below (commands.cpp).
void registerCommands(CLI::App& app, CommonOptions& common, Runner& run);

/// The index of an empty argument, or 0. The parser loops forever on an empty argument that no
/// option takes, and reads an empty option value as the option's default ("--level ''" as
/// 90, "--tile ''" as the whole raster), so both are refused before parsing. `option`, when
/// given, receives the option whose value is empty ("--tile", also for "--tile="), or stays
/// as it is for a stray argument. An empty --data is left to its own check.
int strayEmptyArgument(CLI::App& app, int argc, const char* const* argv, std::string* option = nullptr);

void registerEstimate(CLI::App& app, CommonOptions& common, Runner& run);
void registerData(CLI::App& app, CommonOptions& common, Runner& run);
void registerValidate(CLI::App& app, CommonOptions& common, Runner& run);
void registerBatch(CLI::App& app, CommonOptions& common, Runner& run);
void registerRaster(CLI::App& app, CommonOptions& common, Runner& run);
void registerServe(CLI::App& app, CommonOptions& common, Runner& run);

}  // namespace zentrel::cli
