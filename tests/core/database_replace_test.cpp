// A new station database replaces the old one whole, or not at all.
#include <gtest/gtest.h>

#include "data/database_replace.h"
#include "data/station_database.h"
#include "error.h"
#include "fixture.h"

using namespace zentrel;
using namespace zentrel::test;

namespace {

StationLists listsOf(int count, float value) {
    StationLists lists;
    for (int v = 0; v < kVariableCount; ++v)
        for (int k = 0; k < count; ++k)
            lists[static_cast<size_t>(v)].push_back(
                makeStation(10 + 0.01f * static_cast<float>(k), 45, 100, value, "Station number " + std::to_string(k)));
    return lists;
}

}  // namespace

// A full disk (the Temp band file passes the limit) and a cancel both leave the old database as
// it was and nothing half-built beside it.
TEST(DatabaseReplace, FullDiskOrCancelLeavesTheOldDatabaseWholeAndNoStaging) {
    TempFolder parent("dbrep-fail");
    const std::string db = parent.file("db");
    replaceStationDatabase(db, listsOf(2, 1));
    const auto before = folderFiles(db);
    EXPECT_TRUE(reportsFullDisk(4000, [&] { replaceStationDatabase(db, listsOf(200, 2)); }))
        << "the full disk was not reported";
    EXPECT_EQ(folderFiles(db), before) << "the old database was changed by a failed import";
    int polls = 0;
    EXPECT_THROW(replaceStationDatabase(db, listsOf(5, 3), [&] { return ++polls > 3; }), DatabaseReplaceCancelled);
    EXPECT_EQ(folderFiles(db), before);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(parent.path()), {}), 1) << "staging stayed behind";
}

TEST(DatabaseReplace, NewDatabaseKeepsOtherFilesButNotTheDemonstrationMarker) {
    TempFolder parent("dbrep-keep");
    const std::string db = parent.file("db");
    replaceStationDatabase(db, listsOf(1, 1));
    std::ofstream(std::filesystem::path(db) / "10k8b.raw") << "raster";
    std::ofstream(std::filesystem::path(db) / "DEMONSTRATION") << "demo";
    replaceStationDatabase(db + "/", listsOf(3, 5));
    const auto after = folderFiles(db);
    EXPECT_EQ(after.at("10k8b.raw") + " " + std::to_string(after.count("DEMONSTRATION")), "raster 0");
    EXPECT_NE(after.at("max.txt").find("Station number 2"), std::string::npos);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(parent.path()), {}), 1);

    // A file in place of the folder is refused and kept.
    parent.write("file", "not a folder");
    EXPECT_THROW(replaceStationDatabase(parent.file("file"), listsOf(1, 1)), Error);
    EXPECT_EQ(readFile(parent.file("file")), "not a folder");
}

// A database object that read some files of the old folder never reads the rest from the new
// one: an estimate would mix two databases. It reads every file at its first reading, so files
// asked for later come from the old folder too; one it could not take then (a malformed one, left
// to its own reading) is refused with a message (its caller starts again), and a refresh takes
// the new folder whole.
TEST(DatabaseReplace, DatabaseObjectRefusesToReadOnAcrossAnExchangeUntilRefreshed) {
    TempFolder parent("dbrep-object");
    const std::string db = parent.file("db");
    replaceStationDatabase(db, listsOf(2, 1));
    std::ofstream(std::filesystem::path(db) / "min.txt") << "1,2,3\n";
    StationDatabase database(db), late(db);
    EXPECT_EQ(database.file("max.txt")->size(), 2u);
    replaceStationDatabase(db, listsOf(3, 2));
    // The files are read from the folder the object was opened on, or not at all: one opened
    // before the exchange and first read after it (or while the files were read) says so.
    EXPECT_THROW(late.file("max.txt"), DatabaseReplaced);
    EXPECT_EQ(database.file("vap.txt")->size(), 2u) << "a file first asked for after the exchange came from the new folder";
    try {
        database.file("min.txt");
        ADD_FAILURE() << "min.txt was read from the new database after max.txt from the old one";
    } catch (const DatabaseReplaced& e) {
        EXPECT_NE(std::string(e.what()).find("The data folder " + db + " was replaced"), std::string::npos) << e.what();
    }
    EXPECT_EQ(database.file("max.txt")->size(), 2u) << "what was read stays as read";
    const uint64_t before = database.generation();
    EXPECT_GE(database.refresh(), 1);
    EXPECT_NE(database.generation(), before);
    EXPECT_EQ(database.file("max.txt")->size(), 3u);
    EXPECT_EQ(database.file("min.txt")->size(), 3u);
}
