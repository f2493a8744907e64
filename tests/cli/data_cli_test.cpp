// `zentrel data import-csv` and `import-climat` run as a user runs them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../core/fixture.h"
#include "run_cli.h"

using namespace zentrel::test;

namespace {
int countLines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }
}  // namespace

TEST(DataCommand, ImportCsvWritesTheDatabaseAndReportsBadRows) {
    TempFolder out("cli-csv");
    out.write("DEMONSTRATION", "old marker\n");
    const CliResult r =
        runCli("data import-csv --in " + std::string(ZENTREL_TEST_DATA) + "/csv/normals.csv --out " + out.str());
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Temp       2 stations kept"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("zentrel: " + std::string(ZENTREL_TEST_DATA) + "/csv/normals.csv, line 8, field 7 (variable)"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(countLines(r.err), 6);
    // Rome lies in the staggered Temp file 5/5; the southern station in the polar file.
    EXPECT_EQ(readFile(out.path() / "mela5lo5.txt"),
              "41.8,12.58,105,7.5,8.3,10.5,13.1,17.2,21.1,24.1,24.1,21.1,16.8,11.9,8.6,\"Roma, Ciampino\",\"Italy\"\n");
    EXPECT_EQ(readFile(out.path() / "mesud.txt"),
              "-60.5,-45.2,9999,1,1,0,-2,-4,-6,-7,-7,-5,-3,-1,0,\"Say 'hi'\",\"Nowhere\"\n");
    EXPECT_TRUE(std::filesystem::exists(out.path() / "windsp.txt"));
    EXPECT_FALSE(std::filesystem::exists(out.path() / "DEMONSTRATION"));
}

TEST(DataCommand, ImportErrorsAndUsage) {
    TempFolder out("cli-csv-bad");
    EXPECT_EQ(runCli("data import-csv --in /nonexistent.csv --out " + out.str()).code, 1);
    out.write("empty.csv", "# nothing\n");
    EXPECT_EQ(runCli("data import-csv --in " + out.file("empty.csv") + " --out " + out.str()).code, 1);
    EXPECT_EQ(runCli("data import-csv --out " + out.str()).code, 2);
    const CliResult r = runCli("data import-climat --in " + std::string(ZENTREL_TEST_DATA) +
                               "/climat --stations x --out " + out.str() + " --from 2020 --to 2019");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("--from 2020 lies after --to 2019"), std::string::npos) << r.err;
}

TEST(DataCommand, ImportClimatFolder) {
    TempFolder out("cli-climat");
    const std::string folder = std::string(ZENTREL_TEST_DATA) + "/climat";
    const CliResult r =
        runCli("data import-climat --in " + folder + " --stations " + folder + "/stations_list_CLIMAT_data.txt --out " +
               out.str() + " --from 2019 --to 2020 --min-years 2");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Temp       1 stations kept"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Wind: the CLIMAT reports carry no wind speed"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("zentrel: CLIMAT_RAW_201903.txt, line 3, field 9 (sn)"), std::string::npos) << r.err;
    EXPECT_EQ(countLines(readFile(out.path() / "pet.txt")), 1);
}

// A slice of the real reports: two years of the shared sample, from the folder that holds the
// archive as published (unpacked to a temporary folder).
TEST(DataCommand, ImportClimatArchiveSliceAndEstimateOnIt) {
    const std::string shared = std::string(ZENTREL_SHARED_DATA) + "/climat";
    if (!std::filesystem::exists(shared + "/CLIMAT_RAW_2003-2021.tgz"))
        GTEST_SKIP() << "no CLIMAT sample in " << shared;
    TempFolder out("cli-climat-real");
    const CliResult r =
        runCli("data import-climat --in " + shared + " --stations " + shared +
               "/stations_list_CLIMAT_data.txt --out " + out.str() + " --from 2019 --to 2020 --min-years 2");
    ASSERT_EQ(r.code, 0) << r.err.substr(0, 2000);
    const int temp = countLines(readFile(out.path() / "max.txt"));
    EXPECT_GT(temp, 1000);
    EXPECT_LT(temp, 3000);
    const CliResult e = runCli("estimate --lon 12.48 --lat 41.9 --alt 20 --var Temp --json --data " + out.str());
    ASSERT_EQ(e.code, 0) << e.err;
    EXPECT_NE(e.out.find("\"neighbourCount\": 20"), std::string::npos) << e.out.substr(0, 500);
}

TEST(DataCommand, InfoDescribesTheFolderAsTextAndJson) {
    TempFolder out("cli-info");
    ASSERT_EQ(runCli("data import-csv --in " + std::string(ZENTREL_TEST_DATA) + "/csv/normals.csv --out " + out.str())
                  .code,
              0);
    const CliResult text = runCli("data info --data " + out.str());
    ASSERT_EQ(text.code, 0) << text.err;
    EXPECT_NE(text.out.find("Stations: 2 (1 without altitude)"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Extent: latitude -60.5 .. 41.8, longitude -45.2 .. 12.58"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Vap              0  this station database holds no Vap normals"), std::string::npos)
        << text.out;
    const CliResult json = runCli("data info --json --data " + out.str());
    ASSERT_EQ(json.code, 0) << json.err;
    EXPECT_NE(json.out.find("\"stations\": 2,"), std::string::npos) << json.out;
    EXPECT_EQ(runCli("data info --data " + out.file("nothing-here")).code, 1);
}

TEST(DataCommand, ImportClimatWritesTheTableAloneWithoutOut) {
    TempFolder out("cli-climat-csv");
    const std::string folder = std::string(ZENTREL_TEST_DATA) + "/climat";
    const std::string stations = " --stations " + folder + "/stations_list_CLIMAT_data.txt";
    const CliResult r = runCli("data import-climat --in " + folder + stations + " --min-years 2 --csv " +
                               out.file("t.csv"));
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string table = readFile(out.path() / "t.csv");
    EXPECT_NE(table.find("# Period: 2018-01..2020-12\n"), std::string::npos) << table.substr(0, 600);
    // Seven comment and header lines, seven variables but Wind of the full station, five of the other.
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 7 + 7 + 5) << table;
    EXPECT_NE(table.find("\n10002,Bad Data,Australia,-30,150,,Temp,"), std::string::npos) << table;
    EXPECT_FALSE(std::filesystem::exists(out.path() / "mela1lo1.txt"));  // no database without --out
}
