// A new station database replaces the old one whole, or not at all.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <map>

#include "data/database_replace.h"
#include "error.h"
#include "fixture.h"

using namespace zentrel;
using zentrel::test::makeStation;
using zentrel::test::TempFolder;

namespace {

std::map<std::string, std::string> folderContents(const std::filesystem::path& folder) {
    std::map<std::string, std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(e.path(), std::ios::binary);
        out[e.path().filename().string()] = {std::istreambuf_iterator<char>(in), {}};
    }
    return out;
}

StationLists listsOf(int count, float value) {
    StationLists lists;
    for (int v = 0; v < kVariableCount; ++v)
        for (int k = 0; k < count; ++k)
            lists[static_cast<size_t>(v)].push_back(
                makeStation(10 + 0.01f * static_cast<float>(k), 45, 100, value, "Station number " + std::to_string(k)));
    return lists;
}

int entriesBeside(const std::filesystem::path& parent) {
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(parent)) ++n;
    return n;
}

}  // namespace

TEST(DatabaseReplace, FullDiskLeavesTheOldDatabaseWholeAndNoStaging) {
    TempFolder parent("dbrep-full");
    const std::string db = parent.file("db");
    replaceStationDatabase(db, listsOf(2, 1));
    const auto before = folderContents(db);
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4000, 4000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            replaceStationDatabase(db, listsOf(200, 2));  // the Temp band file passes the limit
        } catch (const Error&) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << "the full disk was not reported";
    EXPECT_EQ(folderContents(db), before) << "the old database was changed by a failed import";
    EXPECT_EQ(entriesBeside(parent.path()), 1) << "the half-built database stayed beside the old one";
}

TEST(DatabaseReplace, NewDatabaseKeepsOtherFilesButNotTheDemonstrationMarker) {
    TempFolder parent("dbrep-keep");
    const std::string db = parent.file("db");
    replaceStationDatabase(db, listsOf(1, 1));
    std::ofstream(std::filesystem::path(db) / "10k8b.raw") << "raster";
    std::ofstream(std::filesystem::path(db) / "DEMONSTRATION") << "demo";
    replaceStationDatabase(db + "/", listsOf(3, 5));
    const auto after = folderContents(db);
    EXPECT_EQ(after.at("10k8b.raw"), "raster");
    EXPECT_EQ(after.count("DEMONSTRATION"), 0u);
    EXPECT_NE(after.at("max.txt").find("Station number 2"), std::string::npos);
    EXPECT_EQ(entriesBeside(parent.path()), 1);
}

TEST(DatabaseReplace, CancelLeavesTheOldFolderAndNoStaging) {
    TempFolder parent("dbrep-cancel");
    const std::string db = parent.file("db");
    replaceStationDatabase(db, listsOf(1, 1));
    const auto before = folderContents(db);
    int polls = 0;
    EXPECT_THROW(replaceStationDatabase(db, listsOf(5, 3), [&] { return ++polls > 3; }), DatabaseReplaceCancelled);
    EXPECT_EQ(folderContents(db), before);
    EXPECT_EQ(entriesBeside(parent.path()), 1);
}

TEST(DatabaseReplace, AFileInPlaceOfTheFolderIsRefusedAndKept) {
    TempFolder parent("dbrep-file");
    parent.write("db", "not a folder");
    EXPECT_THROW(replaceStationDatabase(parent.file("db"), listsOf(1, 1)), Error);
    EXPECT_EQ(folderContents(parent.path()).at("db"), "not a folder");
}
