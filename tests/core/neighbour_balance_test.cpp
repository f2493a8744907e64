// The kriging method's neighbours come from every side of the place: beside a dense network it
// still takes the stations of the sparse side, and the spatial search picks what the whole table
// gives. The described method keeps the nearest MaxStat.
#include <gtest/gtest.h>

#include <string>

#include "data/station_database.h"
#include "fixture.h"
#include "neighbours/neighbour_search.h"
#include "settings/method.h"

using namespace zentrel;
using namespace zentrel::test;

namespace {

// 40 stations of a dense network 20-60 km east of (10, 45), six 150-200 km west of it.
std::vector<Station> denseEastSparseWest() {
    std::vector<Station> stations;
    for (int k = 0; k < 40; ++k)
        stations.push_back(makeStation(10.3f + 0.013f * static_cast<float>(k % 8), 44.8f + 0.1f * static_cast<float>(k / 8), 300,
                                       10, "east" + std::to_string(k)));
    for (int k = 0; k < 6; ++k)
        stations.push_back(makeStation(7.6f - 0.1f * static_cast<float>(k % 3), k < 3 ? 45.4f : 44.6f, 300, 12, "west" + std::to_string(k)));
    return stations;
}

int westerly(const NeighbourSet& ns) {
    int n = 0;
    for (int i = 1; i <= ns.NeighbourCount; ++i) n += ns[i].Name.rfind("west", 0) == 0;
    return n;
}

}  // namespace

TEST(NeighbourBalance, KrigingTakesTheSparseSideBesideADenseNetworkTheDescribedMethodTheNearest) {
    TempFolder folder("balance");
    writeDataFolder(folder, 10, 45, denseEastSparseWest());
    auto db = std::make_shared<StationDatabase>(folder.str());
    for (Method method : {Method::Described, Method::Kriging}) {
        const ProgramSettings settings = describedSettings(method);
        NeighbourSearch search(settings, folder.str(), db);
        search.Select(Temp, {"", 10, 45, 300});
        ASSERT_EQ(search.ns.NeighbourCount, 20);
        EXPECT_EQ(westerly(search.ns), method == Method::Kriging ? 6 : 0) << methodName(method);
        for (int i = 2; i <= search.ns.NeighbourCount; ++i)
            EXPECT_LE(search.ns[i - 1].Dist, search.ns[i].Dist) << "nearest first, " << methodName(method);
    }
}

TEST(NeighbourBalance, TheSpatialSearchTakesWhatTheWholeTableGivesFromEverySide) {
    TempFolder folder("balance-equal");
    std::vector<Station> stations = denseEastSparseWest();
    Random rng{5};
    for (int k = 0; k < 400; ++k)
        stations.push_back(makeStation(rng.uniform(0, 20), rng.uniform(38, 52), rng.uniform(0, 2000), rng.uniform(0, 20),
                                       "r" + std::to_string(k)));
    writeDataFolder(folder, 10, 45, stations);
    auto db = std::make_shared<StationDatabase>(folder.str());
    const ProgramSettings settings = describedSettings(Method::Kriging);
    NeighbourSearch whole(settings, folder.str(), db), near(settings, folder.str(), db);
    whole.setSpatialSearch(false);
    for (int k = 0; k < 200; ++k) {
        const Location at{"", rng.uniform(2, 18), rng.uniform(40, 50), 300};
        whole.Select(Tmax, at);  // one file holds every Tmax station
        near.Select(Tmax, at);
        ASSERT_EQ(whole.ns.NeighbourCount, near.ns.NeighbourCount);
        for (int i = 1; i <= whole.ns.NeighbourCount; ++i) ASSERT_EQ(whole.ns[i].Name, near.ns[i].Name) << at.Lon << ", " << at.Lat;
    }
}
