// Argument checks of the module. The texts are the command line's, with the keyword in place of
// the option ("max_stat" for "--maxstat").
#include "python/estimate_request.h"

#include <cmath>
#include <cstdlib>

#include "base/types.h"
#include "decimal_number.h"
#include "settings/method.h"

namespace zentrel::python {

const std::vector<std::string>& methodNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all;
        for (Method m : kMethods) all.emplace_back(methodName(m));
        return all;
    }();
    return names;
}

void applyMethod(const std::string& method, SettingsInput& input) {
    const std::optional<Method> chosen = parseMethod(method);
    if (!chosen) {
        std::string allowed;
        for (const std::string& name : methodNames()) allowed += (allowed.empty() ? "" : ", ") + name;
        throw ArgumentError{"method must be one of " + allowed + ", not \"" + method + "\"."};
    }
    input.RobustCorr = *chosen == Method::Robust;
    input.Method = *chosen;
}

int parseVariable(const std::string& name) {
    const int v = variableFromName(name);
    if (v < 0) throw ArgumentError{"var must be one of Temp, Tmax, Tmin, Prec, Vap, PET, Wind, Sun."};
    return v;
}

double checkArgument(Argument argument, double value, const std::string& shown) {
    if (!acceptsArgument(argument, value)) throw ArgumentError{keywordProblem(argument, value, shown)};
    return value;
}

const std::vector<std::string>& settingNames() {
    static const std::vector<std::string> names{"max_stat", "max_dist", "min_dist",  "pow_exp",   "min_high",
                                                "max_high", "neighb_alt", "alt_corr", "grad_corr", "shad"};
    return names;
}

namespace {

// The whole text must be a decimal number within the command line's range, unlike a dialog
// box that reads its leading number.
void requireNumber(const SettingValue& v, Argument argument) {
    const std::optional<double> value = parseDecimal(v.text);
    checkArgument(argument, value ? *value : std::nan(""), v.shown);
}

bool requireSwitch(const SettingValue& v) {
    if (v.text != "0" && v.text != "1") throw ArgumentError{v.name + " must be 0 or 1 (False or True)."};
    return v.text == "1";
}

}  // namespace

ProgramSettings makeSettings(const std::string& method, const std::vector<SettingValue>& values,
                             std::vector<std::string>& notes) {
    ProgramSettings settings;
    SettingsInput in = settingsToInput(settings);
    applyMethod(method, in);
    for (const SettingValue& v : values) {
        const auto box = v.name == "max_stat"   ? std::make_pair(&in.MaxStat, Argument::MaxStat)
                         : v.name == "max_dist" ? std::make_pair(&in.MaxDist, Argument::MaxDist)
                         : v.name == "min_dist" ? std::make_pair(&in.MinDist, Argument::MinDist)
                         : v.name == "pow_exp"  ? std::make_pair(&in.PowExp, Argument::PowExp)
                         : v.name == "min_high" ? std::make_pair(&in.MinHigh, Argument::MinHigh)
                         : v.name == "max_high" ? std::make_pair(&in.MaxHigh, Argument::MaxHigh)
                         : v.name == "shad"     ? std::make_pair(&in.Shad, Argument::Shad)
                                                : std::make_pair(static_cast<std::string*>(nullptr), Argument::Lon);
        if (box.first) {
            requireNumber(v, box.second);
            *box.first = v.text;
        } else if (v.name == "neighb_alt") {
            in.NeighbAlt = requireSwitch(v);
        } else if (v.name == "alt_corr") {
            in.AltCorr = requireSwitch(v);
        } else if (v.name == "grad_corr") {
            in.GradCorr = requireSwitch(v);
        } else {
            std::string allowed;
            for (const std::string& name : settingNames()) allowed += (allowed.empty() ? "" : ", ") + name;
            throw ArgumentError{"unknown setting \"" + v.name + "\"; the settings are " + allowed + "."};
        }
    }
    const SettingsCheck check = checkBatchSettings(settings, in);
    for (const SettingsMessage& m : check.messages) {
        std::string text = m.text;
        for (char& c : text)
            if (c == '\r') c = ' ';
        const std::string line = m.title + ": " + text;
        if (!check.ok) throw ArgumentError{line};
        notes.push_back(line);
    }
    return settings;
}

}  // namespace zentrel::python
