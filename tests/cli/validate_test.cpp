// `zentrel validate` run as a user runs it, on a small written database.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <nlohmann/json.hpp>

#include "../core/fixture.h"
#include "data/station_writer.h"
#include "run_cli.h"
#include "version.h"

using namespace zentrel;
using namespace zentrel::test;

TEST(ValidateCommand, ReportsTablesAndJsonAndRejectsBadFolds) {
    TempFolder db("cli-validate");
    StationLists lists;
    for (int k = 0; k < 30; ++k) {
        Station s = makeStation(5 + static_cast<float>(k % 6) * 1.5f, 45 + static_cast<float>(k / 6) * 1.2f,
                                static_cast<float>(100 * (k % 7)), 0, "S" + std::to_string(k));
        for (int m = 1; m <= 12; ++m) s.Data[static_cast<size_t>(m)] = 15 - 0.006f * s.Alt + static_cast<float>(m % 5);
        lists[Temp].push_back(s);
    }
    writeStationDatabase(db.str(), lists);
    const std::string json = db.file("report.json");
    const CliResult r = runCli("validate --data " + db.str() + " --folds 3 --threads 2 --json " + json);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Hold-out validation: 3 folds, seed 1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Temp: 30 of 30 stations held out"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("zentrel: note: Tmax skipped: this station database holds no Tmax normals."), std::string::npos)
        << r.err;
    std::ifstream in(json);
    const auto doc = nlohmann::json::parse(in);
    EXPECT_EQ(doc["program"], std::string("Zentrel ") + programVersion());
    ASSERT_EQ(doc["variables"].size(), 1u);
    EXPECT_EQ(doc["variables"][0]["variable"], "Temp");
    EXPECT_EQ(doc["variables"][0]["heldOut"], 30);
    EXPECT_LT(doc["variables"][0]["monthly"]["rmse"].get<double>(), 0.05);

    EXPECT_EQ(runCli("validate --data " + db.str() + " --folds 1").code, 2);
    EXPECT_EQ(runCli("validate --data " + db.str() + " --folds 3 --loo").code, 2);
    EXPECT_EQ(runCli("validate --data " + db.str() + " --var Rain").code, 2);
}

// With robust corrections off the estimates on real stations are those of the described
// method: a seeded subsample of the CLIMAT sample, held out, pinned byte for byte.
TEST(ValidateCommand, ClassicMethodOnRealStationsIsPinned) {
    const std::string shared = ZENTREL_SHARED_DATA;
    if (!std::filesystem::exists(shared + "/climat/CLIMAT_RAW_2003-2021.tgz")) GTEST_SKIP() << "no CLIMAT sample";
    TempFolder db("cli-validate-climat");
    ASSERT_EQ(runCli("data import-climat --in " + shared + "/climat/CLIMAT_RAW_2003-2021.tgz --stations " + shared +
                     "/climat/stations_list_CLIMAT_data.txt --out " + db.str())
                  .code,
              0);
    std::string csv;
    for (const char* var : {"Tmax", "Prec"}) {
        const std::string file = db.file(std::string(var) + ".csv");
        ASSERT_EQ(runCli("validate --data " + db.str() + " --var " + var + " --stations 15 --seed 3 --robust 0 --csv " + file).code, 0);
        std::ifstream in(file);
        std::string line;
        for (int row = 0; std::getline(in, line); ++row)
            if (row > 0 || csv.empty()) csv += line + "\n";
    }
    std::ifstream golden(std::string(ZENTREL_TEST_DATA) + "/golden/validate_climat.csv");
    std::stringstream expected;
    expected << golden.rdbuf();
    EXPECT_EQ(csv, expected.str());
}
