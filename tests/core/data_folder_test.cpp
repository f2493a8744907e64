// The data and map folder lookup: --data, ZENTREL_DATA, beside the program, the user's data
// folder, the installed one; and the one-line description of a database.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "data/data_folder.h"
#include "data/folder_report.h"
#include "error.h"
#include "fixture.h"

using namespace zentrel;
namespace fs = std::filesystem;

namespace {

// An installation under a temporary prefix: prefix/bin (the program's folder), prefix/share/zentrel,
// and a home folder; the environment variables of the lookup are set for the test and restored.
class DataFolderLookup : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"ZENTREL_DATA", "XDG_DATA_HOME", "HOME"}) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        ::unsetenv("ZENTREL_DATA");
        ::unsetenv("XDG_DATA_HOME");
        ::setenv("HOME", home().c_str(), 1);
        fs::create_directories(bin());
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value) ::setenv(name.c_str(), value->c_str(), 1);
            else ::unsetenv(name.c_str());
        }
    }
    std::string bin() const { return (root_.path() / "prefix" / "bin").string(); }
    std::string home() const { return (root_.path() / "home").string(); }
    std::string make(const fs::path& p) const {
        fs::create_directories(p);
        return p.string();
    }
    std::string beside() const { return (fs::path(bin()) / "ZentrelData").string(); }
    std::string installed() const { return (root_.path() / "prefix" / "share" / "zentrel" / "ZentrelData").string(); }
    std::string user() const { return (fs::path(home()) / ".local" / "share" / "zentrel" / "ZentrelData").string(); }

    zentrel::test::TempFolder root_{"data-lookup"};
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace

TEST_F(DataFolderLookup, OptionIsTakenAsGivenEvenWhenMissing) {
    make(beside());
    ::setenv("ZENTREL_DATA", beside().c_str(), 1);
    const DataFolderChoice c = locateDataFolder(bin(), "/nonexistent/data");
    EXPECT_EQ(c.rule, DataFolderRule::Option);
    EXPECT_EQ(c.folder, "/nonexistent/data");
}

TEST_F(DataFolderLookup, EnvironmentComesBeforeTheFolderBesideTheProgram) {
    make(beside());
    ::setenv("ZENTREL_DATA", "/elsewhere/data", 1);
    const DataFolderChoice c = locateDataFolder(bin());
    EXPECT_EQ(c.rule, DataFolderRule::Environment);
    EXPECT_EQ(c.folder, "/elsewhere/data");
}

TEST_F(DataFolderLookup, BuildTreeFolderBesideTheProgramComesBeforeUserAndInstalled) {
    make(beside());
    make(user());
    make(installed());
    const DataFolderChoice c = locateDataFolder(bin());
    EXPECT_EQ(c.rule, DataFolderRule::BesideProgram);
    EXPECT_EQ(c.folder, beside());
}

TEST_F(DataFolderLookup, UserImportedDatabaseComesBeforeTheInstalledOne) {
    make(user());
    make(installed());
    const DataFolderChoice c = locateDataFolder(bin());
    EXPECT_EQ(c.rule, DataFolderRule::UserData);
    EXPECT_EQ(c.folder, user());
}

TEST_F(DataFolderLookup, XdgDataHomeNamesTheUserFolderAndARelativeOneIsIgnored) {
    const std::string xdg = (root_.path() / "xdg").string();
    ::setenv("XDG_DATA_HOME", xdg.c_str(), 1);
    EXPECT_EQ(userDataBase(), (fs::path(xdg) / "zentrel").string());
    ::setenv("XDG_DATA_HOME", "relative/share", 1);
    EXPECT_EQ(userDataBase(), (fs::path(home()) / ".local" / "share" / "zentrel").string());
}

TEST_F(DataFolderLookup, InstalledFolderIsFoundFromTheProgramFolderWithoutDotDot) {
    make(installed());
    const DataFolderChoice c = locateDataFolder(bin());
    EXPECT_EQ(c.rule, DataFolderRule::Installed);
    EXPECT_EQ(c.folder, installed());
}

TEST_F(DataFolderLookup, NothingFoundNamesTheFolderBesideTheProgram) {
    const DataFolderChoice c = locateDataFolder(bin());
    EXPECT_EQ(c.rule, DataFolderRule::NotFound);
    EXPECT_EQ(c.folder, beside());
    EXPECT_THROW(requireDataFolder(c.folder), Error);
}

TEST_F(DataFolderLookup, MapsBesideTheDataFolderComeBeforeTheInstalledMaps) {
    const fs::path prefix = root_.path() / "prefix";
    const std::string installedMaps = make(prefix / "share" / "zentrel" / "rastelldata");
    EXPECT_EQ(locateMapFolder(bin(), user()), installedMaps);
    const std::string other = make(root_.path() / "other" / "rastelldata");
    EXPECT_EQ(locateMapFolder(bin(), (root_.path() / "other" / "ZentrelData").string()), other);
    const std::string besideProgram = make(fs::path(bin()) / "rastelldata");
    EXPECT_EQ(locateMapFolder(bin(), (root_.path() / "other" / "ZentrelData").string()), besideProgram);
}

TEST_F(DataFolderLookup, WhereReportMarksTheUsedRuleAndTheMissingOnes) {
    make(installed());
    const std::string report = dataFolderReport(bin(), "");
    EXPECT_NE(report.find("Data folder: " + installed() + " (installed)"), std::string::npos) << report;
    EXPECT_NE(report.find("ZENTREL_DATA        not set"), std::string::npos) << report;
    EXPECT_NE(report.find(beside() + " (missing)"), std::string::npos) << report;
    EXPECT_NE(report.find(installed() + " (used)"), std::string::npos) << report;
}

TEST(DatabaseDescription, SaysDemonstrationAndTheDayOfTheNewestStationFile) {
    zentrel::test::TempFolder folder("describe-db");
    EXPECT_EQ(describeDatabase(folder.str()), "no station database");
    folder.write("max.txt", "x\n");
    folder.write("DEMONSTRATION", "demo\n");
    const auto when = std::chrono::file_clock::from_sys(std::chrono::sys_seconds{std::chrono::seconds{1614859200}});  // 2021-03-04 12:00 UTC
    fs::last_write_time(folder.path() / "max.txt", when);
    EXPECT_EQ(describeDatabase(folder.str()), "demonstration station database, built 2021-03-04");
    fs::remove(folder.path() / "DEMONSTRATION");
    EXPECT_EQ(describeDatabase(folder.str()), "station database, built 2021-03-04");
    // An imported database names its source and build from its about file.
    folder.write("about.txt", "Source: Deutscher Wetterdienst, CLIMAT reports.\nPeriod: 2003-03..2021-07\n"
                              "Built: 2026-12-06 08:30 UTC by zentrel data import-csv\n");
    EXPECT_EQ(describeDatabase(folder.str()),
              "Deutscher Wetterdienst, CLIMAT reports, built 2026-12-06 08:30 UTC by zentrel data import-csv");
}
