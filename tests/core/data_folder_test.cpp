// The data and map folder lookup: --data, ZENTREL_DATA, beside the program, the user's data
// folder, the installed one; and the one-line description of a database.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>

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
    static constexpr const char* kVariables[] = {"ZENTREL_DATA", "XDG_DATA_HOME", "HOME"};
    void SetUp() override {
        for (const char* name : kVariables)
            if (const char* value = std::getenv(name)) saved_[name] = value;
        ::unsetenv("ZENTREL_DATA");
        ::unsetenv("XDG_DATA_HOME");
        ::setenv("HOME", home().c_str(), 1);
        fs::create_directories(bin());
    }
    void TearDown() override {
        for (const char* name : kVariables) saved_.count(name) ? ::setenv(name, saved_[name].c_str(), 1) : ::unsetenv(name);
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
    std::map<std::string, std::string> saved_;
};

}  // namespace

// The option and ZENTREL_DATA are taken as given, so that a wrong name is reported, not passed
// over; the folder beside the program, the user's and the installed one (found from the
// program's folder without "..") only when they exist.
TEST_F(DataFolderLookup, OptionThenEnvironmentThenBesideTheProgramThenUserThenInstalled) {
    using R = DataFolderRule;
    // Which of the folders beside the program, the user's and the installed one exist;
    // ZENTREL_DATA; the option; the rule that decides.
    const std::tuple<std::array<bool, 3>, const char*, const char*, R> cases[] = {
        {{true, false, false}, "/elsewhere/data", "/nonexistent/data", R::Option},
        {{true, false, false}, "/elsewhere/data", "", R::Environment},
        {{true, true, true}, nullptr, "", R::BesideProgram},
        {{false, true, true}, nullptr, "", R::UserData},
        {{false, false, true}, nullptr, "", R::Installed},
        {{false, false, false}, nullptr, "", R::NotFound}};
    for (const auto& [exist, environment, option, rule] : cases) {
        const std::string folders[] = {beside(), user(), installed()};
        for (size_t k = 0; k < 3; ++k) {
            fs::remove_all(folders[k]);
            if (exist[k]) make(folders[k]);
        }
        if (environment) ::setenv("ZENTREL_DATA", environment, 1);
        else ::unsetenv("ZENTREL_DATA");
        const DataFolderChoice got = locateDataFolder(bin(), option);
        const std::string expected = rule == R::Option        ? option
                                     : rule == R::Environment ? environment
                                     : rule == R::UserData    ? user()
                                     : rule == R::Installed   ? installed()
                                                              : beside();
        EXPECT_EQ(got.rule, rule) << expected;
        EXPECT_EQ(got.folder, expected);
    }
    EXPECT_THROW(requireDataFolder(beside()), Error);  // the folder named when none is found
}

TEST_F(DataFolderLookup, XdgDataHomeNamesTheUserFolderAndARelativeOneIsIgnored) {
    const std::string xdg = (root_.path() / "xdg").string();
    ::setenv("XDG_DATA_HOME", xdg.c_str(), 1);
    EXPECT_EQ(userDataBase(), (fs::path(xdg) / "zentrel").string());
    ::setenv("XDG_DATA_HOME", "relative/share", 1);
    EXPECT_EQ(userDataBase(), (fs::path(home()) / ".local" / "share" / "zentrel").string());
}

TEST_F(DataFolderLookup, MapsBesideTheProgramThenBesideTheDataFolderThenTheUsersThenInstalled) {
    const std::string data = (root_.path() / "other" / "ZentrelData").string();
    const std::string installedMaps = make(root_.path() / "prefix" / "share" / "zentrel" / "rastelldata");
    EXPECT_EQ(locateMapFolder(bin(), data), installedMaps);
    const std::string userMaps = make(fs::path(home()) / ".local" / "share" / "zentrel" / "rastelldata");
    EXPECT_EQ(locateMapFolder(bin(), data), userMaps);
    const std::string besideData = make(root_.path() / "other" / "rastelldata");
    EXPECT_EQ(locateMapFolder(bin(), data), besideData);
    const std::string besideProgram = make(fs::path(bin()) / "rastelldata");
    EXPECT_EQ(locateMapFolder(bin(), data), besideProgram);
}

TEST_F(DataFolderLookup, WhereReportMarksTheUsedRuleAndTheMissingOnes) {
    make(installed());
    const std::string report = dataFolderReport(bin(), "");
    for (const std::string& line : {"Data folder: " + installed() + " (installed)", std::string("ZENTREL_DATA        not set"),
                                    beside() + " (missing)", installed() + " (used)"})
        EXPECT_NE(report.find(line), std::string::npos) << line << "\n" << report;
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
