// The committed table of real station normals (data/climat-normals.csv): regenerated from the
// CLIMAT sample it matches byte for byte, and a database imported from it describes itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../core/fixture.h"
#include "run_cli.h"

using namespace zentrel::test;

namespace {
const std::string kTable = std::string(ZENTREL_SOURCE_DIR) + "/data/climat-normals.csv";
}  // namespace

TEST(NormalsTable, RegeneratedFromTheClimatSampleMatchesTheCommittedBytes) {
    const std::string shared = std::string(ZENTREL_SHARED_DATA) + "/climat";
    if (!std::filesystem::exists(shared + "/stations_list_CLIMAT_data.txt"))
        GTEST_SKIP() << "the CLIMAT sample is not there (" << shared
                     << "): the committed table cannot be regenerated on this machine";
    TempFolder out("normals-table");
    const CliResult r = runCli("data import-climat --in " + shared + " --stations " + shared +
                               "/stations_list_CLIMAT_data.txt --csv " + out.file("table.csv"));
    ASSERT_EQ(r.code, 0) << r.err.substr(0, 2000);
    const std::string regenerated = readFile(out.path() / "table.csv");
    const std::string committed = readFile(kTable);
    ASSERT_FALSE(committed.empty()) << kTable;
    if (regenerated != committed) {
        size_t i = 0;
        while (i < regenerated.size() && i < committed.size() && regenerated[i] == committed[i]) ++i;
        const size_t line = static_cast<size_t>(std::count(committed.begin(), committed.begin() + i, '\n')) + 1;
        FAIL() << "the table differs from line " << line << " on; regenerate it with scripts/make-normals-table.sh";
    }
}

TEST(NormalsTable, ImportedDatabaseDescribesItsSourceStationsAndMissingWind) {
    TempFolder out("normals-db");
    ASSERT_EQ(runCli("data import-csv --in " + kTable + " --out " + out.str()).code, 0);
    const CliResult info = runCli("data info --data " + out.str());
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_NE(info.out.find("Source: Deutscher Wetterdienst, CLIMAT reports."), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Period: 2003-03..2021-07"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("assumed wind speed of 2 m/s"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Built: "), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("by zentrel data import-csv from climat-normals.csv"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("Wind             0  this station database holds no Wind normals"), std::string::npos)
        << info.out;
    EXPECT_EQ(info.out.find("DEMONSTRATION"), std::string::npos) << info.out;
    // Every station of the table is within the ten-year rule.
    EXPECT_NE(info.out.find("Temp          1853                 0  10..19"), std::string::npos) << info.out;
}
