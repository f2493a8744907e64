// CLIMAT import on the hand-made reports of tests/data/climat (three years, four stations:
// one clean, one with broken records, one missing from the station list, one without position).
#include "data/climat_import.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/picture.h"
#include "data/penman.h"
#include "error.h"
#include "fixture.h"

using namespace zentrel;

namespace {

const std::string kFolder = std::string(ZENTREL_TEST_DATA) + "/climat";
const std::string kList = kFolder + "/stations_list_CLIMAT_data.txt";

ImportReport importPeriod(int from, int to, int minYears) {
    ClimatOptions o;
    o.fromYear = from;
    o.toYear = to;
    o.minYears = minYears;
    return importClimat(kFolder, kList, o);
}

const Station* find(const std::vector<Station>& list, const std::string& name) {
    const auto at = std::find_if(list.begin(), list.end(), [&](const Station& s) { return s.Name == name; });
    return at == list.end() ? nullptr : &*at;
}

// Gottingen's twelve normals of `variable`, as a station file writes them.
std::string gottingen(const ImportReport& r, int variable) {
    const Station* s = find(r.lists[static_cast<size_t>(variable)], "Gottingen");
    std::string text = s ? "" : "missing";
    for (size_t m = 1; s && m <= 12; ++m) text += (m > 1 ? "," : "") + roundTripFloat(s->Data[m]);
    return text;
}

bool hasProblem(const ImportReport& r, const std::string& text) {
    return std::find(r.problems.begin(), r.problems.end(), text) != r.problems.end();
}

}  // namespace

TEST(ClimatImport, NormalsAreMeansOverTheValidYearsOfThePeriod) {
    const ImportReport r = importPeriod(2019, 2020, 2);
    const Station* temp = find(r.lists[Temp], "Gottingen");
    ASSERT_NE(temp, nullptr);
    EXPECT_EQ(temp->Country + " " + roundTripFloat(temp->Lat) + " " + roundTripFloat(temp->Alt), "Germany 50 200");
    EXPECT_EQ(gottingen(r, Temp) + " " + gottingen(r, Tmax) + " " + gottingen(r, Tmin) + " " + gottingen(r, Vap),
              "1.5,2.5,3.5,4.5,5.5,6.5,7.5,8.5,9.5,10.5,11.5,12.5 6.5,7.5,8.5,9.5,10.5,11.5,12.5,13.5,14.5,15.5,16.5,17.5 "
              "-3.5,-2.5,-1.5,-0.5,0.5,1.5,2.5,3.5,4.5,5.5,6.5,7.5 8,8,8,8,8,8,8,8,8,8,8,8");
    // 9999 in January 2020 reports a trace: 0 mm.
    EXPECT_EQ(std::pair(find(r.lists[Prec], "Gottingen")->Data[1], find(r.lists[Prec], "Gottingen")->Data[6]), std::pair(5.0f, 70.0f));
    // 100 hours of sunshine as a fraction of each month's astronomical day length, 2020 a leap year.
    const double february = (100 / monthlyDaylightHours(50, 2019, 2) + 100 / monthlyDaylightHours(50, 2020, 2)) / 2;
    EXPECT_NEAR(find(r.lists[Sun], "Gottingen")->Data[2], february, 0.0006);
    // PET by Penman-Monteith from the written normals with 2 m/s of wind.
    PenmanInputs in;
    in.lat = 50;
    in.alt = 200;
    for (int m = 1; m <= 12; ++m) {
        in.tmax[m] = find(r.lists[Tmax], "Gottingen")->Data[m];
        in.tmin[m] = find(r.lists[Tmin], "Gottingen")->Data[m];
        in.vap[m] = 8;
        in.sun[m] = find(r.lists[Sun], "Gottingen")->Data[m];
        in.wind[m] = 2;
    }
    const Monthly pet = referenceEvapotranspiration(in);
    ASSERT_EQ(r.lists[PET].size(), 1u);
    EXPECT_NEAR(r.lists[PET][0].Data[7], pet[7], 0.051);
    EXPECT_TRUE(r.lists[Wind].empty());
    EXPECT_NE(std::find(r.notes.begin(), r.notes.end(), "48 reports outside 2019..2020 not used"), r.notes.end());
}

// Broken records and station-list entries are reported and cost only their month or entry;
// a missing list or folder, and a cancel, are errors.
TEST(ClimatImport, BrokenRecordsAndListEntriesAreReportedAndCostOnlyTheirMonth) {
    const ImportReport r = importPeriod(2019, 2020, 2);
    for (const char* problem : {
             "CLIMAT_RAW_201903.txt, line 3, field 9 (sn): \"2\" is not a sign (0 or 1).",
             "CLIMAT_RAW_201904.txt, line 3, field 14 (Tx): the mean maximum 20 °C lies below the mean minimum 30 °C.",
             "CLIMAT_RAW_201905.txt, line 3, field 20 (R1): 9990 mm is not a plausible monthly precipitation.",
             "CLIMAT_RAW_201907.txt, line 3, field 19 (G1): \"X\" is not the group indicator 6.",
             "CLIMAT_RAW_201912.txt, line 6: 1 fields, expected at least 34 (year, month, station and section 1); the "
             "line is skipped.",
             "CLIMAT_RAW_201901.txt, line 4, field 3 (IIiii): station 10003 is not in the station list; its 24 reports "
             "are dropped.",
             "CLIMAT_RAW_201901.txt, line 5, field 3 (IIiii): station 10004 has no position in the station list; its 24 "
             "reports are dropped.",
             "stations_list_CLIMAT_data.txt, line 6, field 1 (WMO-Station ID): station 10005 is listed a second time; "
             "the first entry is kept.",
             "stations_list_CLIMAT_data.txt, line 7, field 3 (Latitude): \"95.00\" is not a latitude in -90..90."})
        EXPECT_TRUE(hasProblem(r, problem)) << problem;
    // The broken station loses the variables with a broken month, keeps the others.
    for (int v : {Temp, Tmax, Prec}) EXPECT_EQ(find(r.lists[v], "Bad Data"), nullptr) << v;
    const Station* vap = find(r.lists[Vap], "Bad Data");
    ASSERT_NE(vap, nullptr);
    EXPECT_EQ(std::pair(vap->Alt, vap->Data[4]), std::pair(kUnknown, 12.0f));
    EXPECT_EQ(std::vector<long>({r.tally[Prec].dropped.at("implausible"), r.tally[Prec].dropped.at("incomplete months"),
                                r.tally[Tmax].dropped.at("implausible"),
                                r.tally[Temp].stationsDropped.at("fewer than 2 valid years in some month"),
                                r.tally[Temp].stationsDropped.at("is not in the station list"), r.tally[Temp].stationsKept,
                                r.tally[Vap].stationsKept}),
              std::vector<long>({1, 1, 1, 1, 1, 1, 2}));

    EXPECT_THROW(importClimat(kFolder, kFolder + "/none.txt", ClimatOptions{}), Error);
    EXPECT_THROW(importClimat(std::string(ZENTREL_TEST_DATA) + "/station_writer", kList, ClimatOptions{}), Error);
    Feedback cancelled;
    cancelled.cancel();
    EXPECT_THROW(importClimat(kFolder, kList, ClimatOptions{}, &cancelled), Error);
}

TEST(ClimatImport, PeriodAndMinimumYears) {
    const ImportReport all = importPeriod(0, 9999, 3);
    ASSERT_NE(find(all.lists[Temp], "Gottingen"), nullptr);
    EXPECT_FLOAT_EQ(find(all.lists[Temp], "Gottingen")->Data[1], 1.0f);  // 0, 1 and 2 °C
    const ImportReport tooFew = importPeriod(0, 9999, 4);
    EXPECT_TRUE(tooFew.lists[Temp].empty());
    EXPECT_EQ(tooFew.tally[Temp].stationsDropped.at("fewer than 4 valid years in some month"), 2);
    const ImportReport one = importPeriod(2020, 2020, 1);
    EXPECT_EQ(std::pair(find(one.lists[Temp], "Gottingen")->Data[1], find(one.lists[Prec], "Gottingen")->Data[1]), std::pair(2.0f, 0.0f));
}

// One report a month for the clean station, its mean temperature and precipitation at the edges
// of what the importer keeps.
TEST(ClimatImport, PlausibleRangeEdgesAreKeptAndAHairBeyondIsReported) {
    // Sign and tenths of a degree of the mean temperature, precipitation, whether each is kept.
    const struct {
        const char *sign, *tenths, *mm;
        bool temperatureKept, precipitationKept;
    } cases[] = {{"1", "900", "3000", true, true},
                 {"1", "901", "3001", false, false},
                 {"0", "550", "1200", true, true},  // wetter than any month's PET, still plausible rain
                 {"0", "551", "0000", false, true}};
    test::TempFolder folder("climat-edges");
    std::string text = "year;month;IIiii;G1;Po;G1;P;G1;sn;T;st;G1;sn;Tx;sn;Tn;G1;e;G1;R1;Rd;nr;G1;S1;ps;G1;mp;mT;mTx;"
                       "mTn;G1;me;mR;mS\n";
    for (size_t k = 0; k < std::size(cases); ++k)
        text += "2019;0" + std::to_string(k + 1) + ";10001;1;10100;2;10150;3;" + cases[k].sign + ";" + cases[k].tenths +
                ";020;;;;;;;;6;" + cases[k].mm + ";3;05;;;;;;;;;;;;\n";
    folder.write("CLIMAT_RAW_201901.txt", text);
    ClimatOptions o;
    o.fromYear = o.toYear = 2019;
    o.minYears = 1;
    const ImportReport r = importClimat(folder.str(), kList, o);
    const auto reported = [&](size_t k, const std::string& field) {
        const std::string at = "CLIMAT_RAW_201901.txt, line " + std::to_string(k + 2) + ", field " + field;
        return std::any_of(r.problems.begin(), r.problems.end(), [&](const std::string& p) { return p.find(at) == 0; });
    };
    for (size_t k = 0; k < std::size(cases); ++k) {
        EXPECT_EQ(reported(k, "10 (T)"), !cases[k].temperatureKept) << "case " << k;
        EXPECT_EQ(reported(k, "20 (R1)"), !cases[k].precipitationKept) << "case " << k;
    }
}

// A mean temperature of 10.5 C may lie up to 1 K outside the mean minimum and maximum of its
// month (rounding of the three normals), not more.
TEST(ClimatImport, MeanTemperatureAtMostOneDegreeOutsideTheMeanMinimumAndMaximumIsKept) {
    const struct {
        const char *tx, *tn;
        bool kept;
    } cases[] = {{"150", "114", true}, {"150", "116", false}, {"096", "050", true}, {"094", "050", false}};
    test::TempFolder folder("climat-mean-edges");
    std::string text = "year;month;IIiii;G1;Po;G1;P;G1;sn;T;st;G1;sn;Tx;sn;Tn;G1;e;G1;R1;Rd;nr;G1;S1;ps;G1;mp;mT;mTx;"
                       "mTn;G1;me;mR;mS\n";
    for (size_t k = 0; k < std::size(cases); ++k)
        text += "2019;0" + std::to_string(k + 1) + ";10001;1;10100;2;10150;3;0;105;020;4;0;" + cases[k].tx + ";0;" + cases[k].tn +
                ";;;6;0010;3;05;;;;;;;;;;;;\n";
    folder.write("CLIMAT_RAW_201901.txt", text);
    ClimatOptions o;
    o.fromYear = o.toYear = 2019;
    o.minYears = 1;
    const ImportReport r = importClimat(folder.str(), kList, o);
    for (size_t k = 0; k < std::size(cases); ++k) {
        const std::string at = "CLIMAT_RAW_201901.txt, line " + std::to_string(k + 2) + ", field 10 (T)";
        const bool reported = std::any_of(r.problems.begin(), r.problems.end(), [&](const std::string& p) { return p.find(at) == 0; });
        EXPECT_EQ(reported, !cases[k].kept) << "Tx " << cases[k].tx << ", Tn " << cases[k].tn;
    }
    EXPECT_EQ(std::count_if(r.problems.begin(), r.problems.end(), [](const std::string& p) { return p.find("CLIMAT_RAW") == 0; }), 2)
        << "the maxima and minima themselves are kept";
}
