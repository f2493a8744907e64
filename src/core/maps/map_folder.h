// The raster map folder "rastelldata": which background maps are complete.
#pragma once

#include <string>
#include <vector>

#include "data/data_folder.h"  // kMapFolderName

namespace zentrel {

/// The four files of one background map.
struct MapFiles {
    std::string Base;  ///< the IMG file name before its first "."
    std::string Img;   ///< full paths
    std::string Clr;
    std::string Cty;
    std::string Bnd;
};

/// The usable maps of a folder: every "*.img" whose base name also has a ".clr" colour table, a
/// ".cty" capital file and a ".bnd" boundary file in the folder, each map tested on its own.
/// Extensions match in any letter case (an exported "X.IMG" is found as well as "x.img").
/// Sorted by file name, so the list is the same on every file system; a base name is listed once.
/// A missing or unreadable folder gives an empty list.
std::vector<MapFiles> listUsableMaps(const std::string& folder);

}  // namespace zentrel
