// The one check of numeric command-line options: decimal numbers only (no "0x10", "nan",
// "inf"), finite, within a range that the message names.
#pragma once

#include <CLI/CLI.hpp>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "settings/argument_checks.h"

namespace zentrel::cli {

/// A decimal number within low..high (bounds included). The parser's message then reads
/// `--alt: "nan" is not a number; give a decimal number in -600..10000.`
CLI::Validator decimalIn(double low, double high);

/// A decimal number within the shared range of an estimate argument (the Python module takes
/// the same values).
CLI::Validator decimalIn(Argument argument);

/// A whole number within low..high (bounds included), written in any decimal form of one:
/// "20", "20.0" and "2e1" are the same; "20.5" is refused.
CLI::Validator wholeIn(long long low, long long high);

/// Help text of a --threads option that says the cap in words, e.g. "Worker threads: 0 = one per
/// hardware thread, at most 4 per hardware thread".
std::string threadsHelp(const std::string& what);

/// Adds --threads taking a whole number 0..maxWorkerThreads().
CLI::Option* addThreadsOption(CLI::App& cmd, int& threads, const std::string& what);

/// The comma-separated parts of an option's text ("" between two commas).
std::vector<std::string> splitCommas(const std::string& text);

/// The four numbers of a --bbox, each checked on its own (a longitude in -180..180 at 0 and 2, a
/// latitude in -90..90 at 1 and 3) before any check compares them; `names` are what the message
/// calls them. Prints the message and returns nothing when one is not such a number.
std::optional<std::array<double, 4>> boxEdges(const std::vector<std::string>& box, const std::array<const char*, 4>& names);

}  // namespace zentrel::cli
