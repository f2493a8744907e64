// The CSV table of station normals that `zentrel data import-csv` reads, written from an import:
// a reviewable, stable text form of a whole station database with where each normal came from.
#pragma once

#include <string>

#include "data/import_report.h"

namespace zentrel {

/// The table of `report`: its about lines as "# Key: value" comments, the header row, then one
/// row per station and variable (id, name, country, lat, lon, alt, variable, jan..dec,
/// years_min, years_max), ordered by station id and then variable. Unknown altitudes and
/// unknown year counts are empty fields. The same report gives the same bytes.
std::string formatNormalsTable(const ImportReport& report);

/// A CSV text field, quoted only where it holds a comma or a quote.
std::string csvField(const std::string& text);

/// Writes `text` to `path`, replacing it atomically. Throws Error naming the file.
void writeTextFile(const std::string& path, const std::string& text);

}  // namespace zentrel
