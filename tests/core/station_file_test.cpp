// Band-file rule, the 17-field line format and the loader's failures.
#include "data/station_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "data/station_database.h"
#include "error.h"
#include "fixture.h"
#include "notices.h"

using namespace zentrel;
using namespace zentrel::test;

TEST(Bands, BoundsAreComparedWithLessThan) {
    // Variable, degrees, band.
    const std::tuple<int, float, int> lats[] = {{Temp, -2.0f, 2}, {Temp, -2.01f, 1}, {Prec, 0.0f, 2}, {Temp, 89.9f, 5}, {Temp, 90.0f, 6}},
                                      lons[] = {{Temp, 180.0f, 6}, {Temp, -180.0f, 6}, {Temp, -138.0f, 1}, {Temp, 179.9f, 6}, {Prec, -7.0f, 4},
                {Prec, -7.01f, 3}};
    for (const auto& [variable, degrees, band] : lats) EXPECT_EQ(bandOf(variable, 0, degrees).lat, band) << "latitude " << degrees;
    for (const auto& [variable, degrees, band] : lons) EXPECT_EQ(bandOf(variable, degrees, 0).lon, band) << "longitude " << degrees;
}

TEST(Bands, FourFilesInOrderWithWrappingAndPolarFiles) {
    EXPECT_EQ(candidateFiles(Temp, 3, 45),
              (std::vector<std::string>{"mela5lo4.txt", "mela6lo4.txt", "mela5lo5.txt", "mela6lo5.txt"}));
    // Latitude 90: band 6, whose next band is 1; northern polar file after the band files.
    EXPECT_EQ(candidateFiles(Temp, 150, 90),
              (std::vector<std::string>{"mela6lo6.txt", "mela1lo6.txt", "mela6lo1.txt", "mela1lo1.txt", "menor.txt"}));
    EXPECT_EQ(candidateFiles(Prec, 0, -60).back() + " " + candidateFiles(Temp, 0, 60.5f).back(), "prsud.txt menor.txt");
    EXPECT_EQ(std::vector<size_t>({candidateFiles(Temp, 0, -60).size(), candidateFiles(Temp, 0, -50).size(), candidateFiles(Temp, 0, 60).size()}),
              std::vector<size_t>({5, 4, 4}));
    EXPECT_EQ(candidateFiles(Wind, 0, 70), (std::vector<std::string>{"windsp.txt"}));
    EXPECT_EQ(candidateFiles(Sun, 0, -70), (std::vector<std::string>{"sufr.txt"}));
}

TEST(StationLine, CommasBlanksQuotesAndEmptyFields) {
    const Station a = parseStationLine(R"(41.9, 12.48 17 1,2,3,4,5,6,7,8,9,10,11,12 "Roma Urbe" "IT")", "f", 1);
    EXPECT_EQ(std::vector<float>({a.Lat, a.Lon, a.Alt, a.Data[12]}), std::vector<float>({41.9f, 12.48f, 17, 12}));
    EXPECT_EQ(a.Name + "|" + a.Country, "Roma Urbe|IT");
    const Station b = parseStationLine("1,2,9999,,2,3,4,5,6,7,8,9,10,11,12,Name,XX", "f", 1);
    EXPECT_EQ(std::pair(b.Data[1], b.Alt), std::pair(0.0f, kUnknown));
    const Station round = parseStationLine(formatStationLine(a), "f", 1);
    EXPECT_EQ(std::pair(round.Lat, round.Name), std::pair(a.Lat, a.Name));
}

// Each line is read as line 4 of the named file; "no error" or a part of the message expected.
TEST(StationFile, BadLinesAndValuesBeyondThePossibleRangeAreRefusedWithFileLineAndFieldAndTheEdgesAccepted) {
    const std::array<const char*, 3> cases[] = {  // file, line, expected
        {"mela1lo1.txt", "1,2,3", "Station file mela1lo1.txt, line 4"},
        {"mela1lo1.txt", "1,2,3", "found 3"},
        {"max.txt", "1,2,3,4,x5,6,7,8,9,10,11,12,13,14,15,a,b", "field 5 (February)"},
        {"f", "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,a,b,c", "Station file f, line 4"},
        {"f", "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,\"a,b", "Station file f, line 4"},
        {"max.txt", "45,10,1e20,1,2,3,4,5,6,7,8,9,10,11,12,a,b",
         "Station file max.txt, line 4, field 3 (altitude): \"1e+20\" is not an altitude in -500..9000 m (9999 = unknown)."},
        {"max.txt", "45,10,100,1e30,2,3,4,5,6,7,8,9,10,11,12,a,b",
         "Station file max.txt, line 4, field 4 (January): \"1e+30\" lies outside the possible range -100..70 of Tmax."},
        {"d/mela3lo5.txt", "95,10,100,1,2,3,4,5,6,7,8,9,10,11,12,a,b", "field 1 (latitude)"},
        {"mela3lo5.txt", "45,400,100,1,2,3,4,5,6,7,8,9,10,11,12,a,b", "field 2 (longitude)"},
        {"mela3lo5.txt", "45,10,-20000,1,2,3,4,5,6,7,8,9,10,11,12,a,b", "field 3 (altitude)"},
        {"prla3lo5.txt", "45,10,100,1,2,3,4,5,6,7,8,9,10,11,9999999,a,b", "field 15 (December)"},
        {"prla3lo5.txt", "45,10,100,-100.5,2,3,4,5,6,7,8,9,10,11,12,a,b", "0..15000 of Prec"},
        {"sufr.txt", "45,10,100,1,2,3,4,5,6,7,8,9,10,11,101,a,b", "of Sun"},
        {"vap.txt", "45,10,100,1,2,3,4,5,6,7,8,9,10,11,-101,a,b", "-100..100 of Vap"},
        {"x.txt", "45,10,100,nan,2,3,4,5,6,7,8,9,10,11,12,a,b", "\"nan\" is not a number"},
        {"x.txt", "45,10,100,0x10,2,3,4,5,6,7,8,9,10,11,12,a,b", "\"0x10\" is not a number"},
        {"x.txt", "45,10,100,1e39,2,3,4,5,6,7,8,9,10,11,12,a,b", "\"1e39\" is too large a number"},
        // Unknown altitude, the corners of the world and the extremes of the real world.
        {"mela1lo1.txt", "-90,-180,9999,-89,2,3,4,5,6,7,8,9,10,11,56,a,b", "no error"},
        {"prla1lo1.txt", "90,180,-430,0,2,3,4,5,6,7,8,9,10,11,9300,a,b", "no error"},
        {"sufr.txt", "1,1,8848,0,0.2,0.3,0.4,0.5,0.6,0.7,0.8,0.9,1,1,1,a,b", "no error"},
        // Precipitation below 0 is refused as the importers refuse it, however small.
        {"prla3lo5.txt", "45,10,100,0,-0.5,3,4,5,6,7,8,9,10,11,12,a,b", "field 5 (February)"},
    };
    for (const auto& [file, line, expected] : cases) {
        const std::string got = errorOf([&] { parseStationLine(line, file, 4); });
        EXPECT_NE(got.find(expected), std::string::npos) << file << ": " << line << "\n -> " << got;
    }
}

// Blank lines are skipped; a Ctrl-Z ends the file, said once (not per reading) with where and
// how many lines it cuts off.
TEST(StationFile, BlankLinesSkippedAndCtrlZEndsTheFileWithANote) {
    TempFolder folder("stfile");
    const std::string line = "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,a,b\n";
    folder.write("max.txt", line + "\r\n   \n" + line + "\x1a" + line + "\n" + line);
    std::vector<std::string> notes;
    setNoticeHandler([&](const std::string& text) { notes.push_back(text); });
    struct Reset {
        ~Reset() { setNoticeHandler(nullptr); }  // also when the reading throws
    } reset;
    StationTable table;
    ReadStationFile(folder.file("max.txt"), table);
    ReadStationFile(folder.file("max.txt"), table);
    EXPECT_EQ(table.StationCount(), 4);  // two lines, read twice
    EXPECT_EQ(notes, std::vector<std::string>{"Station file " + folder.file("max.txt") +
                                              ", line 5: a Ctrl-Z character ends the file; 2 lines after it are not read."});
    EXPECT_THROW(ReadStationFile(folder.file("missing.txt"), table), Error);
}

TEST(StationFile, ThirtyThousandAndOneStationsAreAnError) {
    TempFolder folder("stlimit");
    std::string text;
    const std::string line = "1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,a,b\n";
    for (int k = 0; k < 20000; ++k) text += line;
    folder.write("a.txt", text);
    folder.write("b.txt", text.substr(0, 10001 * line.size()));
    StationTable table;
    ReadStationFile(folder.file("a.txt"), table);
    const std::string message = errorOf([&] { ReadStationFile(folder.file("b.txt"), table); });
    EXPECT_NE(message.find("line 10001"), std::string::npos) << message;
    EXPECT_EQ(table.StationCount(), 30000);
}

TEST(StationDatabase, GivesTheFilesCandidatesAndNoticesChanges) {
    TempFolder folder("stdb");
    writeDataFolder(folder, 12.5f, 41.9f, {makeStation(12.6f, 41.9f, 10, 1, "A"), makeStation(12.4f, 42, 20, 2, "B")});
    StationDatabase db(folder.str());
    for (int v = 0; v < kVariableCount; ++v) {
        StationTable fromFiles, fromDb;
        LoadCandidates(folder.str(), v, 12.5f, 41.9f, fromFiles);
        db.LoadCandidates(v, 12.5f, 41.9f, fromDb);
        ASSERT_EQ(fromFiles.StationCount(), fromDb.StationCount());
        EXPECT_EQ(fromDb.stations[1].Name, "B");
    }
    std::filesystem::remove(folder.file("vap.txt"));
    db.refresh();
    StationTable table;
    EXPECT_THROW(db.LoadCandidates(Vap, 12.5f, 41.9f, table), Error);
}

TEST(StationFile, FolderOrFifoInPlaceOfAStationFileIsRefusedByName) {
    TempFolder folder("stspecial");
    std::filesystem::create_directory(folder.path() / "max.txt");
    ASSERT_EQ(::mkfifo(folder.file("min.txt").c_str(), 0600), 0);
    StationTable table;
    EXPECT_EQ(errorOf([&] { ReadStationFile(folder.file("max.txt"), table); }),
              "Station file " + folder.file("max.txt") + " is not a regular file but a folder.");
    // Would block forever if opened.
    const std::string fifo = errorOf([&] { ReadStationFile(folder.file("min.txt"), table); });
    EXPECT_NE(fifo.find("is not a regular file but a FIFO"), std::string::npos) << fifo;
}
