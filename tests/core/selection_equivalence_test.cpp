// The in-memory station database with its spatial search must select exactly the neighbours
// that reading the files selects, in the same order, on random locations for every variable.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>

#include "data/station_database.h"
#include "engine/engine.h"
#include "fixture.h"

using namespace zentrel;
using namespace zentrel::test;

namespace {

// A world of random stations. Each lands in the band file of its own position and, sometimes,
// also in a neighbouring one (overlapping files give doubles), and in the polar files.
void writeRandomWorld(const TempFolder& folder, int count, uint32_t seed) {
    Random rng{seed};
    std::map<std::string, std::string> files;
    for (int v : {Temp, Prec})
        for (int i = 1; i <= 6; ++i)
            for (int j = 1; j <= 6; ++j) files[bandFileName(v, i, j)];
    for (const char* polar : {"mesud.txt", "menor.txt", "prsud.txt", "prnor.txt"}) files[polar];
    for (int k = 0; k < count; ++k) {
        const bool cluster = k % 7 == 0;  // some dense clusters, for ties and near stations
        Station s = makeStation(cluster ? rng.uniform(10, 11) : rng.uniform(-180, 180),
                                cluster ? rng.uniform(45, 46) : static_cast<float>(std::asin(rng.uniform(-1, 1)) * 180 / M_PI),
                                rng.uniform(0, 1) < 0.05 ? kUnknown : rng.uniform(-50, 3000), 0, "S" + std::to_string(k));
        for (int m = 1; m <= 12; ++m) s.Data[static_cast<size_t>(m)] = rng.uniform(-5, 30);
        if (k % 50 == 1) s.Lon = std::round(s.Lon);  // ties in distance along meridians
        const std::string line = formatStationLine(s) + "\n";
        const std::string precLine = formatStationLine(asPrecipitation({s})[0]) + "\n";
        for (int v : {Temp, Prec}) {
            const std::string& text = v == Prec ? precLine : line;
            const BandIndex b = bandOf(v, s.Lon, s.Lat);
            files[bandFileName(v, b.lat, b.lon)] += text;
            if (rng.uniform(0, 1) < 0.1) files[bandFileName(v, b.lat == 1 ? 6 : b.lat - 1, b.lon)] += text;
            if (s.Lat < -45) files[v == Temp ? "mesud.txt" : "prsud.txt"] += text;
            if (s.Lat > 55) files[v == Temp ? "menor.txt" : "prnor.txt"] += text;
        }
        for (int v : {Tmax, Tmin, Vap, PET, Wind, Sun}) {
            files[wholeFileName(v)] += line;
            if (k % 97 == 3) files[wholeFileName(v)] += line;  // doubled stations
        }
    }
    for (const auto& [name, text] : files) folder.write(name, text);
}

}  // namespace

// One test per case, so that ctest runs them side by side: the spatial search against the whole
// table with the described method's defaults, few neighbours within a short distance, an altitude
// band and a large distance epsilon; and the whole table in memory against reading the files.
class DatabaseSearch : public ::testing::TestWithParam<int> {};

TEST_P(DatabaseSearch, SelectsAndEstimatesWhatTheWholeTableDoes) {
    const int variant = GetParam();
    const bool files = variant == 4;  // reading the files is slow: a smaller world, fewer places
    TempFolder folder("equivalence");
    writeRandomWorld(folder, files ? 1500 : 3000, files ? 11 : 42);
    auto db = std::make_shared<StationDatabase>(folder.str());
    Random rng{7 + static_cast<uint32_t>(variant)};
    ProgramSettings settings = describedSettings();
    if (variant == 1) {
        settings.MaxStat = 7;
        settings.MaxDist = 300;
    } else if (variant == 2) {
        settings.NeighbAlt = 1;
        settings.MinHigh = 200;
        settings.MaxHigh = 2500;
        settings.MaxDist = 5000;
    } else if (variant == 3) {
        settings.DistEpsilon = 0.01f;  // everything within some 560 km is at distance 0: ties everywhere
    } else if (variant == 5) {
        settings.Method = Method::Adaptive;  // copies of one station (the doubled lines) take one place
    }
    Engine whole(settings, folder.str(), files ? nullptr : db);  // the whole table, read from the files or in memory
    whole.setSpatialSearch(false);
    Engine fromDb(settings, folder.str(), db);
    fromDb.setSpatialSearch(!files);
    for (int v = 0; v < kVariableCount; ++v)
        for (int k = 0; k < (files ? 25 : 400); ++k) {
            const bool near = k % 3 == 0;
            const Location loc{"", near ? rng.uniform(9.5, 11.5) : rng.uniform(-180, 180),
                               near ? rng.uniform(44.5, 46.5) : rng.uniform(-90, 90), rng.uniform(0, 2000)};
            whole.Run(v, loc);
            fromDb.Run(v, loc);
            ASSERT_EQ(engineDifference(whole, fromDb), "") << "variable " << v << " at " << loc.Lon << ", " << loc.Lat;
        }
}

std::string caseName(const testing::TestParamInfo<int>& info) {
    const char* names[] = {"Defaults",         "FewNearNeighbours",           "AltitudeBand",
                           "LargeDistanceEpsilon", "TableInMemoryAgainstTheFiles", "CopiesCountedOnceOutsideTheDescribedMethod"};
    return names[info.param];
}
INSTANTIATE_TEST_SUITE_P(SelectionEquivalence, DatabaseSearch, ::testing::Range(0, 6), caseName);

// A station within a few hundred metres of the location's antipode is at distance 0 (the cosine
// rounds to -1), so reading the files makes it the nearest; the spatial search must find it too,
// as well as the stations a large distance epsilon puts at distance 0.
TEST(SelectionEquivalence, StationsAtDistanceZeroFarAwayAreFound) {
    TempFolder folder("antipode");
    const float lon = -3.7f, lat = 40.4f;
    std::vector<Station> stations;
    for (int k = 0; k < 30; ++k)
        stations.push_back(makeStation(lon + 0.1f + 0.3f * static_cast<float>(k % 6), lat + 0.2f * static_cast<float>(k / 6), 600,
                                       10, "near" + std::to_string(k)));
    stations.push_back(makeStation(lon + 180.0f + 0.002f, -lat + 0.001f, 50, 20, "antipode"));
    stations.push_back(makeStation(lon + 4.5f, lat - 0.5f, 50, 20, "far"));
    writeDataFolder(folder, lon, lat, stations);
    auto db = std::make_shared<StationDatabase>(folder.str());
    for (float eps : {kDefaultDistEpsilon, 0.01f}) {
        ProgramSettings settings = describedSettings();
        settings.DistEpsilon = eps;
        Engine fromFiles(settings, folder.str());
        Engine fromDb(settings, folder.str(), db);
        for (int v : {Temp, Vap}) {
            fromFiles.Run(v, {"", lon, lat, 600});
            fromDb.Run(v, {"", lon, lat, 600});
            ASSERT_EQ(engineDifference(fromFiles, fromDb), "") << "epsilon " << eps;
            if (eps == kDefaultDistEpsilon) {
                EXPECT_EQ(fromDb.ns[1].Name, "antipode");
            }
        }
    }
}

// Distance rounds the cosine to single precision: at about 192 km its readings lie 12.6 m apart
// and one of them is 191.999176 km, which stations up to some 6 m beyond 192 km read as well.
// The search starts at 300 km and, after each search that ends at once, starts the next one a
// fifth narrower: 300, 240, 192 km. With MaxDist at that reading the third search stops at 192 km,
// and its box of cells must reach a little beyond the radius to hold a station just past it
// (here due north on a cell boundary). Every run must select what reading the files selects.
TEST(SelectionEquivalence, StationReadWithinMaxDistJustBeyondTheSearchRadiusIsFound) {
    const double kmPerDegree = 6370.997 * M_PI / 180;
    const float north = 46;  // a boundary of the database's two-degree cells
    const float maxDist = 191.9992f;
    float lat = static_cast<float>(north - 192 / kmPerDegree);
    int steps = 0;
    while (!((north - static_cast<double>(lat)) * kmPerDegree > 192.0005 && Distance(10, lat, 10, north) <= maxDist) &&
           steps < 1000) {
        lat = std::nextafter(lat, -90.0f);
        ++steps;
    }
    ASSERT_LT(steps, 1000);
    TempFolder folder("search-margin");
    writeDataFolder(folder, 10, lat, {makeStation(10, north, 100, 5, "beyond"), makeStation(13, 49, 100, 7, "far")});
    auto db = std::make_shared<StationDatabase>(folder.str());
    ProgramSettings settings = describedSettings();
    settings.MaxDist = maxDist;
    Engine fromFiles(settings, folder.str());
    Engine fromDb(settings, folder.str(), db);
    for (int run = 1; run <= 6; ++run) {
        fromFiles.Run(Temp, {"", 10, lat, 100});
        fromDb.Run(Temp, {"", 10, lat, 100});
        ASSERT_EQ(fromFiles.ns.NeighbourCount, 1);
        EXPECT_EQ(fromFiles.ns[1].Name, "beyond");
        EXPECT_EQ(engineDifference(fromFiles, fromDb), "") << "run " << run;
    }
}
