// The map folder scan: only complete maps are listed.
#include "maps/map_folder.h"

#include <gtest/gtest.h>

#include "maps_test_util.h"

using namespace zentrel;

namespace {
std::vector<std::string> bases(const std::vector<MapFiles>& maps) {
    std::vector<std::string> out;
    for (const auto& m : maps) out.push_back(m.Base);
    return out;
}
}  // namespace

TEST(MapFolder, OnlyMapsWithAllFourFilesAreListedAndAMissingFolderHasNone) {
    maps_test::ScratchFolder folder;
    for (const char* name : {"a.img", "a.clr", "a.cty", "a.bnd",      // complete
                             "b.img", "b.clr", "b.bnd",               // no capitals
                             "C.IMG", "C.clr", "c.CTY", "C.bnd",      // exported name, mixed case
                             "d.v2.img", "d.clr", "d.cty", "d.bnd",   // base name before the first "."
                             "e.clr", "e.cty", "e.bnd", "notes.txt"})  // no raster
        folder.write(name, "x");
    const auto maps = listUsableMaps(folder.path().string());
    EXPECT_EQ(bases(maps), (std::vector<std::string>{"C", "a", "d"}));
    EXPECT_EQ(std::vector<std::string>({maps[0].Img, maps[0].Cty, maps[2].Img, maps[2].Clr}),
              std::vector<std::string>({folder.file("C.IMG"), folder.file("c.CTY"), folder.file("d.v2.img"), folder.file("d.clr")}));
    EXPECT_TRUE(listUsableMaps("/nonexistent/rastelldata").empty());
}
