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
    zentrel::ImgRaster map;
    zentrel::ImgHeader& h = map.Header;
    h.Rows = 4;
    h.Columns = 6;
    h.RefLon = h.RefColumn = 3;
    h.RefLat = 1;
    h.RefRow = 2;
    h.CellWidth = h.CellHeight = 1;
    h.Byte22 = 7;
    h.Byte204 = 9;
    map.Cells.assign(24, 1);
    map.Cells[1 * 6 + 1] = zentrel::kImgNoData;
    return map;
}

}  // namespace maps_test
