// CSV import of station normals: the documented columns, quoting, and one problem per bad row.
#include "data/csv_import.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "error.h"

using namespace zentrel;

TEST(CsvImport, ReadsRowsPerVariableAndDropsBadOnes) {
    const ImportReport r = importCsv(std::string(ZENTREL_TEST_DATA) + "/csv/normals.csv");
    ASSERT_EQ(r.lists[Temp].size(), 2u);
    const Station& rome = r.lists[Temp][0];
    EXPECT_EQ(rome.Name, "Roma, Ciampino");
    EXPECT_EQ(rome.Country, "Italy");
    EXPECT_FLOAT_EQ(rome.Lon, 12.58f);
    EXPECT_FLOAT_EQ(rome.Lat, 41.8f);
    EXPECT_FLOAT_EQ(rome.Alt, 105);
    EXPECT_FLOAT_EQ(rome.Data[12], 8.6f);
    EXPECT_EQ(r.lists[Temp][1].Name, "Say \"hi\"");
    EXPECT_FLOAT_EQ(r.lists[Temp][1].Alt, kUnknown);  // empty altitude
    EXPECT_EQ(r.lists[Prec].size(), 1u);
    EXPECT_EQ(r.lists[Sun].size(), 1u);  // variable names in any case

    const std::string file = std::string(ZENTREL_TEST_DATA) + "/csv/normals.csv";
    const std::vector<std::string> expected = {
        file +
            ", line 7: 10 fields, expected 19 (id, name, country, lat, lon, alt, variable and twelve months) or 21 (and "
            "years_min, years_max); the row is dropped.",
        file +
            ", line 8, field 7 (variable): \"Rain\" is not one of Temp, Tmax, Tmin, Prec, Vap, PET, Wind, Sun; the row "
            "is dropped.",
        file + ", line 9, field 4 (lat): \"91\" is not a latitude in -90..90; the row is dropped.",
        file + ", line 10, field 13 (jun): \"x\" is not a number; the row is dropped.",
        file + ", line 11, field 19 (dec): 4000 lies outside the plausible 0..3000 of Prec; the row is dropped.",
        file + ", line 12, field 1 (id): station \"16239\" has a second Temp row; the first one is kept.",
    };
    EXPECT_EQ(r.problems, expected);
    EXPECT_EQ(r.tally[Temp].valuesRead, 5);
    EXPECT_EQ(r.tally[Temp].dropped.at("malformed rows"), 2);
    EXPECT_EQ(r.tally[Temp].dropped.at("repeated rows"), 1);
    EXPECT_EQ(r.tally[Prec].dropped.at("implausible rows"), 1);
    EXPECT_EQ(r.tally[Prec].stationsKept, 1);
}

TEST(CsvImport, UnclosedQuoteAndMissingFile) {
    const ImportReport r = importCsvText("1,\"open,XX,1,1,1,Temp,1,2,3,4,5,6,7,8,9,10,11,12\n", "t.csv");
    ASSERT_EQ(r.problems.size(), 1u);
    EXPECT_EQ(r.problems[0], "t.csv, line 1: a quoted field has no closing quote; the row is dropped.");
    EXPECT_THROW(importCsv("/nonexistent/normals.csv"), Error);
}

TEST(ImportSummary, ListsKeptAndDroppedPerVariable) {
    const ImportReport r = importCsv(std::string(ZENTREL_TEST_DATA) + "/csv/normals.csv");
    const std::string text = formatImportSummary(r);
    EXPECT_NE(text.find("Temp       2 stations kept; 5 values read, 3 dropped (2 malformed rows, 1 repeated rows)\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("6 problems in the input (listed on stderr)\n"), std::string::npos) << text;
}
