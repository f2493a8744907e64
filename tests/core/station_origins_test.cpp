// Where stations come from: the 24-field import, the station table written beside the station
// files and read back onto the neighbours, the excluded list, and data info per source.
#include "data/station_origins.h"

#include <gtest/gtest.h>

#include "data/csv_import.h"
#include "data/data_info.h"
#include "data/database_replace.h"
#include "engine/engine.h"
#include "fixture.h"

using namespace zentrel;
using namespace zentrel::test;

namespace {

const std::string kHead =
    "id,name,country,lat,lon,alt,variable,jan,feb,mar,apr,may,jun,jul,aug,sep,oct,nov,dec,years_min,years_max,source,"
    "period,note\n";
const std::string kMonths = "1,2,3,4,5,6,7,8,9,10,11,12";

// Three Temp stations near 10 E, 45 N from two sources, one of them also a Wind station; a
// name with a diacritic and a comma, as the station files get it in ASCII.
std::string twoSources() {
    return "# Period: 1991-2020; stations with 2003-2021 normals adjusted\n" + kHead +
           "A1,Alpha,Italy,45.1,10.1,100,Temp," + kMonths + ",28,30,WMO,1991-2020,\n" +
           "A2,Beta,Italy,45.3,9.8,200,Temp," + kMonths + ",,,CLIMAT,2003-2021,adjusted to 1991-2020\n" +
           "A3,\"Gamma, S\xC3\xBC" "d\",Italy,44.8,10.3,300,Temp," + kMonths + ",17,19,WMO,1991-2020,\n" +
           "A3,\"Gamma, S\xC3\xBC" "d\",Italy,44.8,10.3,300,Wind," + kMonths + ",17,19,WMO,1991-2020,\n";
}

// Imports `csv` into `folder` as the import command does: stations and station table in one switch.
void importInto(const TempFolder& folder, const std::string& csv) {
    const ImportReport report = importCsvText(csv, "t.csv");
    ASSERT_TRUE(report.problems.empty()) << report.problems.front();
    replaceStationDatabase(folder.str(), report.lists, {},
                           {{kStationTableFileName, formatStationTable(report)}, {kAboutFileName, aboutFileText(report.about, {}, "")}});
}

}  // namespace

TEST(SourceColumns, TwentyFourFieldsKeepSourcePeriodAndNoteAndABadPeriodDropsTheRow) {
    const ImportReport r = importCsvText(twoSources() + "A4,D,XX,45,10,1,Temp," + kMonths + ",,,WMO,2020-1991,\n" +
                                             "A5,E,XX,45,10,1,Temp," + kMonths + ",,,WMO,1991-2020\n",
                                         "t.csv");
    ASSERT_EQ(r.sources[Temp].size(), 3u);
    const StationSource& beta = r.sources[Temp][1];
    EXPECT_EQ(std::vector<std::string>({beta.source, beta.period, beta.note}),
              std::vector<std::string>({"CLIMAT", "2003-2021", "adjusted to 1991-2020"}));
    EXPECT_EQ(r.problems,
              std::vector<std::string>(
                  {"t.csv, line 7, field 23 (period): \"2020-1991\" is not a period of years like 1991-2020; the row is "
                   "dropped.",
                   "t.csv, line 8: 23 fields, expected 19 (id, name, country, lat, lon, alt, variable and twelve months), "
                   "21 (and years_min, years_max) or 24 (and source, period, note); the row is dropped."}));
}

TEST(StationTable, ImportedSourcesComeBackOnTheNeighboursOfAnEstimate) {
    TempFolder folder("origins");
    importInto(folder, twoSources());
    const std::string table = readFile(folder.path() / kStationTableFileName);
    EXPECT_NE(table.find("Temp,A3,44.8,10.3,300,\"Gamma, Sud\",WMO,1991-2020,17,19,\n"), std::string::npos) << table;

    const ProgramSettings settings = describedSettings();  // the engine keeps a reference
    for (bool withDatabase : {false, true}) {
        Engine engine(settings, folder.str(),
                      withDatabase ? std::make_shared<const StationDatabase>(folder.str()) : nullptr);
        const VariableResult r = engine.Run(Temp, Location{"", 10, 45, 150});
        ASSERT_EQ(r.neighbours.NeighbourCount, 3);
        std::map<std::string, std::string> seen;  // name -> source, period, years
        for (int i = 1; i <= 3; ++i) {
            const StationOrigin* o = r.origins[static_cast<size_t>(i)].get();
            ASSERT_NE(o, nullptr) << r.neighbours[i].Name;
            seen[r.neighbours[i].Name] = originText(o) + " " + originYearsText(o) + " " + o->note;
        }
        EXPECT_EQ(seen, (std::map<std::string, std::string>{{"Alpha", "WMO 1991-2020 28..30 "},
                                                            {"Beta", "CLIMAT 2003-2021 - adjusted to 1991-2020"},
                                                            {"Gamma, Sud", "WMO 1991-2020 17..19 "}}));
        EXPECT_EQ(r.origins[4], nullptr);
    }
    // The Wind row of the same station is its own.
    Engine wind(settings, folder.str());
    const VariableResult w = wind.Run(Wind, Location{"", 10, 45, 150});
    ASSERT_EQ(w.neighbours.NeighbourCount, 1);
    EXPECT_EQ(w.origins[1]->id, "A3");
}

TEST(StationTable, FolderWithoutTableGivesUnknownSourcesAndAnotherImportTakesTheOldTableAway) {
    TempFolder folder("no-origins");
    writeDataFolder(folder, 10, 45, ringOfEightStations());
    const ProgramSettings settings = describedSettings();  // the engine keeps a reference
    Engine engine(settings, folder.str());
    const VariableResult r = engine.Run(Temp, Location{"", 10, 45, 150});
    ASSERT_GT(r.neighbours.NeighbourCount, 0);
    for (const auto& o : r.origins) EXPECT_EQ(o, nullptr);
    EXPECT_EQ(originText(nullptr), "-");
    EXPECT_EQ(originYearsText(nullptr), "-");

    // A table describes the stations it came with: an import without one leaves none behind.
    importInto(folder, twoSources());
    ASSERT_TRUE(std::filesystem::exists(folder.path() / kStationTableFileName));
    const ImportReport plain = importCsvText(kHead.substr(0, kHead.find(",years_min")) + "\nB1,B,XX,45,10,1,Temp," + kMonths + "\n", "p.csv");
    replaceStationDatabase(folder.str(), plain.lists);
    EXPECT_FALSE(std::filesystem::exists(folder.path() / kStationTableFileName));
}

TEST(StationTable, MalformedTableIsNamedAndCostsTheSourcesNotTheEstimate) {
    TempFolder folder("bad-origins");
    writeDataFolder(folder, 10, 45, ringOfEightStations());
    folder.write(kStationTableFileName, "variable,id,lat,lon,alt,name,source,period,years_min,years_max,note\n"
                                        "Temp,1,95,10,1,S,WMO,1991-2020,,,\n");
    EXPECT_EQ(errorOf([&] { stationOriginsOf(folder.str()); }),
              "The station table " + folder.file(kStationTableFileName) +
                  ", line 2, field 3 (lat): \"95\" is not a latitude in -90..90.");
    const ProgramSettings settings = describedSettings();  // the engine keeps a reference
    Engine engine(settings, folder.str());
    const VariableResult r = engine.Run(Temp, Location{"", 10, 45, 150});
    EXPECT_GT(r.neighbours.ActiveCount, 0);
    ASSERT_FALSE(r.messages.empty());
    EXPECT_EQ(r.messages.back().title, "Station sources");
}

TEST(ExcludedList, CommentsAndStationlessLinesAreReadAMalformedLineIsNamedByFileLineAndField) {
    const std::string head = "id,name,country,lat,lon,alt,variable,source,reason\n# quality control\n";
    const auto list = parseExcludedStations(head + "B9,Bad,Italy,45,10,,Temp,CLIMAT,jump in 2010\n,,,,,,,,unreadable line\n", "x.csv");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].reason, "jump in 2010");
    EXPECT_TRUE(std::isnan(list[1].lat));
    EXPECT_EQ(errorOf([&] { parseExcludedStations(head + "B9,Bad,Italy,-90.5,10,,Temp,CLIMAT,far\n", "x.csv"); }),
              "The excluded list x.csv, line 3, field 4 (lat): \"-90.5\" is not a latitude in -90..90.");
    EXPECT_EQ(errorOf([&] { parseExcludedStations(head + "B9,Bad,Italy,45,190,,Temp,CLIMAT,far\n", "x.csv"); }),
              "The excluded list x.csv, line 3, field 5 (lon): \"190\" is not a longitude in -180..180.");
    EXPECT_EQ(errorOf([&] { parseExcludedStations(head + "B9,Bad,Italy,45,10,,Rain,CLIMAT,far\n", "x.csv"); }),
              "The excluded list x.csv, line 3, field 7 (variable): \"Rain\" is not one of Temp, Tmax, Tmin, Prec, Vap, "
              "PET, Wind, Sun.");
    EXPECT_EQ(errorOf([&] { parseExcludedStations(head + "B9,Bad,Italy,45,10,,Temp,CLIMAT,\n", "x.csv"); }),
              "The excluded list x.csv, line 3, field 9 (reason): the reason is empty.");
    EXPECT_EQ(errorOf([&] { parseExcludedStations(head + "B9,Bad,Italy,45,10\n", "x.csv"); }),
              "The excluded list x.csv, line 3: 5 fields, expected 9 (id, name, country, lat, lon, alt, variable, "
              "source, reason).");
}

TEST(DataInfoSources, CountsStationsPerSourceAndVariableWithPeriodsAndTerms) {
    TempFolder folder("info-origins");
    importInto(folder, "# Terms WMO: as agreed\n" + twoSources());
    const DataInfo info = describeDataFolder(folder.str());
    ASSERT_TRUE(info.stationTable);
    ASSERT_EQ(info.sources.size(), 2u);
    const SourceInfo& wmo = info.sources.at("WMO");
    EXPECT_EQ(std::vector<int>(wmo.stations.begin(), wmo.stations.end()), std::vector<int>({2, 0, 0, 0, 0, 0, 1, 0}));
    EXPECT_EQ(wmo.periods, std::vector<std::string>{"1991-2020"});
    const std::string text = formatDataInfo(info);
    EXPECT_NE(text.find("CLIMAT     2003-2021                1     0     0     0     0     0     0     0\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("  WMO: as agreed\n"), std::string::npos) << text;  // the folder's own terms first
    EXPECT_NE(text.find("  CLIMAT: " + knownSourceTerms().at("CLIMAT")), std::string::npos) << text;

    TempFolder plain("info-plain");
    writeDataFolder(plain, 10, 45, ringOfEightStations());
    EXPECT_NE(formatDataInfo(describeDataFolder(plain.str())).find("Sources of the single stations: not known"),
              std::string::npos);
}
