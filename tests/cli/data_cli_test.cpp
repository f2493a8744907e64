// `zentrel data import-csv`, `import-climat`, `info` and `where` and `zentrel --version` run as a
// user runs them: the databases they write, and which data folder is in use and why.
#include <gtest/gtest.h>

#include "cli_fixture.h"
#include "version.h"

using namespace zentrel;
using namespace zentrel::test;
namespace fs = std::filesystem;

namespace {
int countLines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }
const std::string kNormals = std::string(ZENTREL_TEST_DATA) + "/csv/normals.csv";
const std::string kClimat = std::string(ZENTREL_TEST_DATA) + "/climat";
const std::string kStations = " --stations " + kClimat + "/stations_list_CLIMAT_data.txt";
}  // namespace

TEST(DataCommand, ImportCsvWritesTheDatabaseReportsBadRowsAndInfoDescribesIt) {
    TempFolder out("cli-csv");
    out.write("DEMONSTRATION", "old marker\n");
    const CliResult r = runCliOk("data import-csv --in " + kNormals + " --out " + out.str());
    EXPECT_NE(r.out.find("Temp       2 stations kept"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("zentrel: " + kNormals + ", line 8, field 7 (variable)"), std::string::npos) << r.err;
    EXPECT_EQ(countLines(r.err), 6);
    // Rome lies in the staggered Temp file 5/5; the southern station in the polar file.
    EXPECT_EQ(readFile(out.path() / "mela5lo5.txt"),
              "41.8,12.58,105,7.5,8.3,10.5,13.1,17.2,21.1,24.1,24.1,21.1,16.8,11.9,8.6,\"Roma, Ciampino\",\"Italy\"\n");
    EXPECT_EQ(readFile(out.path() / "mesud.txt"),
              "-60.5,-45.2,9999,1,1,0,-2,-4,-6,-7,-7,-5,-3,-1,0,\"Say 'hi'\",\"Nowhere\"\n");
    EXPECT_TRUE(std::filesystem::exists(out.path() / "windsp.txt"));
    EXPECT_FALSE(std::filesystem::exists(out.path() / "DEMONSTRATION"));

    const CliResult text = runCliOk("data info --data " + out.str());
    for (const char* line : {"Stations: 2 (1 without altitude)", "Extent: latitude -60.5 .. 41.8, longitude -45.2 .. 12.58",
                             "Vap              0  this station database holds no Vap normals"})
        EXPECT_NE(text.out.find(line), std::string::npos) << line << "\n" << text.out;
    const CliResult json = runCliOk("data info --json --data " + out.str());
    EXPECT_NE(json.out.find("\"stations\": 2,"), std::string::npos) << json.out;
}

TEST(DataCommand, ImportClimatFolderToADatabaseOrToTheTableAlone) {
    TempFolder out("cli-climat");
    const CliResult r = runCliOk("data import-climat --in " + kClimat + kStations + " --out " + out.file("db") +
                               " --from 2019 --to 2020 --min-years 2");
    EXPECT_NE(r.out.find("Temp       1 stations kept"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Wind: the CLIMAT reports carry no wind speed"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("zentrel: CLIMAT_RAW_201903.txt, line 3, field 9 (sn)"), std::string::npos) << r.err;
    EXPECT_EQ(countLines(readFile(out.path() / "db" / "pet.txt")), 1);

    const CliResult csv = runCliOk("data import-climat --in " + kClimat + kStations + " --min-years 2 --csv " + out.file("t.csv"));
    const std::string table = readFile(out.path() / "t.csv");
    EXPECT_NE(table.find("# Period: 2018-01..2020-12\n"), std::string::npos) << table.substr(0, 600);
    // Seven comment and header lines, seven variables but Wind of the full station, five of the other.
    EXPECT_EQ(countLines(table), 7 + 7 + 5) << table;
    EXPECT_NE(table.find("\n10002,Bad Data,Australia,-30,150,,Temp,"), std::string::npos) << table;
    EXPECT_FALSE(std::filesystem::exists(out.path() / "mela1lo1.txt"));  // no database without --out
}

// The real reports (the shared sample, from the folder that holds the archive as published,
// unpacked to a temporary folder) make a database an estimate can use.
TEST(DataCommand, ImportedClimatSampleServesAnEstimate) {
    const TempFolder* sample = climatSample();
    if (!sample) GTEST_SKIP() << "no CLIMAT sample";
    const int temp = countLines(readFile(sample->path() / "db" / "max.txt"));
    EXPECT_GT(temp, 1000);
    EXPECT_LT(temp, 3000);
    const CliResult e = runCliOk("estimate --lon 12.48 --lat 41.9 --alt 20 --var Temp --json --data " + sample->file("db"));
    EXPECT_NE(e.out.find("\"neighbourCount\": 20"), std::string::npos) << e.out.substr(0, 500);
}

// The committed table of real station normals (data/climat-normals.csv): regenerated from the
// CLIMAT sample it matches byte for byte, and a database imported from it describes itself.
TEST(NormalsTable, RegeneratedFromTheClimatSampleMatchesTheCommittedBytes) {
    const TempFolder* sample = climatSample();
    if (!sample) GTEST_SKIP() << "the CLIMAT sample is not there: the committed table cannot be regenerated on this machine";
    const std::string regenerated = readFile(sample->file("table.csv"));
    const std::string committed = readFile(std::string(ZENTREL_SOURCE_DIR) + "/data/climat-normals.csv");
    ASSERT_FALSE(committed.empty());
    EXPECT_TRUE(regenerated == committed) << "the table differs; regenerate it with scripts/make-normals-table.sh";
}

TEST(NormalsTable, ImportedDatabaseDescribesItsSourceStationsAndMissingWind) {
    TempFolder out("normals-db");
    runCliOk("data import-csv --in " + std::string(ZENTREL_SOURCE_DIR) + "/data/climat-normals.csv --out " + out.str());
    const CliResult info = runCliOk("data info --data " + out.str());
    for (const char* line : {"Source: Deutscher Wetterdienst, CLIMAT reports.", "Period: 2003-03..2021-07",
                             "assumed wind speed of 2 m/s", "Built: ", "by zentrel data import-csv from climat-normals.csv",
                             "Wind             0  this station database holds no Wind normals",
                             "Temp          1853                 0  10..19"})  // every station within the ten-year rule
        EXPECT_NE(info.out.find(line), std::string::npos) << line << "\n" << info.out;
    EXPECT_EQ(info.out.find("DEMONSTRATION"), std::string::npos) << info.out;
}

TEST(VersionOption, NeedsNoCommandStartsWithTheVersionAndNamesTheDataFolderAndItsRule) {
    TempFolder folder("cli-version");
    folder.write("max.txt", "");
    const CliResult r = runCliOk("--version", "env ZENTREL_DATA=" + folder.str() + " ");
    EXPECT_EQ(r.out.rfind(std::string("zentrel ") + programVersion() + "\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("Data folder: " + folder.str() + " (ZENTREL_DATA)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Database: station database, built "), std::string::npos) << r.out;
}

TEST(DataImport, WithoutOutWritesTheUserDataFolderAndSaysWhere) {
    TempFolder home("cli-import-home");
    const CliResult r = runCliOk("data import-csv --in " + kNormals, "env -u ZENTREL_DATA XDG_DATA_HOME=" + home.str() + " ");
    const fs::path target = home.path() / "zentrel" / "ZentrelData";
    EXPECT_NE(r.out.find("Station database written to " + target.string() + "\n"), std::string::npos) << r.out;
    EXPECT_TRUE(fs::exists(target / "mela5lo5.txt"));
    // The folder in use until now lends its terrain, so estimates there still find altitudes.
    const fs::path beside = fs::path(ZENTREL_BIN).parent_path() / "ZentrelData";
    if (fs::exists(beside / "10k8b.raw")) {
        EXPECT_TRUE(fs::exists(target / "10k8b.raw"));
        EXPECT_NE(r.out.find("zentrel uses " + beside.string() + " (beside the program) first; name this one with --data"),
                  std::string::npos) << r.out;
    }
}

namespace {
// Two sources near 10 E, 45 N, with an excluded list beside them.
void writeSourcedTable(const TempFolder& in) {
    const std::string months = "1,2,3,4,5,6,7,8,9,10,11,12";
    in.write("normals.csv", "# Period: 1991-2020; stations with 2003-2021 normals adjusted\n"
                            "id,name,country,lat,lon,alt,variable,jan,feb,mar,apr,may,jun,jul,aug,sep,oct,nov,dec,"
                            "years_min,years_max,source,period,note\n"
                            "A1,Alpha,Italy,45.1,10.1,100,Temp," + months + ",28,30,WMO,1991-2020,\n"
                            "A2,Beta,Italy,45.3,9.8,200,Temp," + months + ",,,CLIMAT,2003-2021,adjusted to 1991-2020\n");
    in.write("excluded.csv", "id,name,country,lat,lon,alt,variable,source,reason\n# quality control\n"
                             "B9,Bad,Italy,45,10,,Temp,CLIMAT,jump in 2010\n");
}
}  // namespace

TEST(StationSources, ImportedSourcesShowInEstimateTextJsonAndDataInfoWithTheExcludedList) {
    TempFolder in("cli-sources-in"), out("cli-sources");
    writeSourcedTable(in);
    runCliOk("data import-csv --in " + in.file("normals.csv") + " --excluded " + in.file("excluded.csv") + " --out " + out.str());
    const std::string where = " --lon 10 --lat 45 --alt 150 --var Temp --data " + out.str();
    const CliResult text = runCliOk("estimate --stations" + where);
    EXPECT_NE(text.out.find(" yes  28..30  WMO 1991-2020\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find(" yes       -  CLIMAT 2003-2021     adjusted to 1991-2020\n"), std::string::npos) << text.out;
    const CliResult json = runCliOk("estimate --json" + where);
    EXPECT_NE(json.out.find("\"source\":\"WMO\",\"period\":\"1991-2020\",\"years\":[28,30]}"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"source\":\"CLIMAT\",\"period\":\"2003-2021\",\"years\":null}"), std::string::npos) << json.out;

    const CliResult info = runCliOk("data info --data " + out.str());
    for (const char* line : {"Period: 1991-2020; stations with 2003-2021 normals adjusted\n",
                             "WMO        1991-2020                1     0     0     0     0     0     0     0\n"})
        EXPECT_NE(info.out.find(line), std::string::npos) << line << info.out;
    EXPECT_EQ(runCliOk("data info --excluded --data " + out.str()).out,
              "Excluded stations: 1 (from " + out.file("excluded-stations.csv") + ")\nB9 Bad (Italy) [Temp, CLIMAT]: jump in 2010\n");
    EXPECT_NE(runCliOk("data info --excluded --json --data " + out.str()).out.find("\"reason\": \"jump in 2010\""),
              std::string::npos);
}

TEST(StationSources, MalformedExcludedListIsRefusedByFileLineAndFieldBeforeAnythingIsWritten) {
    TempFolder in("cli-sources-bad"), parent("cli-sources-parent");
    writeSourcedTable(in);
    in.write("excluded.csv", "id,name,country,lat,lon,alt,variable,source,reason\nB9,Bad,Italy,95,10,,Temp,CLIMAT,x\n");
    const CliResult r = runCli("data import-csv --in " + in.file("normals.csv") + " --excluded " + in.file("excluded.csv") +
                               " --out " + parent.file("db"));
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "zentrel: The excluded list " + in.file("excluded.csv") +
                         ", line 2, field 4 (lat): \"95\" is not a latitude in -90..90.\n");
    EXPECT_FALSE(fs::exists(parent.path() / "db"));
}

TEST(StationSources, FolderWithoutStationTableShowsUnknownSourcesAndNoExcludedList) {
    const std::string folder = ringFolder().str();
    const std::string where = " --lon 10 --lat 45 --alt 150 --var Temp --data " + folder;
    EXPECT_NE(runCliOk("estimate --json" + where).out.find("\"source\":null,\"period\":null,\"years\":null}"), std::string::npos);
    const CliResult text = runCliOk("estimate --stations" + where);
    EXPECT_NE(text.out.find(" yes       -  -\n"), std::string::npos) << text.out;
    EXPECT_EQ(runCliOk("data info --excluded --data " + folder).out,
              "The data folder " + folder + " keeps no list of excluded stations (excluded-stations.csv).\n");
}
