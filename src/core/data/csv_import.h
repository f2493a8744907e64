// Importer of station normals from one CSV file into the station database layout.
//
// The CSV file: one row per station and variable, comma-separated, text fields optionally in
// double quotes ("" inside quotes is one quote), "." as decimal point, UTF-8 or ISO-8859-1.
// Blank lines and lines starting with "#" are skipped; a first row starting with "id" is the
// header. Nineteen fields, or twenty-one with the optional last two:
//   id, name, country, lat, lon, alt, variable, jan, feb, mar, apr, may, jun, jul, aug, sep, oct, nov, dec
//   [, years_min, years_max]
// id: any text naming the station; lat, lon: decimal degrees, north and east positive;
// alt: m, empty or 9999 when unknown; variable: Temp, Tmax, Tmin, Prec, Vap, PET, Wind or Sun;
// the twelve long-term monthly means in °C (Temp, Tmax, Tmin), mm per month (Prec, PET),
// hPa (Vap), m/s (Wind) or as sunshine fraction 0..1 (Sun). Example:
//   16239,Roma Ciampino,Italy,41.8,12.58,105,Temp,7.5,8.3,10.5,13.1,17.2,21.1,24.1,24.1,21.1,16.8,11.9,8.6
// years_min, years_max: the smallest and largest number of valid years behind the twelve
// normals, empty when not known. Comment lines "# Source: ...", "# Period: ...",
// "# Derivation: ..." and "# Note: ..." describe the whole table (ImportReport::about).
#pragma once

#include <string>
#include <string_view>

#include "data/import_report.h"

namespace zentrel {

/// Parses the CSV text; `file` names it in problems. Bad rows are dropped with a problem naming
/// file, line and field; the rest is imported. Never throws for bad rows.
ImportReport importCsvText(std::string_view text, const std::string& file);

/// Reads and imports a CSV file. Throws Error when the file cannot be read.
ImportReport importCsv(const std::string& path);

}  // namespace zentrel
