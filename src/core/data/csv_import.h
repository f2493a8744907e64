// Importer of station normals from one CSV file into the station database layout.
//
// The CSV file: one row per station and variable, comma-separated, text fields optionally in
// double quotes ("" inside quotes is one quote), "." as decimal point, UTF-8 or ISO-8859-1.
// Blank lines and lines starting with "#" are skipped; a first row starting with "id" is the
// header. Nineteen fields, twenty-one or twenty-four with the optional last ones:
//   id, name, country, lat, lon, alt, variable, jan, feb, mar, apr, may, jun, jul, aug, sep, oct, nov, dec
//   [, years_min, years_max [, source, period, note]]
// id: any text naming the station; lat, lon: decimal degrees, north and east positive;
// alt: m, empty or 9999 when unknown; variable: Temp, Tmax, Tmin, Prec, Vap, PET, Wind or Sun;
// the twelve long-term monthly means in °C (Temp, Tmax, Tmin), mm per month (Prec, PET),
// hPa (Vap), m/s (Wind) or as sunshine fraction 0..1 (Sun). Example:
//   16239,Roma Ciampino,Italy,41.8,12.58,105,Temp,7.5,8.3,10.5,13.1,17.2,21.1,24.1,24.1,21.1,16.8,11.9,8.6
// years_min, years_max: the smallest and largest number of valid years behind the twelve
// normals, empty when not known. source: where the station's normals come from ("WMO", "DWD" ...);
// period: the station's own observation period ("1991-2020"); note: a short remark ("adjusted
// to 1991-2020"); each may be empty. Comment lines "# Source: ...", "# Period: ...",
// "# Derivation: ...", "# Note: ..." and "# Terms <source>: ..." describe the whole table
// (ImportReport::about).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "data/import_report.h"

namespace zentrel {

/// Splits one CSV row at its commas (blanks around unquoted fields dropped, "" inside quotes is
/// one quote). Returns false when a quoted field is not closed.
bool splitCsvRow(std::string_view line, std::vector<std::string>& fields);

/// A count of valid years as the tables write it: empty (not known, 0) or a whole number
/// 0..9999. False for anything else.
bool parseYears(const std::string& text, int& out);

/// Parses the CSV text; `file` names it in problems. Bad rows are dropped with a problem naming
/// file, line and field; the rest is imported. Never throws for bad rows.
ImportReport importCsvText(std::string_view text, const std::string& file);

/// Reads and imports a CSV file. Throws Error when the file cannot be read.
ImportReport importCsv(const std::string& path);

}  // namespace zentrel
