// Ranges of the estimate arguments, shared by the command line and the Python module.
#include "settings/argument_checks.h"

#include <fmt/format.h>

#include <cmath>

#include "worker_threads.h"

namespace zentrel {

ArgumentRule argumentRule(Argument argument) {
    switch (argument) {
        case Argument::Lon: return {"--lon", "lon", -180, 180};
        case Argument::Lat: return {"--lat", "lat", -90, 90};
        // The range of location files, wider than the dialogs'.
        case Argument::Alt: return {"--alt", "alt", -600, 10000};
        // The settings: the batch window's checks refuse the same values with their own words.
        case Argument::MaxStat: return {"--maxstat", "max_stat", 1, 20, false, true};
        case Argument::MaxDist: return {"--maxdist", "max_dist", 0, 22000, true};
        // Below 0.1 km the settings correct the value with a note; beyond the largest neighbour
        // distance every location would take its nearest station only.
        case Argument::MinDist: return {"--mindist", "min_dist", 0, 22000};
        case Argument::PowExp: return {"--powexp", "pow_exp", 0, 5};
        case Argument::MinHigh: return {"--minhigh", "min_high", -600, 10000};
        case Argument::MaxHigh: return {"--maxhigh", "max_high", -600, 10000};
        case Argument::Shad: return {"--shad", "shad", 0, 1};
        case Argument::Threads: return {"--threads", "threads", 0, static_cast<double>(maxWorkerThreads()), false, true};
        case Argument::Level: return {"--level", "level", 90, 99, false, true};
    }
    return {"", "", 0, 0};
}

bool acceptsArgument(Argument argument, double value) {
    const ArgumentRule rule = argumentRule(argument);
    if (!std::isfinite(value)) return false;
    if (argument == Argument::Level) return value == 90 || value == 95 || value == 99;
    if (rule.whole && value != std::floor(value)) return false;
    if (rule.lowOpen ? !(value > rule.low) : !(value >= rule.low)) return false;
    return value <= rule.high;
}

std::string allowedText(Argument argument) {
    if (argument == Argument::Level) return "90, 95 or 99";
    const ArgumentRule rule = argumentRule(argument);
    if (rule.lowOpen) return fmt::format("more than {} and at most {}", rule.low, rule.high);
    return fmt::format("{}..{}", rule.low, rule.high);
}

std::string keywordProblem(Argument argument, double value, const std::string& shown) {
    const ArgumentRule rule = argumentRule(argument);
    const bool fraction = rule.whole && std::isfinite(value) && value != std::floor(value);
    return fmt::format("{} must be {}{}, got {}", rule.keyword, fraction ? "a whole number in " : "",
                       allowedText(argument), shown);
}

}  // namespace zentrel
