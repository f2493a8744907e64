// Command-line options that override the program settings, checked as the batch window checks.
#pragma once

#include <optional>
#include <string>

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
/// Prints the message of a failed check (exit code 2) or of a correction (a note) on stderr.
int applySettingsOptions(const SettingsOptions& options, ProgramSettings& settings);

}  // namespace zentrel::cli
