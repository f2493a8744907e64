// Checks of numeric options, shared by every command.
#include "cli/number_options.h"

#include <fmt/format.h>

#include <cmath>
#include <cstdio>

#include "decimal_number.h"
#include "maps/raster_export.h"
#include "worker_threads.h"

namespace zentrel::cli {

namespace {
std::string shortNumber(double v) { return fmt::format("{}", v); }
}  // namespace

CLI::Validator decimalIn(double low, double high) {
    const std::string range = shortNumber(low) + ".." + shortNumber(high);
    return CLI::Validator(
        [low, high, range](std::string& text) -> std::string {
            const std::optional<double> v = parseDecimal(text);
            if (!v) return decimalProblem(text) + "; give a decimal number in " + range + ".";
            if (*v < low || *v > high) return "\"" + text + "\" lies outside " + range + ".";
            return "";
        },
        "");
}

CLI::Validator decimalIn(Argument argument) {
    const ArgumentRule rule = argumentRule(argument);
    return decimalIn(rule.low, rule.high);
}

CLI::Validator wholeIn(long long low, long long high) {
    const std::string range = std::to_string(low) + ".." + std::to_string(high);
    return CLI::Validator(
        [low, high, range](std::string& text) -> std::string {
            // Any decimal form of a whole number ("20", "20.0", "2e1"), as the Python module
            // takes 20.0; "2.5", "0x10" and "nan" are refused.
            const std::optional<double> v = parseDecimal(text);
            if (!v) return decimalProblem(text) + "; give a whole number in " + range + ".";
            if (*v != std::floor(*v)) return "\"" + text + "\" is not a whole number; give one in " + range + ".";
            if (*v < static_cast<double>(low) || *v > static_cast<double>(high)) return "\"" + text + "\" lies outside " + range + ".";
            // The option's own reader then sees the number in digits.
            text = std::to_string(static_cast<long long>(*v));
            return "";
        },
        "");
}

// Without this machine's numbers: the help becomes the manual page, which is built on another
// machine than the one it is read on.
std::string threadsHelp(const std::string& what) {
    return what + ": 0 = one per hardware thread, at most 4 per hardware thread";
}

CLI::Option* addThreadsOption(CLI::App& cmd, int& threads, const std::string& what) {
    return cmd.add_option("--threads", threads, threadsHelp(what))
        ->transform(wholeIn(0, static_cast<long long>(argumentRule(Argument::Threads).high)))
        ->capture_default_str();
}

std::vector<std::string> splitCommas(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(',', start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

std::optional<std::array<double, 4>> boxEdges(const std::vector<std::string>& box, const std::array<const char*, 4>& names) {
    std::array<double, 4> edges{};
    for (size_t k = 0; k < 4; ++k) {
        const double limit = k % 2 == 0 ? 180 : 90;
        const std::optional<double> v = parseCoordinate(box.at(k));
        if (!v || *v < -limit || *v > limit) {
            std::fprintf(stderr, "zentrel: --bbox: %s \"%s\" is not a %s in %g..%g.\n", names[k], box[k].c_str(),
                         k % 2 == 0 ? "longitude" : "latitude", -limit, limit);
            return std::nullopt;
        }
        edges[k] = *v;
    }
    return edges;
}

}  // namespace zentrel::cli
