// The ranges of the numbers a caller hands the estimating commands and the Python module: one
// table, so that the command line and Python accept exactly the same values.
#pragma once

#include <string>

namespace zentrel {

/// The numeric arguments of an estimate request.
enum class Argument { Lon, Lat, Alt, MaxStat, MaxDist, MinDist, PowExp, MinHigh, MaxHigh, Shad, Threads, Level };

/// One argument's names and the values it takes (finite ones only). Bounds are included
/// unless `lowOpen`.
struct ArgumentRule {
    const char* option;   ///< command-line option, "--maxstat"
    const char* keyword;  ///< Python keyword, "max_stat"
    double low;
    double high;
    bool lowOpen = false;  ///< `low` itself is refused (a distance must be more than 0)
    bool whole = false;    ///< whole numbers only
};

/// The rule of `argument`. Threads: 0 (one per hardware thread) up to maxWorkerThreads().
/// Level: the confidence levels 90, 95 and 99 (the range 90..99 with the check below).
ArgumentRule argumentRule(Argument argument);

/// True when `value` is finite and within the rule (and whole where it must be).
bool acceptsArgument(Argument argument, double value);

/// The allowed values as words: "1..20", "more than 0 and at most 22000", "90, 95 or 99".
std::string allowedText(Argument argument);

/// The message for a refused value in Python's manner: "max_stat must be 1..20, got 50",
/// "max_stat must be a whole number in 1..20, got 2.5"; `shown` is the value as the caller
/// wrote it (its repr).
std::string keywordProblem(Argument argument, double value, const std::string& shown);

}  // namespace zentrel
