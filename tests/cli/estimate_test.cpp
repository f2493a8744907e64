// `zentrel estimate` run as a user runs it: exit codes, messages and the JSON it prints.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <sstream>

#include "../core/fixture.h"
#include "run_cli.h"

using namespace zentrel;
using namespace zentrel::test;

namespace {

// Twelve stations around Rome on a linear field with a lapse rate.
std::vector<Station> romeStations() {
    std::vector<Station> out;
    for (int k = 0; k < 12; ++k) {
        const float lon = 12.48f + 0.7f * static_cast<float>(std::cos(k * 0.52)) + 0.01f * static_cast<float>(k);
        const float lat = 41.9f + 0.5f * static_cast<float>(std::sin(k * 0.52));
        const float alt = 50.0f + 90.0f * static_cast<float>(k % 5);
        Station s = makeStation(lon, lat, alt, 0, "Station " + std::to_string(k));
        for (int m = 1; m <= 12; ++m)
            s.Data[static_cast<size_t>(m)] = 8 + 8 * std::sin((m - 4) * 0.5236f) - 0.0065f * alt + 0.2f * (lat - 41.9f) + 0.1f * static_cast<float>(k % 2);
        out.push_back(s);
    }
    return out;
}

}  // namespace

TEST(EstimateCommand, JsonHasEveryFieldAndThirteenValues) {
    TempFolder folder("cli-estimate");
    writeDataFolder(folder, 12.48f, 41.9f, romeStations());
    const CliResult r = runCli("estimate --lon 12.48 --lat 41.9 --alt 17 --var Temp --json --data " + folder.str());
    ASSERT_EQ(r.code, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["variable"], "Temp");
    EXPECT_EQ(j["location"]["alt"], 17);
    EXPECT_EQ(j["neighbourCount"], 12);
    EXPECT_EQ(j["activeCount"], 12);
    EXPECT_EQ(j["neighbours"].size(), 12u);
    EXPECT_EQ(j["neighbours"][0]["data"].size(), 13u);
    EXPECT_EQ(j["mean"]["active"], 12);
    for (const char* key : {"Best", "Bias", "StdErr", "AbsGrad", "DirecGrad", "DirecGradName", "VertGrad", "LongGradDeg",
                            "LatGradDeg", "LongGrad", "LatGrad", "VertExplVar", "AnnualCycle"})
        EXPECT_EQ(j["result"][key].size(), 13u) << key;
    EXPECT_EQ(j["result"]["AnnualCycle"][11], 0);
    EXPECT_NEAR(j["result"]["VertGrad"][0].get<double>(), -0.0065, 2e-3);
    EXPECT_FALSE(j["warnings"]["WarnFew"]);
    // Numbers are the shortest text that reads back to the same float.
    const std::string best = r.out.substr(r.out.find("\"Best\": [") + 9, 30);
    EXPECT_EQ(best.find("0000000"), std::string::npos) << best;
}

TEST(EstimateCommand, AllVariablesGiveAnArrayInVariableOrder) {
    TempFolder folder("cli-all");
    writeDataFolder(folder, 12.48f, 41.9f, romeStations());
    const CliResult r = runCli("estimate --lon 12.48 --lat 41.9 --alt 17 --var all --json --data " + folder.str());
    ASSERT_EQ(r.code, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    ASSERT_EQ(j.size(), 8u);
    EXPECT_EQ(j[3]["variable"], "Prec");
    EXPECT_EQ(j[7]["variable"], "Sun");
}

TEST(EstimateCommand, NoNeighbourIsANormalResultWithTheMessage) {
    TempFolder folder("cli-none");
    writeDataFolder(folder, 12.48f, 41.9f, romeStations());
    const CliResult r = runCli("estimate --lon 12.48 --lat 41.9 --alt 17 --var Vap --maxdist 5 --json --data " + folder.str());
    ASSERT_EQ(r.code, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["activeCount"], 0);
    ASSERT_EQ(j["messages"].size(), 1u);
    EXPECT_EQ(j["messages"][0]["title"], "No calculation can be done with 0 neighbours");
}

// Missing is never zero: what the engine did not estimate is null in JSON and "-" in the table,
// in every method.
TEST(EstimateCommand, WhatWasNotEstimatedIsNullInJsonAndADashInTheTable) {
    TempFolder folder("cli-missing");
    writeDataFolder(folder, 12.48f, 41.9f, romeStations());
    struct Case {
        const char* settings;
        bool best, annual, error;  // which values exist
    };
    const Case cases[] = {
        {"--maxdist 5", false, false, false},  // no active neighbour
        {"--maxstat 1", true, false, false},   // one station: its months, no annual value, no error
        {"--maxstat 3", true, true, false},    // too few stations for the error estimate
        {"--maxstat 12", true, true, true},
    };
    for (const char* method : {"described", "robust", "adaptive"})
        for (const Case& c : cases) {
            const std::string args = std::string("estimate --lon 12.48 --lat 41.9 --alt 17 --var Temp --method ") + method +
                                     " " + c.settings + " --data " + folder.str();
            const CliResult r = runCli(args + " --json");
            ASSERT_EQ(r.code, 0) << args << "\n" << r.err;
            const auto result = nlohmann::json::parse(r.out)["result"];
            for (int m : {0, 12}) {
                const bool best = c.best && (m < 12 || c.annual), error = c.error && best;
                EXPECT_EQ(result["Best"][m].is_number(), best) << args << " month " << m + 1;
                EXPECT_EQ(result["StdErr"][m].is_number(), error) << args << " month " << m + 1;
                EXPECT_EQ(result["Bias"][m].is_number(), error) << args << " month " << m + 1;
            }
            const CliResult table = runCli(args);
            ASSERT_EQ(table.code, 0) << table.err;
            const size_t row = table.out.find("January");
            ASSERT_NE(row, std::string::npos) << table.out;
            std::istringstream january(table.out.substr(row, table.out.find('\n', row) - row));
            std::string month, best, low, high, error, bias;
            january >> month >> best >> low >> high >> error >> bias;
            EXPECT_EQ(best == "-", !c.best) << args;
            for (const std::string& v : {low, high, error, bias}) EXPECT_EQ(v == "-", !c.error) << args << ": " << v;
        }
}

TEST(EstimateCommand, BadArgumentsExitTwo) {
    TempFolder folder("cli-args");
    writeDataFolder(folder, 12.48f, 41.9f, romeStations());
    for (const std::string args : {"estimate --lat 41.9", "estimate --lon 200 --lat 41.9 --alt 0",
                                   "estimate --lon 12 --lat 41.9 --alt 0 --var Snow", "estimate --lon 12 --lat 41.9 --alt 0 --maxstat 25",
                                   "estimate --lon 12 --lat 41.9 --alt 0 --powexp six", "estimate --lon 12 --lat 41.9 --alt 0 --shad 2"}) {
        const CliResult r = runCli(args + " --data " + folder.str());
        EXPECT_EQ(r.code, 2) << args << "\n" << r.err;
        EXPECT_FALSE(r.err.empty()) << args;
    }
    const CliResult many = runCli("estimate --lon 12 --lat 41.9 --alt 0 --maxstat 25 --data " + folder.str());
    EXPECT_NE(many.err.find("Problem: Too many stations."), std::string::npos) << many.err;
}

TEST(EstimateCommand, MalformedOrMissingStationFileExitsOneNamingFileAndLine) {
    TempFolder folder("cli-bad");
    writeDataFolder(folder, 12.48f, 41.9f, romeStations());
    folder.write("vap.txt", stationLines(romeStations()) + "41.9,12.5,17,1,2,3\n");
    CliResult r = runCli("estimate --lon 12.48 --lat 41.9 --alt 17 --var Vap --data " + folder.str());
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("vap.txt, line 13"), std::string::npos) << r.err;

    std::filesystem::remove(folder.file("sufr.txt"));
    r = runCli("estimate --lon 12.48 --lat 41.9 --alt 17 --var Sun --data " + folder.str());
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("sufr.txt is missing"), std::string::npos) << r.err;

    r = runCli("estimate --lon 12.48 --lat 41.9 --alt 17 --data /nonexistent/folder");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("/nonexistent/folder"), std::string::npos);
}

TEST(EstimateCommand, TableShowsBoundsAndWarnings) {
    TempFolder folder("cli-table");
    writeDataFolder(folder, 12.48f, 41.9f, romeStations());
    const CliResult r = runCli("estimate --lon 12.48 --lat 41.9 --alt 2500 --var Temp --data " + folder.str());
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Low (5%)"), std::string::npos);
    EXPECT_NE(r.out.find("January"), std::string::npos);
    EXPECT_NE(r.out.find("WARNING: Location higher than surrounding Stations!"), std::string::npos);
}

TEST(EstimateCommand, ExportsEveryOutputFormatToAFile) {
    TempFolder folder("cli-export");
    writeDataFolder(folder, 12.48f, 41.9f, romeStations());
    const std::string base = "estimate --lon 12.48 --lat 41.9 --alt 17 --data " + folder.str();
    for (const std::string format : {"zte", "orvane", "lgs-input", "lgs-output", "vesk"}) {
        const std::string out = folder.file("out-" + format);
        const CliResult r = runCli(base + " --format " + format + " -o " + out);
        ASSERT_EQ(r.code, 0) << format << ": " << r.err;
        std::ifstream in(out, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find("\r\n"), std::string::npos) << format;
    }
    // The season files are made from Prec and PET whatever --var names: never from half of them.
    const auto fileText = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    for (const std::string format : {"lgs-input", "lgs-output"})
        for (const std::string var : {"Prec", "PET", "Temp"}) {
            const std::string out = folder.file(format + "-" + var);
            ASSERT_EQ(runCli(base + " --var " + var + " --format " + format + " -o " + out).code, 0) << format << " " << var;
            EXPECT_EQ(fileText(out), fileText(folder.file("out-" + format))) << format << " from --var " << var;
        }
    std::ifstream report(folder.file("out-zte"), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(report)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Latitude = 41.90"), std::string::npos) << text.substr(0, 300);

    EXPECT_EQ(runCli(base + " --format zte").code, 2);  // no -o
    EXPECT_EQ(runCli(base + " --format zte --daily -o " + folder.file("x")).code, 2);  // one variable only
    EXPECT_EQ(runCli(base + " --var Prec --format zte --daily --dekadal --thresholds -o " + folder.file("wb")).code, 0);
    EXPECT_EQ(runCli(base + " --format zte --quantities best,snow -o " + folder.file("y")).code, 2);
    EXPECT_EQ(runCli(base + " --format zte -o /nonexistent/dir/file.zte").code, 1);
}

// The argument parser loops forever on an empty stray argument followed by an option; it is
// refused before parsing (found by the argument fuzzer).
TEST(EstimateCommand, EmptyStrayArgumentIsAUsageErrorNotAHang) {
    const CliResult r = runCli("estimate '' --json");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("argument 2 is empty"), std::string::npos) << r.err;
}

// A month beyond the world's records (5000 mm of rain in March at every neighbour) is warned
// of in every output of the estimate; a plausible estimate is not.
TEST(EstimateCommand, EstimateBeyondTheWorldsRecordsIsWarnedInTextJsonAndResultFile) {
    TempFolder folder("cli-records");
    std::vector<Station> wet = romeStations();
    for (Station& s : wet) {
        for (int m = 1; m <= 12; ++m) s.Data[static_cast<size_t>(m)] = 100;
        s.Data[3] = 5000;
    }
    writeDataFolder(folder, 12.48f, 41.9f, wet);
    const std::string at = "estimate --lon 12.48 --lat 41.9 --alt 17 --var Prec --method described --data " + folder.str();
    const std::string warning = "WARNING: Estimate beyond the world's records in March!";
    const CliResult text = runCli(at);
    ASSERT_EQ(text.code, 0) << text.err;
    EXPECT_NE(text.out.find(warning), std::string::npos) << text.out;
    const CliResult json = runCli(at + " --json");
    ASSERT_EQ(json.code, 0) << json.err;
    const auto j = nlohmann::json::parse(json.out);
    EXPECT_TRUE(j["warnings"]["WarnRecord"]);
    EXPECT_EQ(j["warnings"]["RecordMonth"], 3);
    ASSERT_EQ(runCli(at + " --format zte -o " + folder.file("wet.zte")).code, 0);
    EXPECT_NE(readFile(folder.file("wet.zte")).find(warning), std::string::npos);

    TempFolder plain("cli-records-plain");
    writeDataFolder(plain, 12.48f, 41.9f, romeStations());
    const CliResult calm = runCli("estimate --lon 12.48 --lat 41.9 --alt 17 --var Temp --json --data " + plain.str());
    ASSERT_EQ(calm.code, 0) << calm.err;
    EXPECT_FALSE(nlohmann::json::parse(calm.out)["warnings"]["WarnRecord"]);
}
