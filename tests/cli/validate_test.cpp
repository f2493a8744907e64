// `zentrel validate` run as a user runs it, on a small written database.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "../core/fixture.h"
#include "data/station_writer.h"
#include "run_cli.h"

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
    EXPECT_NE(r.err.find("zentrel: note: no Tmax stations in the database."), std::string::npos) << r.err;
    std::ifstream in(json);
    const auto doc = nlohmann::json::parse(in);
    ASSERT_EQ(doc["variables"].size(), 1u);
    EXPECT_EQ(doc["variables"][0]["variable"], "Temp");
    EXPECT_EQ(doc["variables"][0]["heldOut"], 30);
    EXPECT_LT(doc["variables"][0]["monthly"]["rmse"].get<double>(), 0.05);

    EXPECT_EQ(runCli("validate --data " + db.str() + " --folds 1").code, 2);
    EXPECT_EQ(runCli("validate --data " + db.str() + " --folds 3 --loo").code, 2);
    EXPECT_EQ(runCli("validate --data " + db.str() + " --var Rain").code, 2);
}
