// `zentrel validate` run as a user runs it: hold-outs on a small written database and on the
// real stations, and the audit of a map.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <sstream>

#include "cli_fixture.h"
#include "data/station_writer.h"
#include "version.h"

using namespace zentrel;
using namespace zentrel::test;

namespace {
nlohmann::json readJson(const std::string& path) { return nlohmann::json::parse(readFile(path)); }
}  // namespace

// The report names the method only when it is not the described one.
TEST(ValidateCommand, ReportsTablesAndJsonNamingTheMethod) {
    TempFolder db("cli-validate");
    StationLists lists;
    for (int k = 0; k < 30; ++k) {
        Station s = makeStation(5 + static_cast<float>(k % 6) * 1.5f, 45 + static_cast<float>(k / 6) * 1.2f,
                                static_cast<float>(100 * (k % 7)), 0, "S" + std::to_string(k));
        for (int m = 1; m <= 12; ++m) s.Data[static_cast<size_t>(m)] = 15 - 0.006f * s.Alt + static_cast<float>(m % 5);
        lists[Temp].push_back(s);
    }
    writeStationDatabase(db.str(), lists);
    const std::string json = db.file("report.json"), run = "validate --data " + db.str() + " --folds 3 ";
    const CliResult r = runCliOk(run + "--threads 2 --json " + json);
    for (const char* said : {"Hold-out validation: 3 folds, seed 1, method kriging\n", "Temp: 30 of 30 stations held out"})
        EXPECT_NE(r.out.find(said), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("zentrel: note: Tmax skipped: this station database holds no Tmax normals."), std::string::npos) << r.err;
    const auto doc = readJson(json);
    EXPECT_EQ(doc["program"], std::string("Zentrel ") + programVersion());
    ASSERT_EQ(doc["variables"].size(), 1u);
    EXPECT_EQ(doc["variables"][0]["variable"], "Temp");
    EXPECT_EQ(doc["variables"][0]["heldOut"], 30);
    EXPECT_LT(doc["variables"][0]["monthly"]["rmse"].get<double>(), 0.05);
    const CliResult described = runCliOk(run + "--threads 1 --method described");
    EXPECT_NE(described.out.find("Hold-out validation: 3 folds, seed 1\n"), std::string::npos) << described.out;
}

// The relief and the sea belong to the Earth: a database written into a folder of its own is
// kriged with the terrain of the folder beside the program, with the same figures as when the
// folder holds that raster itself, and validate and data info say where the terrain comes from.
TEST(ValidateCommand, AFolderOfStationsAloneKrigesWithTheSharedTerrain) {
    const std::filesystem::path beside = std::filesystem::path(ZENTREL_BIN).parent_path() / "ZentrelData";
    if (!std::filesystem::exists(beside / "10k8b.raw")) GTEST_SKIP() << "bin/ZentrelData not built";
    TempFolder alone("cli-validate-alone"), with("cli-validate-with");
    StationLists lists;
    for (int k = 0; k < 30; ++k) {
        Station s = makeStation(6 + static_cast<float>(k % 6) * 0.8f, 45 + static_cast<float>(k / 6) * 0.6f,
                                static_cast<float>(150 * (k % 7)), 0, "S" + std::to_string(k));
        for (int m = 1; m <= 12; ++m) s.Data[static_cast<size_t>(m)] = 15 - 0.006f * s.Alt + static_cast<float>((m + k) % 5);
        lists[Temp].push_back(s);
    }
    writeStationDatabase(alone.str(), lists);
    writeStationDatabase(with.str(), lists);
    std::filesystem::copy_file(beside / "10k8b.raw", with.path() / "10k8b.raw");
    const std::string run = "validate --var Temp --folds 3 --data ";
    const CliResult a = runCliOk(run + alone.str()), b = runCliOk(run + with.str());
    const auto figures = [](const std::string& out) { return out.substr(0, out.find("Terrain: ")); };
    EXPECT_EQ(figures(a.out), figures(b.out));
    EXPECT_NE(a.out.find("Terrain: the elevation raster of " + beside.string() + " (beside the program)\n"), std::string::npos) << a.out;
    EXPECT_NE(b.out.find("Terrain: the folder's own elevation raster\n"), std::string::npos) << b.out;
    const CliResult info = runCliOk("data info --data " + alone.str());
    EXPECT_NE(info.out.find("Elevation raster: missing\nTerrain: the elevation raster of " + beside.string()), std::string::npos) << info.out;
}

// With robust corrections off the estimates on real stations are those of the described
// method: a seeded subsample of the CLIMAT sample, held out, pinned byte for byte.
TEST(ValidateCommand, ClassicMethodOnRealStationsIsPinned) {
    const TempFolder* sample = climatSample();
    if (!sample) GTEST_SKIP() << "no CLIMAT sample";
    TempFolder out("cli-validate-climat");
    std::string csv;
    for (const char* var : {"Tmax", "Prec"}) {
        const std::string file = out.file(std::string(var) + ".csv");
        runCliOk("validate --data " + sample->file("db") + " --var " + var + " --stations 15 --seed 3 --robust 0 --csv " + file);
        std::istringstream in(readFile(file));
        std::string line;
        for (int row = 0; std::getline(in, line); ++row)
            if (row > 0 || csv.empty()) csv += line + "\n";
    }
    EXPECT_EQ(csv, readFile(std::string(ZENTREL_TEST_DATA) + "/golden/validate_climat.csv"));
}

// The audit of a coarse world map on the default data: neither the robust nor the adaptive
// method may put a single cell beyond the world's records in any month or the annual value.
TEST(MapAudit, RobustAndAdaptiveWorldMapsStayWithinTheWorldsRecords) {
    if (!programDataBuilt()) GTEST_SKIP() << "no data folder beside the program";
    TempFolder out("cli-audit-world");
    for (const char* method : {"robust", "adaptive"}) {
        const std::string json = out.file(std::string(method) + ".json");
        const CliResult r = runCliOk(std::string("validate --map --bbox -180,-60,180,84 --res 3 --worst 3 --threads 2 --method ") +
                                   method + " --json " + json);
        const nlohmann::json doc = readJson(json);
        ASSERT_EQ(doc["variables"].size(), 8u) << method;  // every variable
        for (const auto& v : doc["variables"]) {
            EXPECT_GT(v["cells"].get<long long>(), 500) << method << " " << v["variable"];  // Wind has the fewest
            EXPECT_EQ(v["recordCells"], 0) << method << " " << v["variable"] << ", worst cells: " << v["worst"].dump();
        }
    }
}
// The audit sees the cells the raster command writes, counts each cell beyond the records once
// whatever number of its periods are, and its report does not depend on the number of threads.
TEST(MapAudit, SameCellsAsTheRasterAndCountsIndependentOfThreads) {
    if (!programDataBuilt()) GTEST_SKIP() << "no data folder beside the program";
    TempFolder out("cli-audit-box");
    const std::string box = " --bbox 60,0,150,60 --res 2 --method described";
    const CliResult one = runCli("validate --map --var Prec,Temp" + box + " --threads 1 --json " + out.file("1.json"));
    const CliResult three = runCli("validate --map --vars Temp,Prec" + box + " --threads 3 --json " + out.file("3.json"));
    ASSERT_EQ(one.code, 0) << one.err;
    ASSERT_EQ(three.code, 0) << three.err;
    nlohmann::json a = readJson(out.file("1.json")), b = readJson(out.file("3.json"));
    ASSERT_EQ(a["variables"].size(), 2u);
    EXPECT_EQ(a["variables"][0], b["variables"][1]);  // listed in the order asked for
    EXPECT_EQ(a["variables"][1], b["variables"][0]);
    for (const auto& v : a["variables"]) {
        const long long cells = v["cells"], records = v["recordCells"], envelope = v["envelopeCells"];
        EXPECT_LE(records, envelope);  // the envelope lies within the records
        EXPECT_LE(envelope, cells);
        EXPECT_LE(records, v["recordPeriods"].get<long long>());
        EXPECT_LE(v["recordPeriods"].get<long long>(), 13 * records);
        EXPECT_LE(v["worst"].size(), 5u);
        for (const auto& c : v["worst"]) {
            const double value = c["value"], low = c["envelope"][0], high = c["envelope"][1];
            EXPECT_TRUE(value < low || value > high) << c.dump();
            EXPECT_FALSE(c["neighbours"].empty());
        }
        // The raster of all periods estimates the same cells and finds the same ones beyond the records.
        const std::string var = v["variable"];
        const CliResult raster = runCliOk("raster --var " + var + " --period all --quiet" + box + " -o " + out.file(var + ".tif"));
        EXPECT_NE(raster.out.find("(" + std::to_string(cells) + " estimated)"), std::string::npos) << raster.out;
        const std::string beyond = records == 0 ? std::string("records") : std::to_string(records) + " cell";
        EXPECT_EQ(raster.out.find(beyond) != std::string::npos, records > 0) << raster.out;
    }
}

