// The batch result files of the program's own format: one file per variable and quantity,
// one information file per variable and one for the whole run, a line per location.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "base/types.h"
#include "formats/text_output.h"
#include "settings/program_settings.h"

namespace zentrel {

/// "Zentrel ddmmyyyy_hhmmss" of the local time `start` ("Zentrel 15062003_093000").
std::string runPrefix(std::time_t start);

/// A number as the system writes it: `decimals` digits after the point, a leading zero, ","
/// grouping of thousands and a leading "-" ("1,234.568"); a value that rounds to zero has no sign.
std::string formatNumber(float value, int decimals);

/// The result quantities a batch run writes, in file order.
enum class Quantity { Best, Low, High, StdErr, Bias, VertGrad, VertExplVar, AbsGrad, DirecGrad, DirecGradString,
                      LongGrad, LatGrad };

/// The quantities of the ticked boxes (interval: Low and High; dirGrad: degrees and text).
std::vector<Quantity> selectedQuantities(const QuantitySelection& selection);

/// File name suffix of a quantity ("_Best.zte").
const char* quantitySuffix(Quantity q);
/// File name of a variable's quantity file: prefix + "_Temp" + "_Best.zte".
std::string quantityFileName(const std::string& prefix, int variable, Quantity q);
/// File name of a variable's information file: prefix + "_Temp_INFO.zte".
std::string variableInfoFileName(const std::string& prefix, int variable);
/// File name of the run information file: prefix + "_INFORMATION.zte".
std::string runInfoFileName(const std::string& prefix);

/// Title line, column head line and empty line of a quantity file (Windows-1252, CR LF).
std::string quantityFileHead(Quantity q, int variable);
/// The line of one location: name, two blanks, lon, lat (2 decimals), alt (0) in 8 characters,
/// then the 13 values (3 decimals) or direction texts in 10. Best, Low and High are clipped to
/// the variable's physical range as in every other output; `k` is the confidence factor.
std::string quantityLine(Quantity q, const std::string& name, const VariableResult& r, float k);

/// Head of an information file. The run file (`runFile`) starts with the line naming the
/// location list's `source` and a "Path " line with `folder`; the per-variable file's column
/// head starts with three tabs. Both end with an empty line. A run by a method other than the
/// described one says so in the run file, after the "Path " line.
std::string infoFileHead(bool runFile, const std::string& source = "", const std::string& folder = "",
                         Method method = Method::Described);
/// The information line of one location and variable: position, neighbour summary,
/// corrections field ("       AGX") and warnings field ("   Low  Few  ").
std::string infoLine(const std::string& name, const VariableResult& r, const ProgramSettings& settings);
/// The corrections field of an information line: "AGS" with X for each correction not applied.
std::string correctionsField(const VariableResult& r, const ProgramSettings& settings);
/// The warnings field: "Low  ", "High  " (against the active neighbours' altitudes), then the flags.
std::string warningsField(const VariableResult& r, bool anyAlt, float minAlt, float maxAlt);
/// One line of the summary window under its head "Variable, Long., Lat.,  Altit.,  A(Long),
/// A(Lat), A(Alt),  #Nb,       Corr., Warnings": the location, the active neighbours' mean
/// position and number, the corrections and the warnings, separated by ", ".
std::string summaryLine(const VariableResult& r, const ProgramSettings& settings);

}  // namespace zentrel
