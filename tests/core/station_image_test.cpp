// The station images: every field of every station (and every row of the station table: sources,
// periods, years) back as the files give it, for the real database and the edge cases; never
// trusted when stale or damaged, rebuilt then, and not needed where they cannot be written.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <tuple>
#include <filesystem>

#include "data/data_folder.h"
#include "data/station_database.h"
#include "data/station_image.h"
#include "data/station_origins.h"
#include "fixture.h"

using namespace zentrel;
using namespace zentrel::test;

namespace {

namespace fs = std::filesystem;

// Every station file name of `folder` with its bytes, as the database reads them.
std::vector<StationFileRead> readFolder(const fs::path& folder) {
    std::vector<StationFileRead> files;
    for (const std::string& name : stationFileNames()) {
        StationFileRead f;
        f.name = name;
        std::error_code ec;
        f.present = fs::is_regular_file(folder / name, ec);
        if (f.present) f.bytes = readFile(folder / name);
        files.push_back(std::move(f));
    }
    return files;
}

// Field by field, the numbers bit for bit (a NaN, -0 or 9999 stays what it was).
void expectSameStations(const std::vector<Station>& a, const std::vector<Station>& b, const std::string& where) {
    ASSERT_EQ(a.size(), b.size()) << where;
    for (size_t k = 0; k < a.size(); ++k) {
        for (float Station::*f : {&Station::Lat, &Station::Lon, &Station::Alt, &Station::Dist, &Station::Dir, &Station::Weight})
            EXPECT_EQ(std::memcmp(&(a[k].*f), &(b[k].*f), sizeof(float)), 0) << where << " station " << k;
        EXPECT_EQ(std::memcmp(a[k].Data.data(), b[k].Data.data(), sizeof a[k].Data), 0) << where << " station " << k;
        EXPECT_EQ(a[k].Name, b[k].Name) << where;
        EXPECT_EQ(a[k].Country, b[k].Country) << where;
        EXPECT_EQ(a[k].DirCode, b[k].DirCode) << where;
        EXPECT_EQ(a[k].Active, b[k].Active) << where;
    }
}

// Writes the image of `folder`'s files and reads it back: each file's stations as parsing gives
// them, or (where parsing leaves a file to its reader) none.
void expectRoundTrip(const fs::path& folder, const std::string& imagePath) {
    std::vector<StationFileRead> parsed = readFolder(folder);
    parseStationFiles(folder.string(), parsed);
    const uint64_t key = stationImageKey(parsed);
    ASSERT_TRUE(writeStationImage(imagePath, key, parsed));
    std::vector<StationFileRead> back = readFolder(folder);
    ASSERT_TRUE(readStationImage(imagePath, key, back));
    for (size_t k = 0; k < parsed.size(); ++k) {
        ASSERT_EQ(!parsed[k].stations, !back[k].stations) << parsed[k].name;
        if (parsed[k].stations) expectSameStations(*parsed[k].stations, *back[k].stations, parsed[k].name);
    }
}

const std::string kLine = "47.26,11.36,593,-2.1,0,4.3,8.6,13.1,16.2,18.1,17.6,14.2,9.1,3.2,-1.2,\"Innsbruck\",\"AT\"\n";

}  // namespace

TEST(StationImage, GivesBackEveryStationOfTheDefaultDatabaseFieldByField) {
    const fs::path folder = fs::read_symlink("/proc/self/exe").parent_path() / kDataFolderName;
    if (!fs::exists(folder / "max.txt")) GTEST_SKIP() << "bin/ZentrelData not built (scripts/build-data.sh)";
    TempFolder out("stimage-real");
    expectRoundTrip(folder, out.file("image.bin"));
}

TEST(StationImage, GivesBackEmptyFilesWindows1252NamesUnknownAltitudesAndExtremeNumbers) {
    TempFolder folder("stimage-edges");
    for (const std::string& name : stationFileNames()) folder.write(name, "");
    // A name in Windows-1252 (Zürich, São Tomé, a long one past any short-string buffer), the
    // unknown altitude 9999, -0, the smallest and largest numbers a field may hold, empty
    // fields read as 0, quotes and blanks as separators.
    folder.write("max.txt", "47.38,8.54,9999,-0,0.1,1e-30,3,4,5,6,7,8,9,10,11,\"Z\xfcrich-Fluntern\",\"CH\"\n"
                            "0.33,6.73,8,29.5,29.6,,29,28,27,26,26,27,28,29,30,\"S\xe3o Tom\xe9 / Aeroporto Internacional\",\"\"\n"
                            "-90 180 -500 1 2 3 4 5 6 7 8 9 10 11 12 \"South Pole\" AQ\n");
    folder.write("mela5lo5.txt", kLine + "\n\n" + kLine);
    folder.write("min.txt", "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,a\n");  // malformed: left to its reader
    folder.write("vap.txt", kLine + "\x1a" + kLine);                       // the reader's notice
    std::filesystem::remove(folder.file("pet.txt"));                        // absent
    expectRoundTrip(folder.path(), folder.file("image.bin"));

    std::vector<StationFileRead> files = readFolder(folder.path());
    parseStationFiles(folder.str(), files);
    const auto at = [&](const std::string& name) -> const StationFileRead& {
        for (const StationFileRead& f : files)
            if (f.name == name) return f;
        throw std::runtime_error(name);
    };
    ASSERT_TRUE(at("max.txt").stations);
    EXPECT_EQ((*at("max.txt").stations)[1].Name, "S\xe3o Tom\xe9 / Aeroporto Internacional");
    EXPECT_EQ(at("mela5lo5.txt").stations->size(), 2u);
    EXPECT_TRUE(at("mela1lo1.txt").stations && at("mela1lo1.txt").stations->empty());
    EXPECT_FALSE(at("min.txt").stations);
    EXPECT_FALSE(at("vap.txt").stations);
    EXPECT_FALSE(at("pet.txt").present);
}

TEST(StationImage, StaleOrDamagedImagesAreRefusedWhateverTheirHeaderSays) {
    TempFolder folder("stimage-damaged");
    folder.write("max.txt", kLine + kLine);
    std::vector<StationFileRead> files = readFolder(folder.path());
    parseStationFiles(folder.str(), files);
    const uint64_t key = stationImageKey(files);
    const std::string path = folder.file("image.bin");
    ASSERT_TRUE(writeStationImage(path, key, files));
    const std::string whole = readFile(path);
    std::string flipped = whole;  // a name's letter changed under an intact header
    flipped[flipped.size() - 5] ^= 0x20;
    const std::pair<const char*, std::string> cases[] = {
        {"bytes added", whole + "x"}, {"bytes cut", whole.substr(0, whole.size() - 1)}, {"payload changed", flipped},
        {"header only", whole.substr(0, 32)}, {"empty", ""}, {"other format", "ZSTIMG9\n" + whole.substr(8)},
    };
    for (const auto& [what, bytes] : cases) {
        folder.write("image.bin", bytes);
        std::vector<StationFileRead> back = readFolder(folder.path());
        EXPECT_FALSE(readStationImage(path, key, back)) << what;
        EXPECT_FALSE(back[0].stations || back[74].stations) << what << ": a refused image filled in stations";
    }
    // The key follows the bytes of every file, not their names or dates alone.
    folder.write("max.txt", kLine + kLine.substr(0, kLine.size() - 4) + "DE\"\n");
    EXPECT_NE(stationImageKey(readFolder(folder.path())), key);
    folder.write("max.txt", kLine + kLine);
    EXPECT_EQ(stationImageKey(readFolder(folder.path())), key);
    folder.write("min.txt", "");
    EXPECT_NE(stationImageKey(readFolder(folder.path())), key) << "a file that came (even empty) is a change";
}

TEST(StationImage, TheDatabaseWritesItReadsItAndRebuildsAStaleOne) {
    TempFolder folder("stimage-db");
    writeDataFolder(folder, 12.5f, 41.9f, {makeStation(12.6f, 41.9f, 10, 1, "A"), makeStation(12.4f, 42, 20, 2, "B")});
    const std::string image = folder.file(kStationImageFileName);
    {
        StationDatabase db(folder.str());
        EXPECT_EQ((*db.file("max.txt"))[1].Name, "B");
    }
    ASSERT_TRUE(fs::is_regular_file(image)) << "the first reading keeps the image";
    // An image of other stations under this folder's key would be believed: the test of the
    // key is that the database gives the files' stations after they changed.
    folder.write("max.txt", stationLines({makeStation(12.6f, 41.9f, 10, 1, "C")}));
    {
        StationDatabase db(folder.str());
        ASSERT_EQ(db.file("max.txt")->size(), 1u);
        EXPECT_EQ((*db.file("max.txt"))[0].Name, "C");
    }
    std::vector<StationFileRead> files = readFolder(folder.path());
    EXPECT_TRUE(readStationImage(image, stationImageKey(files), files)) << "the stale image was not rebuilt";
    // A damaged image is rebuilt too, and its stations never used.
    std::string damaged = readFile(image);
    damaged[damaged.size() - 3] ^= 1;
    folder.write(kStationImageFileName, damaged);
    {
        StationDatabase db(folder.str());
        EXPECT_EQ((*db.file("max.txt"))[0].Name, "C");
    }
    files = readFolder(folder.path());
    EXPECT_TRUE(readStationImage(image, stationImageKey(files), files));
    // A malformed file is reported by name when asked for, and only then.
    folder.write("min.txt", "1,2,3\n");
    StationDatabase db(folder.str());
    EXPECT_EQ((*db.file("max.txt"))[0].Name, "C");
    const std::string message = errorOf([&] { db.file("min.txt"); });
    EXPECT_NE(message.find(folder.file("min.txt") + ", line 1"), std::string::npos) << message;
}

TEST(StationImage, WhereItCannotBeWrittenTheFilesAreParsedAndNothingElseIsReplaced) {
    // What stands in the image's place (a folder here; in an installed data folder the missing
    // right to write) keeps the image from being written: every reading then parses the files.
    TempFolder folder("stimage-blocked");
    writeDataFolder(folder, 12.5f, 41.9f, {makeStation(12.6f, 41.9f, 10, 1, "A")});
    fs::create_directory(folder.file(kStationImageFileName));
    folder.write(std::string(kStationImageFileName) + "/keep", "x");
    for (int round = 0; round < 2; ++round) {
        StationDatabase db(folder.str());
        EXPECT_EQ((*db.file("max.txt"))[0].Name, "A");
    }
    EXPECT_TRUE(fs::is_directory(folder.file(kStationImageFileName)));
    EXPECT_EQ(readFile(folder.file(std::string(kStationImageFileName) + "/keep")), "x");
}

namespace {

void expectSameTable(const StationOrigins& a, const StationOrigins& b) {
    ASSERT_EQ(a.rows().size(), b.rows().size());
    for (size_t k = 0; k < a.rows().size(); ++k) {
        const StationOrigins::Row &x = a.rows()[k], &y = b.rows()[k];
        EXPECT_EQ(x.variable, y.variable) << k;
        EXPECT_EQ(std::memcmp(&x.lon, &y.lon, 4) | std::memcmp(&x.lat, &y.lat, 4) | std::memcmp(&x.alt, &y.alt, 4), 0) << k;
        EXPECT_EQ(x.name, y.name) << k;
        ASSERT_TRUE(x.origin && y.origin) << k;
        EXPECT_EQ(std::tie(x.origin->id, x.origin->source, x.origin->period, x.origin->yearsMin, x.origin->yearsMax, x.origin->note),
                  std::tie(y.origin->id, y.origin->source, y.origin->period, y.origin->yearsMin, y.origin->yearsMax, y.origin->note))
            << k;
        Station s;
        s.Lon = x.lon;
        s.Lat = x.lat;
        s.Name = x.name;
        EXPECT_TRUE(b.find(x.variable, s)) << "row " << k << " is not found by its station";
    }
}

void expectTableRoundTrip(const std::string& text, const std::string& imagePath) {
    const StationOrigins parsed = StationOrigins::parse(text, "stations.csv");
    const uint64_t key = stationTableImageKey(text);
    ASSERT_TRUE(writeStationTableImage(imagePath, key, parsed));
    StationOrigins back;
    ASSERT_TRUE(readStationTableImage(imagePath, key, back));
    expectSameTable(parsed, back);
}

const std::string kTableHeader = "variable,id,lat,lon,alt,name,source,period,years_min,years_max,note\n";

}  // namespace

TEST(StationTableImage, GivesBackEveryRowOfTheDefaultDatabasesTableFieldByField) {
    const fs::path folder = fs::read_symlink("/proc/self/exe").parent_path() / kDataFolderName;
    if (!fs::exists(folder / kStationTableFileName)) GTEST_SKIP() << "bin/ZentrelData not built (scripts/build-data.sh)";
    TempFolder out("sttable-real");
    expectTableRoundTrip(readFile(folder / kStationTableFileName), out.file("table.bin"));
}

TEST(StationTableImage, GivesBackAnEmptyTableUnknownYearsWindows1252NamesAndNotesWithCommas) {
    TempFolder out("sttable-edges");
    expectTableRoundTrip(kTableHeader, out.file("empty.bin"));
    expectTableRoundTrip(kTableHeader +
                             "Temp,06660,47.38,8.54,556,Z\xfcrich-Fluntern,MeteoSwiss,1991-2020,28,30,\"moved 1949, 1 km\"\n"
                             "Prec,,0.33,6.73,9999,S\xe3o Tom\xe9,,,,,\n"
                             "Sun,X1,-90,180,2835,South Pole,WMO,1981-2010,10,10,\n",
                         out.file("edges.bin"));
}

TEST(StationTableImage, StaleOrDamagedImagesAreRefusedAndTheTableReadAgain) {
    TempFolder folder("sttable-db");
    const std::string v1 = kTableHeader + "Temp,1,47.38,8.54,556,Zurich,MeteoSwiss,1991-2020,28,30,\n";
    folder.write(kStationTableFileName, v1);
    const std::string image = folder.file(kStationTableImageFileName);
    ASSERT_EQ(stationOriginsOf(folder.str())->rows().at(0).origin->source, "MeteoSwiss");
    StationOrigins back;
    ASSERT_TRUE(readStationTableImage(image, stationTableImageKey(v1), back)) << "the first reading keeps the image";
    EXPECT_FALSE(readStationTableImage(image, stationTableImageKey(v1 + "Temp,2,1,1,1,B,,,,,\n"), back));
    const std::string good = readFile(image);
    std::string damaged = good;
    damaged[damaged.size() - 2] ^= 0x20;
    folder.write(kStationTableImageFileName, damaged);
    EXPECT_FALSE(readStationTableImage(image, stationTableImageKey(v1), back)) << "a changed letter under an intact header";
    // Another table of the same size beside the first one's image: not believed, and rebuilt.
    const std::string v2 = kTableHeader + "Temp,1,47.38,8.54,556,Zurich,MeteoSuiss,1991-2020,28,30,\n";
    folder.write(kStationTableImageFileName, good);
    folder.write(kStationTableFileName, v2);
    fs::last_write_time(folder.file(kStationTableFileName), fs::file_time_type::clock::now() + std::chrono::seconds(5));
    EXPECT_EQ(stationOriginsOf(folder.str())->rows().at(0).origin->source, "MeteoSuiss");
    EXPECT_TRUE(readStationTableImage(image, stationTableImageKey(v2), back));
}
