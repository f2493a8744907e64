// Settings options shared by every estimating command.
#include "cli/settings_options.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "cli/commands.h"
#include "decimal_number.h"
#include "settings/argument_checks.h"

namespace zentrel::cli {

namespace {
// The option a message of the settings checks is about, by its title.
std::string optionOfMessage(const std::string& title) {
    static const std::pair<const char*, const char*> titles[] = {
        {"Negative coefficients are meaningless!", "--shad"}, {"Please correct input!", "--shad"},
        {"Wrong sign of power", "--powexp"},                  {"Problem: Too large power selected.", "--powexp"},
        {"Problem: Too many stations.", "--maxstat"},         {"Problem: Too few stations.", "--maxstat"},
        {"Problem: Area too large.", "--maxdist"},            {"Problem: Area too  small.", "--maxdist"},
        {"Too small Minimum Distance", "--mindist"}};
    for (const auto& [t, option] : titles)
        if (title == t) return option;
    return "";
}
}  // namespace

void addSettingsOptions(CLI::App& cmd, SettingsOptions& o) {
    auto* g = cmd.add_option_group("Settings", "Estimation settings (defaults as in the settings dialog)");
    g->add_option("--maxstat", o.maxStat, "Maximum number of neighbour stations, 1..20 (20)");
    g->add_option("--maxdist", o.maxDist, "Maximum neighbour distance in km, up to 22000 (1000)");
    g->add_option("--mindist", o.minDist, "Nearest-neighbour approximation below this distance in km, 0..22000, at least 0.1 in effect (0.1)");
    g->add_option("--powexp", o.powExp, "Power of inverse distance weighting, 0..5 (1)");
    g->add_option("--minhigh", o.minHigh, "Lowest neighbour altitude in m with --neighbalt 1, -600..10000 (-350)");
    g->add_option("--maxhigh", o.maxHigh, "Highest neighbour altitude in m with --neighbalt 1, -600..10000 (8848)");
    g->add_option("--neighbalt", o.neighbAlt, "1: neighbours must have an altitude in the range (0)")->check(CLI::Range(0, 1));
    g->add_option("--altcorr", o.altCorr, "1: local linear altitude correction (1)")->check(CLI::Range(0, 1));
    g->add_option("--gradcorr", o.gradCorr, "1: climate gradient correction (1)")->check(CLI::Range(0, 1));
    g->add_option("--shad", o.shad, "Shadow correction coefficient 0..1 (1)");
    g->add_option("--robust", o.robust, "1: robust altitude and gradient corrections, same as --method robust; 0: none, same as --method described")
        ->check(CLI::Range(0, 1));
    g->add_option("--method", o.method,
                  "Estimation method: kriging (with terrain covariates, the default), adaptive, robust, or described "
                  "(the classic inverse-distance method with its least-squares corrections)");
}

int applySettingsOptions(const SettingsOptions& o, ProgramSettings& settings, std::vector<std::string>* said) {
    // Each message as one line: on stderr with the program's prefix, or to the caller.
    const auto say = [said](const std::string& line) {
        if (said) said->push_back(line);
        else std::fprintf(stderr, "zentrel: %s\n", line.c_str());
    };
    SettingsInput in = settingsToInput(settings);
    // The first value outside the shared ranges; the batch window's checks below refuse most of
    // them with their own words, and this one speaks for what they let through.
    std::string outside;
    auto number = [&outside, &say](const std::optional<std::string>& value, std::string& box, Argument argument, const char* range) {
        if (!value) return true;
        const std::string& text = *value;
        const ArgumentRule rule = argumentRule(argument);
        // The whole argument must be a finite decimal number, unlike a dialog box that reads
        // its leading number: "nan" or "inf" would pass every range check of the settings.
        if (const std::string problem = decimalProblem(text, true); !problem.empty()) {
            say(std::string(rule.option) + ": " + problem + "; give a decimal number, " + range + ".");
            return false;
        }
        const double v = *parseDecimal(text);
        // A whole number may be written as any decimal form of one ("20", "20.0", "2e1"), as in
        // Python, where 20.0 is accepted; "20.5" is refused, not rounded.
        if (rule.whole && v != std::floor(v)) {
            say(std::string(rule.option) + ": \"" + text + "\" is not a whole number; give one in " + range + ".");
            return false;
        }
        if (outside.empty() && !acceptsArgument(argument, v))
            outside = std::string(rule.option) + ": \"" + text + "\" must be " + allowedText(argument) + ".";
        box = text;
        return true;
    };
    if (!number(o.maxStat, in.MaxStat, Argument::MaxStat, "1..20") ||
        !number(o.maxDist, in.MaxDist, Argument::MaxDist, "up to 22000 km") ||
        !number(o.minDist, in.MinDist, Argument::MinDist, "0..22000 km") ||
        !number(o.powExp, in.PowExp, Argument::PowExp, "0..5") ||
        !number(o.minHigh, in.MinHigh, Argument::MinHigh, "-600..10000 m") ||
        !number(o.maxHigh, in.MaxHigh, Argument::MaxHigh, "-600..10000 m") ||
        !number(o.shad, in.Shad, Argument::Shad, "0..1"))
        return kExitUsage;
    if ((o.minHigh || o.maxHigh) && *parseDecimal(in.MinHigh) > *parseDecimal(in.MaxHigh)) {
        say("--minhigh " + in.MinHigh + " lies above --maxhigh " + in.MaxHigh +
            ", so no station could be a neighbour: Altitude Confusion: Lowest Altitude should be below highest altitude!");
        return kExitUsage;
    }
    if (o.neighbAlt) in.NeighbAlt = *o.neighbAlt == 1;
    if (o.altCorr) in.AltCorr = *o.altCorr == 1;
    if (o.gradCorr) in.GradCorr = *o.gradCorr == 1;
    if (o.method) {
        const std::optional<Method> method = parseMethod(*o.method);
        if (!method) {
            say("--method must be " + methodChoices() + ", not \"" + *o.method + "\".");
            return kExitUsage;
        }
        if (o.robust && (*o.robust == 1) != (*method == Method::Robust)) {
            say("--robust " + std::to_string(*o.robust) + " contradicts --method " + methodName(*method) + ".");
            return kExitUsage;
        }
        in.Method = *method;
        in.RobustCorr = *method == Method::Robust;
    }
    if (o.robust) {
        // Without --method: --robust 1 is the robust method, --robust 0 the one without robust
        // corrections, the described method (the adaptive method corrects robustly too).
        in.RobustCorr = *o.robust == 1;
        if (!o.method) in.Method = in.RobustCorr ? Method::Robust : Method::Described;
    }
    const SettingsCheck check = checkBatchSettings(settings, in);
    // A refusal is said alone: a note on another value ("changed to 100m") before it would
    // describe a run that does not happen.
    if (check.ok && !outside.empty()) {
        say(outside);
        return kExitUsage;
    }
    for (const SettingsMessage& m : check.messages) {
        std::string text = m.text;
        for (char& c : text)
            if (c == '\r') c = ' ';
        const std::string option = optionOfMessage(m.title);
        say((check.ok ? "note: " : "") + (option.empty() ? "" : option + ": ") + m.title + ": " + text);
    }
    return check.ok ? kExitOk : kExitUsage;
}

}  // namespace zentrel::cli
