// Helpers for the map tests: golden files and a small map.
#pragma once

#include <string>

#include "fixture.h"
#include "maps/img_file.h"

namespace maps_test {

using zentrel::test::readFile;
using ScratchFolder = zentrel::test::TempFolder;

inline std::string golden(const std::string& name) { return readFile(std::string(ZENTREL_TEST_DATA) + "/maps/" + name); }

/// A 6 x 4 map at 1 degree whose columns lie at longitudes 0..5 and rows at latitudes 3..0;
/// the cell at longitude 1, latitude 2 is sea; two pass-through bytes are set.
inline zentrel::ImgRaster smallMap() {
    zentrel::ImgRaster map{.Header = {.Byte22 = 7, .Rows = 4, .Columns = 6, .Title = {}, .RefLat = 1, .RefLon = 3, .RefColumn = 3, .RefRow = 2,
                                      .CellWidth = 1, .CellHeight = 1, .Byte204 = 9},
                           .Cells = std::vector<uint8_t>(24, 1)};
    map.Cells[1 * 6 + 1] = zentrel::kImgNoData;
    return map;
}

}  // namespace maps_test
