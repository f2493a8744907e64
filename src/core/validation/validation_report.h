// Text, JSON and CSV forms of a hold-out validation report.
#pragma once

#include <string>

#include "validation/cross_validation.h"

namespace zentrel {

/// The report as plain-text tables: the summary per variable, then per variable the
/// continents, the warnings and the worst residuals.
std::string formatValidationText(const ValidationReport& report);

/// The summary, continents, warnings and worst residuals as one JSON document.
std::string formatValidationJson(const ValidationReport& report);

/// Every held-out station and month as a CSV row (variable, station, country, lon, lat, alt,
/// continent, fold, month, observed, estimated, stderr, z); month 13 is the annual value.
std::string formatValidationCsv(const ValidationReport& report);

}  // namespace zentrel
