// The companion files of an exported raster, so that the map window lists and shows it like
// its background maps: a colour table for the exported values, and the boundary and capital
// files of the map it was exported from.
#pragma once

#include <string>
#include <vector>

#include "maps/colour_table.h"
#include "maps/img_file.h"
#include "maps/map_folder.h"

namespace zentrel {

/// Colour classes of an exported raster: the counts its land cells use (below 253) split into
/// up to ten classes on a blue-green-yellow-red ramp, each labelled with its value range in
/// physical units ("12.4 - 14.8"), and count 255 (no estimate, sea) labelled "Sea".
std::vector<ColourRange> exportColourRanges(const ImgRaster& raster);

/// Writes base.clr (exportColourRanges) beside `imgPath` (base: the file name before its
/// first ".") and copies the displayed map's boundary and capital files as base.bnd and
/// base.cty. Each file is written beside and renamed when whole. Throws Error naming the file
/// that cannot be read or written.
void writeExportCompanions(const std::string& imgPath, const ImgRaster& raster, const MapFiles& displayed);

}  // namespace zentrel
