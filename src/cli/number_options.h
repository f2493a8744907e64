// The one check of numeric command-line options: decimal numbers only (no "0x10", "nan",
// "inf"), finite, within a range that the message names.
#pragma once

#include <CLI/CLI.hpp>

#include <string>

#include "settings/argument_checks.h"

namespace zentrel::cli {

/// A decimal number within low..high (bounds included). The parser's message then reads
/// `--alt: "nan" is not a number; give a decimal number in -600..10000.`
CLI::Validator decimalIn(double low, double high);

/// A decimal number within the shared range of an estimate argument (the Python module takes
/// the same values).
CLI::Validator decimalIn(Argument argument);

/// A whole number written in decimal digits within low..high (bounds included).
CLI::Validator wholeIn(long long low, long long high);

/// Help text of a --threads option that says the cap, e.g. "Worker threads: 0 = one per
/// hardware thread (2), at most 8".
std::string threadsHelp(const std::string& what);

/// Adds --threads taking a whole number 0..maxWorkerThreads().
CLI::Option* addThreadsOption(CLI::App& cmd, int& threads, const std::string& what);

}  // namespace zentrel::cli
