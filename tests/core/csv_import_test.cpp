// CSV import of station normals: the documented columns, quoting, one problem per bad row, and
// values no station can have refused as the station reader refuses them.
#include "data/csv_import.h"

#include <gtest/gtest.h>

#include "error.h"

using namespace zentrel;

namespace {
const std::string kHead = "id,name,country,lat,lon,alt,variable,jan,feb,mar,apr,may,jun,jul,aug,sep,oct,nov,dec\n";
std::string row(const std::string& id, const std::string& alt, const std::string& jan = "1",
                const std::string& variable = "Temp") {
    return id + ",N,XX,41,12," + alt + "," + variable + "," + jan + ",2,3,4,5,6,7,8,9,10,11,12\n";
}
}  // namespace

TEST(CsvImport, ReadsRowsPerVariableDropsBadOnesAndSumsThemUp) {
    const std::string file = std::string(ZENTREL_TEST_DATA) + "/csv/normals.csv";
    const ImportReport r = importCsv(file);
    ASSERT_EQ(r.lists[Temp].size(), 2u);
    // The first station's fields, as the station files hold them, are pinned by the import command's test.
    EXPECT_EQ(r.lists[Temp][0].Name + "|" + r.lists[Temp][0].Country, "Roma, Ciampino|Italy");
    EXPECT_EQ(std::pair(r.lists[Temp][1].Name, r.lists[Temp][1].Alt), std::pair(std::string("Say \"hi\""), kUnknown));  // empty altitude
    EXPECT_EQ(std::pair(r.lists[Prec].size(), r.lists[Sun].size()), std::pair(1ul, 1ul));  // variable names in any case

    const std::vector<std::string> expected = {
        file +
            ", line 7: 10 fields, expected 19 (id, name, country, lat, lon, alt, variable and twelve months), 21 (and "
            "years_min, years_max) or 24 (and source, period, note); the row is dropped.",
        file +
            ", line 8, field 7 (variable): \"Rain\" is not one of Temp, Tmax, Tmin, Prec, Vap, PET, Wind, Sun; the row "
            "is dropped.",
        file + ", line 9, field 4 (lat): \"91\" is not a latitude in -90..90; the row is dropped.",
        file + ", line 10, field 13 (jun): \"x\" is not a number; the row is dropped.",
        file + ", line 11, field 19 (dec): 4000 lies outside the plausible 0..3000 of Prec; the row is dropped.",
        file + ", line 12, field 1 (id): station \"16239\" has a second Temp row; the first one is kept.",
    };
    EXPECT_EQ(r.problems, expected);
    EXPECT_EQ(std::vector<long>({r.tally[Temp].valuesRead, r.tally[Temp].dropped.at("malformed rows"), r.tally[Temp].dropped.at("repeated rows"),
                                 r.tally[Prec].dropped.at("implausible rows"), r.tally[Prec].stationsKept}),
              std::vector<long>({5, 2, 1, 1, 1}));
    const std::string text = formatImportSummary(r);
    EXPECT_NE(text.find("Temp       2 stations kept; 5 values read, 3 dropped (2 malformed rows, 1 repeated rows)\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("6 problems in the input (listed on stderr)\n"), std::string::npos) << text;
}

TEST(CsvImport, UnclosedQuoteAndMissingFile) {
    const ImportReport r = importCsvText("1,\"open,XX,1,1,1,Temp,1,2,3,4,5,6,7,8,9,10,11,12\n", "t.csv");
    EXPECT_EQ(r.problems, std::vector<std::string>{"t.csv, line 1: a quoted field has no closing quote; the row is dropped."});
    EXPECT_THROW(importCsv("/nonexistent/normals.csv"), Error);
}

// Altitudes no station has and values that are not numbers are dropped, naming line and field;
// the plausible range of each variable is kept up to its edges and a hair beyond is dropped.
TEST(CsvValueChecks, ImpossibleAltitudesNonNumbersAndValuesBeyondThePlausibleRangeAreDropped) {
    const ImportReport alt = importCsvText(kHead + row("1", "1e20") + row("2", "-20000") + row("3", "9999") + row("4", ""),
                                           "n.csv");
    ASSERT_EQ(alt.lists[Temp].size(), 2u);  // unknown altitude, written or empty, is kept
    ASSERT_EQ(alt.problems.size(), 2u);
    EXPECT_EQ(alt.problems[0].find("n.csv, line 2, field 6 (alt): \"1e20\" is not an altitude in -500..9000 m"), 0u)
        << alt.problems[0];
    EXPECT_NE(alt.problems[1].find("line 3, field 6"), std::string::npos) << alt.problems[1];
    const ImportReport hex = importCsvText(kHead + row("1", "10", "0x10") + row("2", "10", "nan") + row("3", "0x10"),
                                           "n.csv");
    EXPECT_EQ(std::pair(hex.lists[Temp].size(), hex.problems.size()), std::pair(0ul, 3ul));

    const std::tuple<const char*, const char*, bool> cases[] = {{"Temp", "55", true},  {"Temp", "55.1", false}, {"Tmin", "-90", true},  {"Tmin", "-90.1", false},
                 {"Prec", "0", true},   {"Prec", "-0.1", false}, {"Prec", "3000", true}, {"Prec", "3000.1", false},
                 {"Vap", "80", true},   {"Vap", "80.1", false},  {"PET", "500", true},   {"PET", "500.1", false},
                 {"Wind", "0", true},   {"Wind", "-0.1", false}, {"Wind", "40", true},   {"Wind", "40.1", false}};
    for (const auto& [variable, value, kept] : cases) {
        const ImportReport r = importCsvText(kHead + row("1", "10", value, variable), "n.csv");
        EXPECT_EQ(r.problems.empty(), kept) << variable << " " << value;
    }
}

// A daily maximum below the daily minimum cannot be measured: both rows of such a station go,
// while a station whose maximum equals its minimum, and another station's rows, stay.
TEST(CsvValueChecks, StationWithTmaxBelowTminInAnyMonthLosesBothRowsNamingLinesAndMonth) {
    const auto rowOf = [](const std::string& id, const std::string& variable, const std::string& march) {
        return id + ",N,XX,41,12,100," + variable + ",1,2," + march + ",4,5,6,7,8,9,10,11,12\n";
    };
    const ImportReport r = importCsvText(kHead + rowOf("A", "Tmax", "3") + rowOf("A", "Tmin", "8") + rowOf("B", "Tmax", "3") +
                                             rowOf("B", "Tmin", "3") + rowOf("C", "Tmin", "9") + rowOf("A", "Temp", "5"),
                                         "x.csv");
    EXPECT_EQ(r.problems, std::vector<std::string>{"x.csv, lines 2 and 3, field 10 (mar): station \"A\" has a Tmax of 3 below its "
                                                   "Tmin of 8; both rows are dropped."});
    ASSERT_EQ(std::pair(r.sources[Tmax].size(), r.sources[Tmin].size()), std::pair(1ul, 2ul));
    EXPECT_EQ(r.sources[Tmax][0].id + r.sources[Tmin][0].id + r.sources[Tmin][1].id, "BBC");
    EXPECT_EQ(std::pair(r.lists[Tmax].size(), r.lists[Temp].size()), std::pair(1ul, 1ul));
    EXPECT_EQ(std::pair(r.tally[Tmax].stationsKept, r.tally[Tmin].dropped.at("rows with Tmax below Tmin")), std::pair(1, 1L));
}
