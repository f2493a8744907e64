// `zentrel --version` and imports into the user's data folder: which folder is in use, and why.
#include <gtest/gtest.h>

#include "cli_fixture.h"
#include "version.h"

using namespace zentrel;
using namespace zentrel::test;
namespace fs = std::filesystem;

TEST(VersionOption, NeedsNoCommandStartsWithTheVersionAndNamesTheDataFolderAndItsRule) {
    TempFolder folder("cli-version");
    folder.write("max.txt", "");
    const ScopedEnv data("ZENTREL_DATA", folder.str());
    const CliResult r = runCli("--version");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind(std::string("zentrel ") + programVersion() + "\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("Data folder: " + folder.str() + " (ZENTREL_DATA)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Database: station database, built "), std::string::npos) << r.out;
}

TEST(DataImport, WithoutOutWritesTheUserDataFolderAndSaysWhere) {
    TempFolder home("cli-import-home");
    const ScopedEnv xdg("XDG_DATA_HOME", home.str());
    const ScopedEnv data("ZENTREL_DATA", "");
    const CliResult r = runCli("data import-csv --in " + std::string(ZENTREL_TEST_DATA) + "/csv/normals.csv");
    ASSERT_EQ(r.code, 0) << r.err;
    const fs::path target = home.path() / "zentrel" / "ZentrelData";
    EXPECT_NE(r.out.find("Station database written to " + target.string() + "\n"), std::string::npos) << r.out;
    EXPECT_TRUE(fs::exists(target / "mela5lo5.txt"));
    // The folder in use until now lends its terrain, so estimates there still find altitudes.
    const fs::path beside = fs::path(ZENTREL_BIN).parent_path() / "ZentrelData";
    if (fs::exists(beside / "10k8b.raw")) {
        EXPECT_TRUE(fs::exists(target / "10k8b.raw"));
        EXPECT_NE(r.out.find("zentrel uses " + beside.string() + " (beside the program) first; name this one with --data"),
                  std::string::npos)
            << r.out;
    }
}
