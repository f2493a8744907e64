// `zentrel estimate` run as a user runs it: exit codes, messages, the table, the JSON and the
// exported files, with each method.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <sstream>

#include "cli_fixture.h"
#include "version.h"

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

// The Rome stations written once for all tests; they write their outputs beside them.
const TempFolder& rome() {
    static const TempFolder folder("cli-estimate");
    [[maybe_unused]] static const bool written = (writeDataFolder(folder, 12.48f, 41.9f, romeStations()), true);
    return folder;
}
std::string at(const std::string& more = "") {
    return "estimate --lon 12.48 --lat 41.9 --alt 17 " + more + " --data " + rome().str();
}

}  // namespace

TEST(EstimateCommand, JsonHasEveryFieldThirteenValuesTheVersionAndAllVariablesInOrder) {
    const CliResult r = runCliOk(at("--var Temp --json"));
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["program"], std::string("Zentrel ") + programVersion());
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
    EXPECT_FALSE(j["warnings"]["WarnRecord"]);
    // Numbers are the shortest text that reads back to the same float.
    const std::string best = r.out.substr(r.out.find("\"Best\": [") + 9, 30);
    EXPECT_EQ(best.find("0000000"), std::string::npos) << best;

    const CliResult all = runCliOk(at("--var all --json"));
    const auto a = nlohmann::json::parse(all.out);
    ASSERT_EQ(a.size(), 8u);
    EXPECT_EQ(a[3]["variable"], "Prec");
    EXPECT_EQ(a[7]["variable"], "Sun");
}

// Missing is never zero: what the engine did not estimate is null in JSON and "-" in the table
// (never 0.00 as the year of one station), in every method; without any neighbour the result is
// normal and says why.
TEST(EstimateCommand, WhatWasNotEstimatedIsNullInJsonAndADashInTheTable) {
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
            const std::string args = at(std::string("--var Temp --method ") + method + " " + c.settings);
            const CliResult r = runCli(args + " --json");
            ASSERT_EQ(r.code, 0) << args << "\n" << r.err;
            const auto j = nlohmann::json::parse(r.out);
            const CliResult table = runCliOk(args);
            for (int m : {0, 12}) {
                const bool best = c.best && (m < 12 || c.annual), error = c.error && best;
                for (const std::string q : {"Best", "StdErr", "Bias"})
                    EXPECT_EQ(j["result"][q][m].is_number(), q == "Best" ? best : error) << args << " " << q << " " << m;
                // The table's row: month, Best, Low, High, StdErr, Bias.
                const size_t row = table.out.find(m < 12 ? "January" : "Annual");
                ASSERT_NE(row, std::string::npos) << table.out;
                std::istringstream in(table.out.substr(row, table.out.find('\n', row) - row));
                std::vector<std::string> v(6);
                for (std::string& x : v) in >> x;
                for (size_t k = 1; k < 6; ++k)
                    EXPECT_EQ(v[k] == "-", !(k == 1 ? best : error)) << args << ": " << v[0] << " " << v[k];
            }
            EXPECT_EQ(table.out.find("Only one active station") != std::string::npos, c.best && !c.annual) << args;
            if (!c.best) {
                EXPECT_EQ(j["activeCount"], 0);
                ASSERT_EQ(j["messages"].size(), 1u);
                EXPECT_EQ(j["messages"][0]["title"], "No calculation can be done with 0 neighbours");
            }
        }
}

// The year of an amount is its total wherever a number is read: the table's "Annual total" row
// and the JSON's thirteenth value, with the total's own error (at most the sum of the months'
// errors); temperatures keep the mean. The result file keeps the record's mean (its Average row).
TEST(EstimateCommand, TheYearOfPrecipitationIsItsTotalInTheTableAndJson) {
    for (const char* method : {"described", "robust", "adaptive"}) {
        const std::string args = at(std::string("--var Prec --maxstat 12 --method ") + method);
        const auto j = nlohmann::json::parse(runCliOk(args + " --json").out);
        EXPECT_EQ(j["annual"], "total") << method;
        double total = 0, errors = 0;
        for (int m = 0; m < 12; ++m) {
            total += j["result"]["Best"][m].get<double>();
            errors += j["result"]["StdErr"][m].get<double>();
        }
        EXPECT_NEAR(j["result"]["Best"][12].get<double>(), total, 1e-4 * total) << method;
        const double error = j["result"]["StdErr"][12].get<double>();
        EXPECT_TRUE(error > 0 && error <= errors * (1 + 1e-6)) << method << ": " << error << " of " << errors;
        const std::string table = runCliOk(args).out;
        const size_t row = table.find("\nAnnual total ");
        ASSERT_NE(row, std::string::npos) << table;
        std::istringstream in(table.substr(row + 14));
        double shown = 0;
        in >> shown;
        EXPECT_NEAR(shown, total, 0.006 + 1e-4 * total) << method;
    }
    const auto temp = nlohmann::json::parse(runCliOk(at("--var Temp --json")).out);
    EXPECT_EQ(temp["annual"], "mean");
    double mean = 0;
    for (int m = 0; m < 12; ++m) mean += temp["result"]["Best"][m].get<double>() / 12;
    EXPECT_NEAR(temp["result"]["Best"][12].get<double>(), mean, 1e-4);
    EXPECT_EQ(runCliOk(at("--var Temp")).out.find("Annual total"), std::string::npos);
}

// A month beyond the world's records (5000 mm of rain in March at every neighbour) is warned
// of in every output of the estimate, as is a location above its stations; the table shows
// the bounds of the interval.
TEST(EstimateCommand, WarningsAreShownInTheTableJsonAndResultFile) {
    const CliResult high = runCliOk("estimate --lon 12.48 --lat 41.9 --alt 2500 --var Temp --data " + rome().str());
    for (const char* said : {"Low (5%)", "January", "WARNING: Location higher than surrounding Stations!"})
        EXPECT_NE(high.out.find(said), std::string::npos) << said << "\n" << high.out;

    TempFolder folder("cli-records");
    std::vector<Station> wet = romeStations();
    for (Station& s : wet)
        for (int m = 1; m <= 12; ++m) s.Data[static_cast<size_t>(m)] = m == 3 ? 5000 : 100;
    writeDataFolder(folder, 12.48f, 41.9f, wet);
    const std::string args = "estimate --lon 12.48 --lat 41.9 --alt 17 --var Prec --method described --data " + folder.str();
    const std::string warning = "WARNING: Estimate beyond the world's records in March!";
    const CliResult text = runCliOk(args);
    EXPECT_NE(text.out.find(warning), std::string::npos) << text.out;
    const CliResult json = runCliOk(args + " --json");
    const auto j = nlohmann::json::parse(json.out);
    EXPECT_TRUE(j["warnings"]["WarnRecord"]);
    EXPECT_EQ(j["warnings"]["RecordMonth"], 3);
    runCliOk(args + " --format zte -o " + folder.file("wet.zte"));
    EXPECT_NE(readFile(folder.file("wet.zte")).find(warning), std::string::npos);
}

TEST(EstimateCommand, ExportsEveryOutputFormatToAFile) {
    const auto exported = [](const std::string& format, const std::string& var = "") {
        const std::string out = rome().file("out-" + format + var);
        const CliResult r = runCli(at((var.empty() ? "" : "--var " + var) + " --format " + format + " -o " + out));
        EXPECT_EQ(r.code, 0) << format << " " << var << ": " << r.err;
        return readFile(out);
    };
    for (const std::string format : {"zte", "orvane", "lgs-input", "lgs-output", "vesk"}) {
        const std::string text = exported(format);
        EXPECT_NE(text.find("\r\n"), std::string::npos) << format;
        EXPECT_TRUE(format != "zte" || text.find("Latitude = 41.90") != std::string::npos) << text.substr(0, 300);
        // The season files are made from Prec and PET whatever --var names: never from half of them.
        for (const std::string var : {"Prec", "PET", "Temp"})
            if (format.rfind("lgs", 0) == 0) {
                EXPECT_EQ(exported(format, var), text) << format << " from --var " << var;
            }
    }
    EXPECT_EQ(runCli(at("--var Prec --format zte --daily --dekadal --thresholds -o " + rome().file("wb"))).code, 0);
}

// --method picks the method by any of its names; the kriging method is the default and
// --robust 0 or 1 name the described and the robust one. The result file names the method, and
// its robust corrections only when they are on.
TEST(EstimateCommand, KrigingIsTheDefaultAndEachMethodHasItsNames) {
    const auto report = [](const std::string& options) {
        const std::string out = rome().file("method" + std::to_string(std::hash<std::string>{}(options)));
        const CliResult r = runCli(at("--var Temp --format zte " + options + " -o " + out));
        EXPECT_EQ(r.code, 0) << options << ": " << r.err;
        return readFile(out);
    };
    const std::string adaptive = report("--method Adaptive"), described = report("--method described"),
                      robust = report("--robust 1"), kriging = report("--method KRIGING");
    EXPECT_EQ(report(""), kriging);
    EXPECT_NE(kriging.find("Kriging with Terrain Covariates"), std::string::npos);
    EXPECT_NE(adaptive.find("Locally Adaptive Method"), std::string::npos);
    EXPECT_EQ(report("--robust 0"), described);
    EXPECT_EQ(described.find("Adaptive"), std::string::npos);
    EXPECT_EQ(report("--method robust"), robust);
    EXPECT_NE(robust.find("Robust Altitude and Gradient Corrections"), std::string::npos);
    EXPECT_EQ(described.find("Robust Altitude and Gradient Corrections"), std::string::npos);
    for (const std::string& text : {described, robust}) EXPECT_NE(text.find("Climate Gradient Correction"), std::string::npos);
}

// The table writes sunshine as the outputs do: a fraction the described method's altitude slope
// carries above 1 (0.90 at sea level rising 0.1 per km, extrapolated to 3000 m) is 1.00.
TEST(EstimateCommand, TheTableShowsASunshineFractionEstimatedAboveOneAsOne) {
    const TempFolder folder("cli-sunny");
    std::vector<Station> ring = ringOfEightStations();
    for (Station& s : ring) s.Data.fill(0.9f + 0.0001f * s.Alt);
    writeDataFolder(folder, 10, 45, ring);
    const CliResult r = runCliOk("estimate --lon 10 --lat 45 --alt 3000 --var Sun --method described --data " + folder.str());
    std::istringstream in(r.out.substr(r.out.find("March")));
    std::string name, best;
    in >> name >> best;
    EXPECT_EQ(best, "1.00") << r.out;
}
