// `zentrel --version`, `zentrel data where`, imports into the user's data folder, and the
// version carried by the JSON output.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "../core/fixture.h"
#include "run_cli.h"
#include "version.h"

using namespace zentrel;
using namespace zentrel::test;
namespace fs = std::filesystem;

namespace {

// Sets an environment variable (or removes it when value is empty) for the child processes
// of one test and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value.empty()) ::unsetenv(name);
        else ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

}  // namespace

TEST(VersionOption, NeedsNoCommandAndStartsWithTheProgramVersion) {
    const CliResult r = runCli("--version");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind(std::string("zentrel ") + programVersion() + "\n", 0), 0u) << r.out;
}

TEST(VersionOption, NamesTheDataFolderItsRuleAndTheDatabase) {
    TempFolder folder("cli-version");
    folder.write("max.txt", "");
    const ScopedEnv data("ZENTREL_DATA", folder.str());
    const CliResult r = runCli("--version");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Data folder: " + folder.str() + " (ZENTREL_DATA)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Database: station database, built "), std::string::npos) << r.out;
}

TEST(DataWhere, AMissingFolderGivenWithDataIsADataError) {
    const CliResult r = runCli("data where --data /nonexistent/zentrel-data");
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.out.find("--data              /nonexistent/zentrel-data (used, but missing)"), std::string::npos) << r.out;
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

TEST(EstimateJson, CarriesTheProgramVersion) {
    TempFolder folder("cli-json-version");
    std::vector<Station> stations;
    for (int k = 0; k < 6; ++k) {
        Station s = makeStation(12.0f + 0.3f * static_cast<float>(k), 41.5f + 0.2f * static_cast<float>(k % 3), 50, 0,
                                "S" + std::to_string(k));
        for (int m = 1; m <= 12; ++m) s.Data[static_cast<size_t>(m)] = static_cast<float>(10 + m);
        stations.push_back(s);
    }
    writeDataFolder(folder, 12.48f, 41.9f, stations);
    const CliResult r = runCli("estimate --lon 12.48 --lat 41.9 --alt 17 --var Temp --json --data " + folder.str());
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["program"], std::string("Zentrel ") + programVersion());
}
