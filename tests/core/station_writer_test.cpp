// Station database writer: the staggered layout against the loader, golden bytes, ASCII names.
#include "data/station_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <set>

#include "base/geometry.h"
#include "data/station_file.h"
#include "error.h"
#include "fixture.h"

using namespace zentrel;
using zentrel::test::TempFolder;
namespace fs = std::filesystem;

namespace {

// A station whose month m holds m.
Station stationAt(float lon, float lat, const std::string& name) {
    Station s = zentrel::test::makeStation(lon, lat, 100, 0, name);
    for (size_t m = 1; m <= 12; ++m) s.Data[m] = static_cast<float>(m);
    return s;
}

// A point uniform over the sphere.
std::pair<float, float> anywhere(zentrel::test::Random& r) {
    return {r.uniform(-180, 180), static_cast<float>(std::asin(r.uniform(-1, 1)) * 180 / 3.14159265358979)};
}

}  // namespace

// The main property of the layout: for any location the files the loader reads hold every
// station within 500 km, and hold no station twice.
TEST(StationWriter, LoaderFindsEveryStationWithin500KmExactlyOnce) {
    TempFolder folder("writer_cover");
    zentrel::test::Random random{20240501};
    std::vector<Station> stations;
    // About 12 stations within 500 km of any point.
    for (int k = 0; k < 8000; ++k) {
        const auto [lon, lat] = anywhere(random);
        stations.push_back(stationAt(lon, lat, "S" + std::to_string(k)));
    }
    // Stations on the edges of the layout and of the loader's bands.
    const float edgeLats[] = {-90,  -55,  -55.0001f, -54.9999f, -50,   -46,      -2, 0,
                              4.5f, 6.5f, 18,        31,        63.5f, 64.9999f, 65, 90};
    const float edgeLons[] = {-180, -138, -133, -112.5f, -74, -38.5f, 7, 69, 165, 173.5f, 180};
    for (float lat : edgeLats)
        for (float lon : edgeLons) stations.push_back(stationAt(lon, lat, "E" + std::to_string(stations.size())));
    for (int variable : {static_cast<int>(Temp), static_cast<int>(Prec)})
        writeVariableFiles(folder.str(), variable, stations);

    std::vector<std::pair<float, float>> locations;
    for (int k = 0; k < 500; ++k) locations.push_back(anywhere(random));
    for (float lat :
         {-90.0f, -60.0f, -54.5f, -50.0f, -49.99f, -2.0f, 0.0f, 37.0f, 59.99f, 60.0f, 60.01f, 64.5f, 89.9f, 90.0f})
        for (float lon : {-180.0f, -138.0f, -133.0f, -87.0f, -61.0f, 29.99f, 107.9f, 165.0f, 180.0f})
            locations.emplace_back(lon, lat);

    for (int variable : {static_cast<int>(Temp), static_cast<int>(Prec)}) {
        for (const auto& [lon, lat] : locations) {
            StationTable table;
            LoadCandidates(folder.str(), variable, lon, lat, table);
            std::set<std::string> seen;
            for (const Station& s : table.stations)
                ASSERT_TRUE(seen.insert(s.Name).second)
                    << s.Name << " read twice for variable " << variable << " at " << lon << ", " << lat;
            for (const Station& s : stations) {
                // Distance gives 0 for antipodes too; those are no neighbours.
                const bool near = Distance(lon, lat, s.Lon, s.Lat) <= 500 && std::fabs(lat - s.Lat) < 10;
                if (!near && !(s.Lon == lon && s.Lat == lat)) continue;
                ASSERT_TRUE(seen.count(s.Name))
                    << s.Name << " at " << s.Lon << ", " << s.Lat << " is missing for variable " << variable << " at "
                    << lon << ", " << lat;
            }
        }
    }
}

TEST(StationWriter, PolarAndStaggeredFileNames) {
    // North of the middle of band 5 (63.5); band 6 of Temp runs from 108 across the date line
    // to -138, its middle is 165.
    const std::tuple<int, float, float, const char*> cases[] = {
        {Temp, 0, 65, "menor.txt"},          {Temp, 0, 64.99f, "mela6lo4.txt"}, {Prec, 0, -55.01f, "prsud.txt"},
        {Prec, 0, -55, "prla1lo4.txt"},      {Temp, 164.9f, 0, "mela2lo6.txt"}, {Temp, 165, 0, "mela2lo1.txt"},
        {Temp, -180, 0, "mela2lo1.txt"},     {Temp, 180, 0, "mela2lo1.txt"},    {Sun, 0, 89, "sufr.txt"}};
    for (const auto& [variable, lon, lat, file] : cases) EXPECT_EQ(stationFileFor(variable, lon, lat), file) << lon << " " << lat;
    EXPECT_EQ(stationFilesOf(Prec).size(), 38u);
    EXPECT_EQ(stationFilesOf(Wind), std::vector<std::string>{"windsp.txt"});
}

// Golden files pin the bytes: number forms, quoting, LF line ends, file choice and order.
TEST(StationWriter, WritesGoldenBytes) {
    TempFolder folder("writer_golden");
    StationLists lists;
    Station rome = stationAt(12.48f, 41.9f, "Roma");
    rome.Alt = 21;
    for (int m = 1; m <= 12; ++m) rome.Data[static_cast<size_t>(m)] = 7.5f + static_cast<float>(m) * 1.25f;
    Station sodankyla = stationAt(26.6f, 67.37f, "Sodankyl\xC3\xA4");
    sodankyla.Alt = kUnknown;
    Station quoted = stationAt(13.1f, 45.0f, "Say \"hello\", world");
    lists[Temp] = {rome, sodankyla, quoted};
    lists[Sun] = {quoted, rome};
    writeStationDatabase(folder.str(), lists);

    const fs::path golden = fs::path(ZENTREL_TEST_DATA) / "station_writer";
    for (const char* name : {"mela5lo5.txt", "menor.txt", "sufr.txt"})
        EXPECT_EQ(zentrel::test::readFile(folder.path() / name), zentrel::test::readFile(golden / name)) << name;
    const auto files = zentrel::test::folderFiles(folder.path());
    EXPECT_EQ(files.size(), 38u + 38 + 6);
    EXPECT_EQ(std::count_if(files.begin(), files.end(), [](const auto& f) { return f.second.empty(); }), std::ssize(files) - 3);
}

TEST(StationWriter, AsciiTextFoldsDiacriticsAndLatin1) {
    const std::pair<const char*, const char*> cases[] = {
        {"S\xC3\xA3o Tom\xC3\xA9", "Sao Tome"}, {"\xC3\x86r\xC3\xB8sk\xC3\xB8" "bing", "AEroskobing"},
        {"\xC5\x81\xC3\xB3\x64\xC5\xBA", "Lodz"},  {"H\xC3\xA0 N\xE1\xBB\x99i", "Ha Noi"},
        {"\xE1\xB8\xA8\x61lab", "Halab"},           {"Gen\xE8ve", "Geneve"} /* ISO-8859-1, not UTF-8 */,
        {"\xE5\x8C\x97\xE4\xBA\xAC", "??"},       {"a\"b\tc", "a'b?c"}};
    for (const auto& [text, ascii] : cases) EXPECT_EQ(asciiText(text), ascii);
}

TEST(StationWriter, RejectsStationsOutsideTheGlobe) {
    TempFolder folder("writer_reject");
    const std::string far =
        zentrel::test::errorOf([&] { writeVariableFiles(folder.str(), Tmax, {stationAt(0, 0, "ok"), stationAt(181, 10, "Far")}); });
    EXPECT_NE(far.find("Tmax station 2 (\"Far\", XX): longitude 181"), std::string::npos) << far;
    Station nan = stationAt(0, 0, "Nan");
    nan.Data[5] = std::nanf("");
    EXPECT_THROW(writeVariableFiles(folder.str(), Prec, {nan}), Error);
}
