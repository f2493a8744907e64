// The --method option of the estimating commands.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "../core/fixture.h"
#include "run_cli.h"

using namespace zentrel;
using namespace zentrel::test;

namespace {

std::vector<Station> hillStations() {
    std::vector<Station> out;
    for (int k = 0; k < 12; ++k) {
        const float alt = 100.0f + 150.0f * static_cast<float>(k % 6);
        Station s = makeStation(8.0f + 0.3f * static_cast<float>(k % 4), 46.0f + 0.3f * static_cast<float>(k / 4), alt, 0,
                                "Hill " + std::to_string(k));
        for (int m = 1; m <= 12; ++m) s.Data[static_cast<size_t>(m)] = 12 - 0.006f * alt + static_cast<float>(m % 3);
        out.push_back(s);
    }
    return out;
}

}  // namespace

TEST(MethodOption, AdaptiveIsTheDefaultAndTheDescribedMethodOneOptionAway) {
    TempFolder folder("cli-method");
    writeDataFolder(folder, 8.4f, 46.3f, hillStations());
    const std::string at = "estimate --lon 8.4 --lat 46.3 --alt 900 --var Temp --format zte --data " + folder.str();
    ASSERT_EQ(runCli(at + " -o " + folder.file("default.txt")).code, 0);
    ASSERT_EQ(runCli(at + " --method described -o " + folder.file("described.txt")).code, 0);
    ASSERT_EQ(runCli(at + " --robust 0 -o " + folder.file("unrobust.txt")).code, 0);
    const CliResult adaptive = runCli(at + " --method Adaptive -o " + folder.file("adaptive.txt"));
    ASSERT_EQ(adaptive.code, 0) << adaptive.err;
    ASSERT_EQ(runCli(at + " --robust 1 -o " + folder.file("robust.txt")).code, 0);
    ASSERT_EQ(runCli(at + " --method robust -o " + folder.file("robust2.txt")).code, 0);

    EXPECT_EQ(readFile(folder.file("default.txt")), readFile(folder.file("adaptive.txt")));
    EXPECT_NE(readFile(folder.file("adaptive.txt")).find("Locally Adaptive Method"), std::string::npos);
    EXPECT_EQ(readFile(folder.file("described.txt")), readFile(folder.file("unrobust.txt")));
    EXPECT_EQ(readFile(folder.file("described.txt")).find("Adaptive"), std::string::npos);
    EXPECT_EQ(readFile(folder.file("robust.txt")), readFile(folder.file("robust2.txt")));
    EXPECT_NE(readFile(folder.file("robust.txt")).find("Robust Altitude and Gradient Corrections"), std::string::npos);
}

TEST(MethodOption, ValidationReportNamesOnlyAMethodOtherThanDescribed) {
    TempFolder folder("cli-method-validate");
    writeDataFolder(folder, 8.4f, 46.3f, hillStations());
    const std::string run = "validate --var Temp --folds 3 --threads 1 --data " + folder.str();
    const CliResult described = runCli(run + " --method described");
    const CliResult adaptive = runCli(run);
    ASSERT_EQ(described.code, 0) << described.err;
    ASSERT_EQ(adaptive.code, 0) << adaptive.err;
    EXPECT_NE(described.out.find("Hold-out validation: 3 folds, seed 1\n"), std::string::npos) << described.out;
    EXPECT_NE(adaptive.out.find("Hold-out validation: 3 folds, seed 1, method adaptive\n"), std::string::npos) << adaptive.out;
}

TEST(MethodOption, UnknownOrContradictoryMethodIsAUsageError) {
    TempFolder folder("cli-method-bad");
    writeDataFolder(folder, 8.4f, 46.3f, hillStations());
    const std::string at = "estimate --lon 8.4 --lat 46.3 --alt 900 --var Temp --data " + folder.str();
    const CliResult unknown = runCli(at + " --method krige");
    EXPECT_EQ(unknown.code, 2);
    EXPECT_NE(unknown.err.find("--method must be described, robust, adaptive or kriging"), std::string::npos) << unknown.err;
    const CliResult both = runCli(at + " --method adaptive --robust 1");
    EXPECT_EQ(both.code, 2);
    EXPECT_NE(both.err.find("--robust 1 contradicts --method adaptive"), std::string::npos) << both.err;
    for (const char* command : {"batch", "raster", "validate"}) {
        const CliResult help = runCli(std::string(command) + " --help");
        EXPECT_NE(help.out.find("--method"), std::string::npos) << command;
    }
}
