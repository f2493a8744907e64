// The CSV importer refuses values no station can have, as the station reader does.
#include <gtest/gtest.h>

#include "data/csv_import.h"
#include "engine/types.h"

using namespace zentrel;

namespace {
const std::string kHead = "id,name,country,lat,lon,alt,variable,jan,feb,mar,apr,may,jun,jul,aug,sep,oct,nov,dec\n";
std::string row(const std::string& id, const std::string& alt, const std::string& jan = "1") {
    return id + ",N,XX,41,12," + alt + ",Temp," + jan + ",2,3,4,5,6,7,8,9,10,11,12\n";
}
}  // namespace

TEST(CsvValueChecks, ImpossibleAltitudeIsDroppedNamingLineAndField) {
    const ImportReport r = importCsvText(kHead + row("1", "1e20") + row("2", "-20000") + row("3", "9999") + row("4", ""),
                                         "n.csv");
    ASSERT_EQ(r.lists[Temp].size(), 2u);  // unknown altitude, written or empty, is kept
    ASSERT_EQ(r.problems.size(), 2u);
    EXPECT_EQ(r.problems[0].find("n.csv, line 2, field 6 (alt): \"1e20\" is not an altitude in -500..9000 m"), 0u)
        << r.problems[0];
    EXPECT_NE(r.problems[1].find("line 3, field 6"), std::string::npos) << r.problems[1];
}

TEST(CsvValueChecks, HexNanAndOverflowAreNotNumbers) {
    const ImportReport r = importCsvText(kHead + row("1", "10", "0x10") + row("2", "10", "nan") + row("3", "0x10"),
                                         "n.csv");
    EXPECT_TRUE(r.lists[Temp].empty());
    EXPECT_EQ(r.problems.size(), 3u);
}
