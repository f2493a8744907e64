// describeDataFolder: counts per variable from the station files, distinct stations, extent,
// the about file, and which variables a database holds none of.
#include "data/data_info.h"

#include <gtest/gtest.h>

#include "data/station_writer.h"
#include "fixture.h"

using namespace zentrel;
using namespace zentrel::test;

namespace {
StationLists twoPlaces() {
    StationLists lists;
    const Station rome = makeStation(12.5f, 41.9f, 20, 15, "Rome");
    const Station south = makeStation(-45.2f, -60.5f, kUnknown, 1, "South");
    lists[Temp] = {rome, south};  // the southern one lands in a polar file
    lists[Prec] = {rome};
    return lists;
}
}  // namespace

TEST(DataInfo, CountsStationsPerVariableAndDistinctStationsWithExtentAndTheHeldVariables) {
    TempFolder folder("info");
    writeStationDatabase(folder.str(), twoPlaces());
    std::array<VariableInfo, kVariableCount> years{};
    years[Temp].yearsMin = 10;
    years[Temp].yearsMax = 19;
    writeAboutFile(folder.str(), {"Source: Here.", "Period: 2001-01..2010-12"}, years, "today by hand");
    const DataInfo info = describeDataFolder(folder.str());
    EXPECT_TRUE(info.problems.empty()) << info.problems.front();
    // Temp's stations, without altitude, last year; Prec's and Wind's stations; all stations (Rome
    // in Temp and Prec is one) and those without altitude.
    EXPECT_EQ(std::vector<int>({info.variables[Temp].stations, info.variables[Temp].withoutAltitude, info.variables[Temp].yearsMax,
                                info.variables[Prec].stations, info.variables[Wind].stations, info.stations, info.withoutAltitude}),
              std::vector<int>({2, 1, 19, 1, 0, 2, 1}));
    EXPECT_EQ(std::pair(info.latMin, info.lonMax), std::pair(-60.5f, 12.5f));
    EXPECT_EQ(info.about, (std::vector<std::string>{"Source: Here.", "Period: 2001-01..2010-12", "Built: today by hand"}));
    EXPECT_FALSE(info.demonstration);
    const std::string text = formatDataInfo(info);
    EXPECT_NE(text.find("Temp             2                 1  10..19\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Wind             0  this station database holds no Wind normals\n"), std::string::npos) << text;

    // A variable is held when its files hold a station; the marker says it is demonstration data.
    for (int v : {Temp, Prec, Wind, Vap}) EXPECT_EQ(holdsVariable(folder.str(), v), v == Temp || v == Prec) << v;
    folder.write("DEMONSTRATION", "emulated\n");
    const DataInfo demo = describeDataFolder(folder.str());
    EXPECT_TRUE(demo.demonstration);
    EXPECT_NE(formatDataInfo(demo).find("DEMONSTRATION DATA"), std::string::npos);
}

TEST(DataInfo, MissingFilesAreProblemsNotCrashesAndNoReasonToSkipAVariable) {
    TempFolder folder("info-empty");
    const DataInfo info = describeDataFolder(folder.str());
    EXPECT_TRUE(info.stations == 0 && !info.problems.empty());
    EXPECT_NE(formatDataInfo(info).find("No description of the station database"), std::string::npos);
    const DataInfo none = describeDataFolder(folder.file("absent"));
    EXPECT_FALSE(none.exists);
    EXPECT_NE(formatDataInfo(none).find("The folder does not exist."), std::string::npos);
    // Without the files the loader, not this check, reports them missing.
    EXPECT_TRUE(holdsVariable(folder.str(), Wind));
}
