// What one call of estimate, estimate_many or grid asks for: the variable, the method, the
// confidence level and the settings keywords, checked with the command line's messages.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "settings/argument_checks.h"
#include "settings/program_settings.h"

namespace zentrel::python {

/// Thrown for an argument the module cannot use; becomes a Python ValueError.
struct ArgumentError {
    std::string message;
};

/// The estimation methods a caller may name, in the order of the error message.
const std::vector<std::string>& methodNames();

/// Sets the settings of a method ("kriging", the default; "adaptive"; "robust": the robust altitude and
/// gradient corrections; "described": the classic method). Throws ArgumentError naming the allowed
/// values for any other name.
void applyMethod(const std::string& method, SettingsInput& input);

/// Variable index of a name ("Temp", case-insensitive). Throws ArgumentError otherwise.
int parseVariable(const std::string& name);

/// Throws ArgumentError "max_stat must be 1..20, got 50" unless `value` is within the range
/// that the command line's option of `argument` takes. `shown` is the value as Python wrote it.
double checkArgument(Argument argument, double value, const std::string& shown);

/// One settings keyword with its value as text: numbers as the user would type them into the
/// settings boxes, switches as "0" or "1"; `shown` is the value as Python writes it (its repr).
struct SettingValue {
    std::string name;
    std::string text;
    std::string shown;
};

/// The settings keywords, in the order of the settings dialog.
const std::vector<std::string>& settingNames();

/// The settings of one request: the defaults, the method and the keywords stored and checked
/// as the batch window checks them. Numbers are checked against the command line's ranges
/// first: ArgumentError "max_stat must be 1..20, got 50". Corrections that are not failures
/// (a minimum distance below 0.1 km) are added to `notes`.
ProgramSettings makeSettings(const std::string& method, const std::vector<SettingValue>& values,
                             std::vector<std::string>& notes);

}  // namespace zentrel::python
