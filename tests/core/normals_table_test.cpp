// The CSV table of station normals: its optional columns, its about lines, and that it reads
// back through the CSV importer to the same database.
#include "data/normals_table.h"

#include <gtest/gtest.h>

#include "data/csv_import.h"
#include "fixture.h"

using namespace zentrel;
using namespace zentrel::test;

namespace {

ImportReport twoStations() {
    ImportReport r;
    r.about = {"Source: Somewhere, reports.", "Period: 2001-01..2010-12"};
    Station a = makeStation(12.58f, 41.8f, 105, 7.5f, "Roma, Ciampino");
    a.Country = "Italy";
    Station b = makeStation(-8.67f, 70.94f, kUnknown, -1.25f, "Jan \"Mayen\"");
    b.Country = "Norway";
    // Lists in each variable's own order; the table orders rows by id, then variable.
    r.lists[Prec] = {a};
    r.sources[Prec] = {{"16239", 12, 19, "", "", ""}};
    r.lists[Temp] = {b, a};
    r.sources[Temp] = {{"01001", 18, 19, "", "", ""}, {"16239", 10, 17, "", "", ""}};
    r.lists[Sun] = {b};
    r.sources[Sun] = {{"01001", 0, 0, "", "", ""}};
    return r;
}

}  // namespace

TEST(NormalsTable, RowsByStationThenVariableWithYearsAndEmptyUnknowns) {
    const std::string table = formatNormalsTable(twoStations());
    const std::string expected =
        "# Station normals, one row per station and variable; read by zentrel data import-csv\n"
        "# Source: Somewhere, reports.\n"
        "# Period: 2001-01..2010-12\n"
        "id,name,country,lat,lon,alt,variable,jan,feb,mar,apr,may,jun,jul,aug,sep,oct,nov,dec,years_min,years_max\n"
        "01001,\"Jan \"\"Mayen\"\"\",Norway,70.94,-8.67,,Temp,-1.25,-1.25,-1.25,-1.25,-1.25,-1.25,-1.25,-1.25,-1.25,"
        "-1.25,-1.25,-1.25,18,19\n"
        "01001,\"Jan \"\"Mayen\"\"\",Norway,70.94,-8.67,,Sun,-1.25,-1.25,-1.25,-1.25,-1.25,-1.25,-1.25,-1.25,-1.25,"
        "-1.25,-1.25,-1.25,,\n"
        "16239,\"Roma, Ciampino\",Italy,41.8,12.58,105,Temp,7.5,7.5,7.5,7.5,7.5,7.5,7.5,7.5,7.5,7.5,7.5,7.5,10,17\n"
        "16239,\"Roma, Ciampino\",Italy,41.8,12.58,105,Prec,7.5,7.5,7.5,7.5,7.5,7.5,7.5,7.5,7.5,7.5,7.5,7.5,12,19\n";
    EXPECT_EQ(table, expected);
}

TEST(NormalsTable, ReadsBackThroughTheCsvImporterWithAboutLinesAndYears) {
    ImportReport original = twoStations();
    original.lists[Sun][0].Data.fill(0.5f);  // a plausible sunshine fraction
    original.lists[Sun][0].Data[0] = original.lists[Sun][0].Data[13] = 0;
    const ImportReport back = importCsvText(formatNormalsTable(original), "table.csv");
    EXPECT_TRUE(back.problems.empty()) << back.problems.front();
    // Written again, it gives the same table: quoted names, unknown altitudes and years, about lines.
    EXPECT_EQ(formatNormalsTable(back), formatNormalsTable(original));
    EXPECT_EQ(back.lists[Temp][0].Alt, kUnknown);
}

TEST(CsvImport, OptionalYearColumnsAreCheckedAndNineteenFieldRowsStillRead) {
    const std::string text =
        "16239,Roma,Italy,41.8,12.58,105,Temp,1,2,3,4,5,6,7,8,9,10,11,12\n"
        "16240,Rome,Italy,41.8,12.58,105,Temp,1,2,3,4,5,6,7,8,9,10,11,12,10,x\n"
        "16241,Roma3,Italy,41.8,12.58,105,Temp,1,2,3,4,5,6,7,8,9,10,11,12,10\n"
        "16242,Roma4,Italy,41.8,12.58,105,Temp,1,2,3,4,5,6,7,8,9,10,11,12,11,19\n";
    const ImportReport r = importCsvText(text, "t.csv");
    ASSERT_EQ(r.lists[Temp].size(), 2u);
    EXPECT_EQ(std::pair(r.sources[Temp][0].yearsMax, r.sources[Temp][1].yearsMin), std::pair(0, 11));
    ASSERT_EQ(r.problems.size(), 2u);
    EXPECT_EQ(r.problems[0], "t.csv, line 2, field 21 (years_max): \"x\" is not a number of years; the row is dropped.");
    EXPECT_NE(r.problems[1].find("t.csv, line 3: 20 fields, expected 19"), std::string::npos) << r.problems[1];
}

TEST(CsvImport, OnlyKnownCommentKeysDescribeTheTable) {
    const ImportReport r = importCsvText(
        "# Source: Here.\n# just a remark\n# Note: PET with 2 m/s\n#Period: not this\n", "t.csv");
    EXPECT_EQ(r.about, (std::vector<std::string>{"Source: Here.", "Note: PET with 2 m/s"}));
}
