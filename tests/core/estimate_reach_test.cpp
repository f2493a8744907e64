// How far an estimate reaches beyond its neighbours, and the warning strip's line.
#include <gtest/gtest.h>

#include <cmath>

#include "formats/estimate_reach.h"

using namespace zentrel;

namespace {

// Three active neighbours at 554, 610 and 910 km, 400..700 m high, April 20..22 degrees; a
// fourth, inactive one nearer and higher that must not count.
VariableResult sudanLowlands(float locationAlt) {
    VariableResult r;
    r.location = {"Highlands", 37.5f, 9, locationAlt};
    const float dist[4] = {554, 610, 910, 100}, alt[4] = {400, 700, 550, 3000}, april[4] = {20, 22, 21, 5};
    for (int i = 1; i <= 4; ++i) {
        Station& s = r.neighbours[i];
        s.Dist = dist[i - 1];
        s.Alt = alt[i - 1];
        s.Active = i <= 3 ? 1 : 0;
        for (size_t m = 1; m <= 12; ++m) s.Data[m] = 10;
        s.Data[4] = april[i - 1];
    }
    r.neighbours.NeighbourCount = 4;
    r.neighbours.ActiveCount = 3;
    r.neighbours.ActiveAltCount = 3;
    for (size_t m = 1; m <= 12; ++m) r.result.Best[m] = m == 4 ? 21 : 10;  // within the neighbours
    return r;
}

}  // namespace

TEST(EstimateReach, NearestAndHeightCountActiveNeighboursOnly) {
    const EstimateReach reach = estimateReach(sudanLowlands(2400));
    EXPECT_FLOAT_EQ(reach.nearestKm, 554);
    EXPECT_FLOAT_EQ(reach.aboveHighestM, 1700);
    EXPECT_FLOAT_EQ(reach.belowLowestM, 0);
    EXPECT_FLOAT_EQ(estimateReach(sudanLowlands(100)).belowLowestM, 300);
}

TEST(EstimateReach, UnknownAltitudeTellsNothingAboutHeight) {
    const EstimateReach reach = estimateReach(sudanLowlands(kUnknown));
    EXPECT_EQ(std::pair(reach.aboveHighestM, reach.belowLowestM), std::pair(0.0f, 0.0f));
}

TEST(EstimateReach, MonthOutsideEveryNeighbourIsExtrapolatedAndBoundsAreNot) {
    VariableResult r = sudanLowlands(2400);
    r.result.Best[4] = 23.1f;  // above 22, the warmest neighbour's April
    r.result.Best[5] = 9.9f;   // below all the 10s
    r.result.Best[6] = 10;     // equal to the neighbours: inside
    const EstimateReach reach = estimateReach(r);
    EXPECT_TRUE(reach.extrapolated[4]);
    EXPECT_TRUE(reach.extrapolated[5]);
    EXPECT_FALSE(reach.extrapolated[6]);
    EXPECT_FALSE(reach.extrapolated[13]);
    r.result.Best[4] = 22;
    r.result.Best[5] = 10;
    EXPECT_FALSE(estimateReach(r).anyExtrapolated());
}

TEST(EstimateReach, NoActiveNeighbourReachesNothing) {
    VariableResult r = sudanLowlands(2400);
    for (int i = 1; i <= 4; ++i) r.neighbours[i].Active = 0;
    r.neighbours.ActiveCount = 0;
    const EstimateReach reach = estimateReach(r);
    EXPECT_TRUE(std::isnan(reach.nearestKm));
    EXPECT_FALSE(reach.anyExtrapolated());
    EXPECT_EQ(warningStripLine(r, "Temp"), "");
}

TEST(WarningStripLine, NamesHowFarAndHowHighAndTheExtrapolatedMonths) {
    VariableResult r = sudanLowlands(2400);
    r.result.Best[4] = 23.1f;
    r.warnings.WarnHigh = r.warnings.WarnLonely = r.warnings.WarnFew = true;
    EXPECT_EQ(warningStripLine(r, "Temp"),
              "Temp: 1700 m higher than its highest neighbour, nearest neighbour 554 km away; not surrounded by "
              "neighbours; few neighbours (3 active, 3 with altitude); outside all neighbours' values in Apr.");
}

TEST(WarningStripLine, QuietEstimateHasNoLine) {
    EXPECT_EQ(warningStripLine(sudanLowlands(500), "Prec"), "");
}

TEST(WarningStripLine, HitNamesNoDistance) {
    VariableResult r = sudanLowlands(500);
    r.warnings.WarnHit = true;
    EXPECT_EQ(warningStripLine(r, "Prec"), "Prec: within 100 m of a station.");
}
