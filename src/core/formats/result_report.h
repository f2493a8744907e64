// The program's own result file (".zte"): per variable a block with the location, the
// methods, the warnings, the monthly table of the chosen quantities and, on request, the
// neighbour and observation tables; the workbench adds dekadal, daily and threshold sections.
#pragma once

#include <string>

#include "formats/text_output.h"
#include "settings/program_settings.h"

namespace zentrel {

/// What the output window chose for the result file.
struct ReportOptions {
    Location location;              ///< the location named in the block head
    QuantitySelection quantities;   ///< columns of the monthly table
    ConfidenceLevel level;          ///< bounds of the interval columns and of the finer sections
    bool stations = false;          ///< "Station Information"
    bool observations = false;      ///< "List of observed Data"
    bool dekadal = false;           ///< workbench: "Dekadal Resolution"
    bool daily = false;             ///< workbench: "Daily Resolution"
    bool thresholds = false;        ///< workbench: "Days reaching Threshold"
    bool demonstrationData = false; ///< the station database is demonstration data
    /// The printed report's texts: the location in degrees, minutes and seconds, "Allowed ..."
    /// method lines, month rows "Jan." ... "Avg." and interval titles " 5%" / "95%" by level.
    bool printed = false;
};

/// A coordinate in degrees, minutes and whole seconds with its hemisphere letter, as the
/// printed report writes it: "41°59' 24'' N " (latitude) or "13°0' 36'' E " (longitude).
std::string degreesMinutesSeconds(float value, bool latitude);

/// Unit text of a variable in the tables: "°C ", "mm ", "hPa", "m/s" or " ".
std::string unitText(int variable);
/// Long name of a variable in the block head ("Monthly Mean Temperature in °C", ...).
std::string longVariableName(int variable);

/// One variable's block, as Windows-1252 bytes with CR LF line ends.
std::string reportBlock(const VariableResult& result, const ProgramSettings& settings,
                        const ReportOptions& options);

/// The whole file: the blocks of the selected variables in the order Temp..Sun.
std::string formatReport(const VariableResults& results, const VariableSelection& selection,
                         const ProgramSettings& settings, const ReportOptions& options);

}  // namespace zentrel
