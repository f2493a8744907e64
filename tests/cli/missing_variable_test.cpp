// A station database without normals of some variable (the CLIMAT reports carry no wind): the
// variable asked alone is an error naming it, runs over several variables go on without it and
// say so once, and writers that need it refuse instead of writing zeros.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli_fixture.h"

using namespace zentrel::test;

namespace {
// Temp, Prec and Sun around Rome, nothing else (empty files for the other variables),
// imported once for all tests.
const TempFolder& folder() {
    static const TempFolder f("missing-var");
    static const int imported = [] {
        std::string csv;
        for (int i = 0; i < 12; ++i) {
            const std::string place = std::to_string(i) + ",S" + std::to_string(i) + ",IT," + std::to_string(41 + i % 3) +
                                      "," + std::to_string(11 + i / 3) + "," + std::to_string(20 * i) + ",";
            csv += place + "Temp,7,8,10,13,17,21,24,24,21,17,12,9\n";
            csv += place + "Prec,67,73,58,81,53,34,19,33,68,113,111,81\n";
            csv += place + "Sun,0.4,0.5,0.5,0.55,0.6,0.7,0.8,0.77,0.66,0.55,0.43,0.4\n";
        }
        f.write("n.csv", csv);
        f.write("places.dat", "12,42,100,A\n12.5,41.5,50,B\n13,42,300,C\n");
        return runCli("data import-csv --in " + f.file("n.csv") + " --out " + f.str()).code;
    }();
    EXPECT_EQ(imported, 0);
    return f;
}
std::string data() { return " --data " + folder().str(); }
std::string at(const std::string& name) { return folder().file(name); }
std::string batch() { return "batch --locations " + at("places.dat") + " "; }
const std::string kWind = "this station database holds no Wind normals";
}  // namespace

// Asked alone, in every command that estimates it.
TEST(MissingVariable, TheMissingVariableAloneIsADataErrorNamingIt) {
    const CliResult r = runCli("estimate --lon 12.48 --lat 41.9 --alt 20 --var Wind" + data());
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find(kWind + "; add them with zentrel data import-csv."), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    for (const std::string& command : {"raster --var Wind --bbox 11,41,13,43 --res 1 --mask /nonexistent.img -o " + at("w.img"),
                                      batch() + "--vars Wind --out " + at("b"), std::string("validate --var Wind --folds 3")}) {
        const CliResult c = runCli(command + data());
        EXPECT_EQ(c.code, 1) << command;
        EXPECT_NE(c.err.find(kWind), std::string::npos) << command << ": " << c.err;
    }
    EXPECT_FALSE(std::filesystem::exists(at("w.img")));
}

// Runs over several variables estimate the others and say once, per variable, what was skipped.
TEST(MissingVariable, EstimateOfAllOrBatchSkipsEachMissingVariableOnceAndEstimatesTheRest) {
    const CliResult r = runCliOk("estimate --lon 12.48 --lat 41.9 --alt 20 --var all" + data());
    EXPECT_NE(r.err.find("zentrel: note: Wind skipped: " + kWind + ".\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("Wind skipped", r.err.find("Wind skipped") + 1), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Vap skipped"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("Temp  Monthly Mean Temperature"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("Wind  Wind Speed"), std::string::npos) << r.out;  // no table of zeros
    const CliResult json = runCliOk("estimate --lon 12.48 --lat 41.9 --alt 20 --var all --json" + data());
    EXPECT_EQ(json.out.find("\"Wind\""), std::string::npos) << json.out.substr(0, 300);
    TempFolder out("missing-var-batch");
    const CliResult b = runCliOk(batch() + "--vars Temp,Wind --out " + out.str() + data());
    EXPECT_NE(b.out.find("3 of 3 point-variable estimates written (3 locations, 1 variables)"), std::string::npos) << b.out;
    EXPECT_NE(b.out.find("Wind skipped: " + kWind + ".\n"), std::string::npos) << b.out;
}

TEST(MissingVariable, CropWaterFilesRefuseAndNameTheImporterInsteadOfWritingZeros) {
    const CliResult r = runCli("estimate --lon 12.48 --lat 41.9 --alt 20 --var all --format plantow -o " + at("out.lst") + data());
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("The crop-water climate file (--format plantow) needs Tmax normals"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("zentrel data import-csv"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(at("out.lst")));
    const CliResult b = runCli(batch() + "--format plantow --out " + at("b.lst") + data());
    EXPECT_EQ(b.code, 1);
    EXPECT_NE(b.err.find("The crop-water climate file needs Tmax normals"), std::string::npos) << b.err;
}
