// Command-line options that override the program settings, checked as the batch window checks.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "settings/program_settings.h"

namespace zentrel::cli {

struct SettingsOptions {
    std::optional<std::string> maxStat, maxDist, minDist, powExp, minHigh, maxHigh, shad;
    std::optional<int> neighbAlt, altCorr, gradCorr, robust;
    std::optional<std::string> method;
};

/// Adds --maxstat --maxdist --mindist --powexp --minhigh --maxhigh --neighbalt --altcorr
/// --gradcorr --shad --robust --method to a command.
void addSettingsOptions(CLI::App& cmd, SettingsOptions& options);

/// Stores the given options into `settings` and checks them in the batch window's order.
/// Prints the message of a failed check (exit code 2) or of a correction (a note, starting with
/// "note: ") on stderr, or, when `said` is given, appends them there without the program's prefix.
int applySettingsOptions(const SettingsOptions& options, ProgramSettings& settings, std::vector<std::string>* said = nullptr);

}  // namespace zentrel::cli
