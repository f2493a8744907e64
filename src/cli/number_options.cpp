// Checks of numeric options, shared by every command.
#include "cli/number_options.h"

#include <fmt/format.h>

#include "decimal_number.h"
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
            size_t i = text.size() > 0 && (text[0] == '-' || text[0] == '+') ? 1 : 0;
            bool digits = i < text.size();
            for (; i < text.size(); ++i) digits = digits && text[i] >= '0' && text[i] <= '9';
            if (!digits) return "\"" + text + "\" is not a whole number; give one in " + range + ".";
            const std::optional<double> v = parseDecimal(text);
            if (!v || *v < static_cast<double>(low) || *v > static_cast<double>(high))
                return "\"" + text + "\" lies outside " + range + ".";
            return "";
        },
        "");
}

std::string threadsHelp(const std::string& what) {
    return fmt::format("{}: 0 = one per hardware thread ({}), at most {} (4 x the hardware threads)", what,
                       hardwareThreads(), maxWorkerThreads());
}

CLI::Option* addThreadsOption(CLI::App& cmd, int& threads, const std::string& what) {
    return cmd.add_option("--threads", threads, threadsHelp(what))
        ->check(wholeIn(0, static_cast<long long>(argumentRule(Argument::Threads).high)))
        ->capture_default_str();
}

}  // namespace zentrel::cli
