// The estimation engine on hand-built neighbourhoods: selection, weights, corrections,
// cross-validation, strange data, warnings and the annual-cycle fit.
#include "engine/engine.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/geometry.h"
#include "error.h"
#include "fixture.h"

using namespace zentrel;
using zentrel::test::makeStation;

namespace {

// An engine whose candidate table is filled by hand (no files).
struct Bench {
    ProgramSettings settings = test::describedSettings();
    Engine engine{settings, "/nonexistent"};

    void candidates(const std::vector<Station>& stations, float lon, float lat, float alt, int var = Temp) {
        engine.table.stations = stations;
        engine.working = Location{"", lon, lat, alt};
        engine.variable = static_cast<int16_t>(var);
    }
    void run() {
        engine.SelectNeighbours();
        engine.ActivateNeighbours();
        engine.BuildMeanStation();
        engine.Estimate();
        engine.EvaluateWarnings();
    }
};

// n stations on a ring of radius ~r km around (lon0, lat0), all months = value(alt, lon, lat).
template <typename F>
std::vector<Station> ring(int n, float lon0, float lat0, float radiusDeg, F value, float altStep = 100) {
    std::vector<Station> out;
    for (int k = 0; k < n; ++k) {
        const double a = 2 * M_PI * k / n;
        const float lon = lon0 + radiusDeg * static_cast<float>(std::cos(a));
        const float lat = lat0 + radiusDeg * static_cast<float>(std::sin(a));
        const float alt = 100 + altStep * static_cast<float>(k);
        out.push_back(makeStation(lon, lat, alt, value(alt, lon, lat), "R" + std::to_string(k)));
    }
    return out;
}

}  // namespace

TEST(Selection, NearestFirstTiesInFileOrderAndMaxDistInclusive) {
    Bench b;
    b.settings.MaxStat = 3;
    // Two candidates at the same distance (east and west), one farther, one beyond MaxDist.
    std::vector<Station> c = {makeStation(11, 0, 0, 1, "far"), makeStation(10.5f, 0, 0, 2, "east"),
                              makeStation(9.5f, 0, 0, 3, "west"), makeStation(30, 0, 0, 4, "out")};
    b.candidates(c, 10, 0, 0);
    b.settings.MaxDist = Distance(10, 0, 11, 0);  // exactly the farthest kept one
    b.engine.SelectNeighbours();
    ASSERT_EQ(b.engine.ns.NeighbourCount, 3);
    EXPECT_EQ(b.engine.ns[1].Name, "east");
    EXPECT_EQ(b.engine.ns[2].Name, "west");
    EXPECT_EQ(b.engine.ns[3].Name, "far");

    b.settings.MaxDist = std::nextafter(Distance(10, 0, 11, 0), 0.0f);
    b.engine.SelectNeighbours();
    EXPECT_EQ(b.engine.ns.NeighbourCount, 2);

    b.settings.MaxStat = 1;
    b.engine.SelectNeighbours();
    ASSERT_EQ(b.engine.ns.NeighbourCount, 1);
    EXPECT_EQ(b.engine.ns[1].Name, "east");
}

TEST(Selection, UnknownAltitudeOnlyWithoutAltitudeRestriction) {
    Bench b;
    b.candidates({makeStation(10.1f, 0, kUnknown, 1, "unknown"), makeStation(10.5f, 0, 5000, 1, "high"),
                  makeStation(10.7f, 0, 50, 1, "low")},
                 10, 0, 0);
    b.engine.SelectNeighbours();
    EXPECT_EQ(b.engine.ns.NeighbourCount, 3);
    b.settings.NeighbAlt = 1;
    b.settings.MaxHigh = 4000;
    b.engine.SelectNeighbours();
    ASSERT_EQ(b.engine.ns.NeighbourCount, 1);
    EXPECT_EQ(b.engine.ns[1].Name, "low");
}

TEST(Selection, MaxStatBeyondTwentyIsAnError) {
    Bench b;
    b.settings.MaxStat = 21;
    b.candidates({makeStation(10.1f, 0, 0, 1)}, 10, 0, 0);
    EXPECT_THROW(b.engine.SelectNeighbours(), Error);
}

TEST(Activation, DoubledPositionIsSwitchedOffAndWarned) {
    Bench b;
    b.candidates({makeStation(10.2f, 0, 0, 1, "a"), makeStation(10.2f, 0, 0, 1, "a again"), makeStation(10.4f, 0, kUnknown, 1, "b")},
                 10, 0, 0);
    b.engine.SelectNeighbours();
    b.engine.ActivateNeighbours();
    EXPECT_EQ(b.engine.ns[1].Active, 1);
    EXPECT_EQ(b.engine.ns[2].Active, 0);
    EXPECT_TRUE(b.engine.warn.WarnDoubled);
    EXPECT_EQ(b.engine.ns.ActiveCount, 2);
    EXPECT_EQ(b.engine.ns.ActiveAltCount, 1);
    b.engine.BuildMeanStation();
    EXPECT_EQ(b.engine.ns[21].Alt, 0);  // mean over the one known altitude
    EXPECT_EQ(b.engine.ns[21].Active, 2);
}

TEST(MeanStation, UnknownAltitudeWhenNoActiveNeighbourHasOne) {
    Bench b;
    b.candidates({makeStation(10.2f, 0, kUnknown, 3), makeStation(10.4f, 0, kUnknown, 5)}, 10, 0, 0);
    b.engine.SelectNeighbours();
    b.engine.ActivateNeighbours();
    b.engine.BuildMeanStation();
    EXPECT_EQ(b.engine.ns[21].Alt, kUnknown);
    EXPECT_FLOAT_EQ(b.engine.ns[21].Data[13], 4);
    EXPECT_FLOAT_EQ(b.engine.ns[1].Data[13], 3);
}

TEST(Weights, PlainMeanWithPowerZeroAndShadowChangesNothingWithShadZero) {
    Bench b;
    b.settings.PowExp = 0;
    b.settings.Shad = 0;
    b.settings.AltCorr = b.settings.GradCorr = 0;
    b.candidates({makeStation(10.1f, 0, 0, 1), makeStation(10, 0.3f, 0, 2), makeStation(9.5f, 0, 0, 6)}, 10, 0, 0);
    b.run();
    EXPECT_FLOAT_EQ(b.engine.res.Best[1], 3);

    Bench c;
    c.settings.Shad = 0;
    // Three stations in a line to the east: with Shad 0 the farther ones keep 1/d weights.
    c.candidates({makeStation(10.1f, 0, 0, 1), makeStation(10.2f, 0, 0, 1), makeStation(10.4f, 0, 0, 1)}, 10, 0, 0);
    c.engine.SelectNeighbours();
    c.engine.ActivateNeighbours();
    c.engine.ComputeWeights();
    const auto& ns = c.engine.ns;
    EXPECT_NEAR(ns[1].Weight / ns[2].Weight, ns[2].Dist / ns[1].Dist, 1e-5);
    EXPECT_NEAR(ns[1].Weight / ns[3].Weight, ns[3].Dist / ns[1].Dist, 1e-5);
}

TEST(Weights, ShadowHidesStationsBehindNearerOnesButNotOppositeOnes) {
    Bench b;
    b.candidates({makeStation(10.1f, 0, 0, 1), makeStation(9.8f, 0, 0, 1), makeStation(10.3f, 0, 0, 1)}, 10, 0, 0);
    b.engine.SelectNeighbours();
    b.engine.ActivateNeighbours();
    b.engine.ComputeWeights();
    const auto& ns = b.engine.ns;
    // Entry 1 east (d1), entry 2 west (2 d1, opposite: not shadowed), entry 3 east behind entry 1.
    ASSERT_NEAR(ns[2].Dist, 2 * ns[1].Dist, 0.5);
    const double raw1 = 1 / ns[1].Dist, raw2 = 1 / ns[2].Dist;
    const double raw3 = 1 / ns[3].Dist * (1 - (1 - ns[1].Dist / ns[3].Dist)) * (1 - (1 - ns[2].Dist / ns[3].Dist) * 0.0);
    const double sum = raw1 + raw2 + raw3;
    EXPECT_NEAR(ns[1].Weight, raw1 / sum, 1e-5);
    EXPECT_NEAR(ns[2].Weight, raw2 / sum, 1e-5);
    EXPECT_NEAR(ns[3].Weight, raw3 / sum, 1e-5);
}

TEST(Estimate, NearestNeighbourWithinMinDistTakesItsValuesAndWarnsHit) {
    Bench b;
    // 50 m north of the location, plus two stations farther away.
    b.candidates({makeStation(12, 41.00045f, 0, 7), makeStation(12.3f, 41, 0, 20), makeStation(11.6f, 41.2f, 0, 30)}, 12, 41, 0);
    b.run();
    EXPECT_FLOAT_EQ(b.engine.res.Best[1], 7);
    EXPECT_FLOAT_EQ(b.engine.res.Best[13], 7);
    EXPECT_EQ(b.engine.ns[1].Weight, 1);
    EXPECT_EQ(b.engine.ns[2].Weight, 0);
    EXPECT_TRUE(b.engine.warn.WarnHit);
}

TEST(Estimate, ExactAltitudeLineGivesLapseRateAndFullExplainedVariance) {
    Bench b;
    b.settings.GradCorr = 0;
    auto t = [](float alt, float, float) { return 20.0f - 0.0065f * alt; };
    b.candidates({makeStation(10.2f, 0, 0, t(0, 0, 0)), makeStation(10, 0.2f, 1000, t(1000, 0, 0)),
                  makeStation(9.8f, 0, 2000, t(2000, 0, 0))},
                 10, 0, 500);
    b.run();
    EXPECT_NEAR(b.engine.res.VertGrad[1], -0.0065, 1e-6);
    EXPECT_NEAR(b.engine.res.VertExplVar[1], 1, 1e-4);
    EXPECT_NEAR(b.engine.res.Best[1], t(500, 0, 0), 1e-3);
}

TEST(Estimate, SameAltitudeGivesNoSlope) {
    Bench b;
    b.candidates({makeStation(10.2f, 0, 300, 1), makeStation(10, 0.2f, 300, 2), makeStation(9.8f, 0, 300, 3)}, 10, 0, 0);
    b.run();
    EXPECT_EQ(b.engine.res.VertGrad[1], 0);
    EXPECT_EQ(b.engine.res.VertExplVar[1], 0);
}

TEST(Estimate, GradientsNeedSixActiveStations) {
    auto field = [](float alt, float lon, float lat) { return 15 - 0.005f * alt + 0.3f * lon - 0.5f * lat; };
    Bench five;
    five.candidates(ring(5, 10, 45, 1, field), 10, 45, 400);
    five.run();
    for (int m = 1; m <= 12; ++m) {
        EXPECT_EQ(five.engine.res.LongGrad[static_cast<size_t>(m)], 0);
        EXPECT_EQ(five.engine.res.DirecGrad[static_cast<size_t>(m)], 180);
        EXPECT_EQ(five.engine.res.DirecGradName[static_cast<size_t>(m)], "S ");
    }
    // Six stations scattered at one altitude: the plane fit recovers the horizontal gradient.
    Bench six;
    const float pos[6][2] = {{10.9f, 45.2f}, {9.3f, 45.6f}, {10.1f, 44.1f}, {9.6f, 44.7f}, {10.5f, 45.9f}, {9.1f, 44.4f}};
    std::vector<Station> scatter;
    for (const auto& p : pos) scatter.push_back(makeStation(p[0], p[1], 400, field(400, p[0], p[1])));
    six.candidates(scatter, 10, 45, 400);
    six.run();
    EXPECT_NE(six.engine.res.LatGradDeg[1], 0);
    EXPECT_NEAR(six.engine.res.LatGradDeg[1], -0.5, 1e-3);
    EXPECT_NEAR(six.engine.res.LongGradDeg[1], 0.3, 1e-3);
    EXPECT_NEAR(six.engine.res.Best[1], field(400, 10, 45), 1e-3);
    // A linear field is reproduced exactly by every leave-one-out estimate, up to rounding.
    EXPECT_LT(six.engine.res.StdErr[1], 1e-3);
}

TEST(Estimate, ConstantFieldHasNoBiasAndNoError) {
    Bench b;
    b.settings.AltCorr = b.settings.GradCorr = 0;
    b.candidates(ring(8, 10, 45, 1, [](float, float, float) { return 12.5f; }), 10, 45, 0);
    b.run();
    for (int m = 1; m <= 13; ++m) {
        EXPECT_NEAR(b.engine.res.Bias[static_cast<size_t>(m)], 0, 1e-6);
        EXPECT_NEAR(b.engine.res.StdErr[static_cast<size_t>(m)], 0, 1e-6);
        EXPECT_NEAR(b.engine.res.Best[static_cast<size_t>(m)], 12.5, 1e-5);
    }
    EXPECT_NEAR(b.engine.res.AnnualCycle[13], 12.5, 1e-5);
    for (int k = 1; k <= 12; ++k) EXPECT_NEAR(b.engine.res.AnnualCycle[static_cast<size_t>(k)], 0, 1e-5);
}

TEST(Estimate, SingleActiveStationSkipsPostProcessing) {
    Bench b;
    b.candidates({makeStation(10.3f, 0, 100, 9)}, 10, 0, 0);
    b.run();
    EXPECT_EQ(b.engine.res.Best[1], 9);
    EXPECT_EQ(b.engine.res.Best[13], 0);
    EXPECT_EQ(b.engine.res.DirecGradName[1], "");
    EXPECT_EQ(b.engine.res.AnnualCycle[13], 0);
}

TEST(Estimate, NoNeighbourKeepsPreviousResult) {
    Bench b;
    b.candidates({makeStation(10.3f, 0, 100, 9), makeStation(10.5f, 0, 100, 11)}, 10, 0, 0);
    b.run();
    const float before = b.engine.res.Best[1];
    b.candidates({makeStation(100, 0, 100, 9)}, 10, 0, 0);
    b.run();
    EXPECT_EQ(b.engine.ns.ActiveCount, 0);
    EXPECT_EQ(b.engine.res.Best[1], before);
}

TEST(Estimate, NegativePrecipitationBecomesZeroButTemperatureStays) {
    for (int var : {Temp, Prec}) {
        Bench b;
        b.settings.AltCorr = 0;
        b.settings.GradCorr = 0;
        b.candidates({makeStation(10.1f, 0, 0, -4), makeStation(10, 0.2f, 0, -2), makeStation(9.8f, 0, 0, -3)}, 10, 0, 0, var);
        b.run();
        if (var == Prec) EXPECT_EQ(b.engine.res.Best[1], 0);
        else EXPECT_LT(b.engine.res.Best[1], 0);
    }
}

TEST(CrossValidation, TwoActiveStationsAtOnePositionEndItWithAMessage) {
    Bench b;
    b.candidates(ring(7, 10, 45, 1, [](float alt, float, float) { return 10 - 0.006f * alt; }), 10, 45, 0);
    b.engine.SelectNeighbours();
    b.engine.ActivateNeighbours();
    // The workbench may switch a doubled neighbour back on.
    b.engine.ns[3].Lon = b.engine.ns[2].Lon;
    b.engine.ns[3].Lat = b.engine.ns[2].Lat;
    b.engine.BuildMeanStation();
    b.engine.Estimate();
    ASSERT_EQ(b.engine.messages.size(), 1u);
    EXPECT_EQ(b.engine.messages[0].title, "Two Stations at the same Location");
    EXPECT_EQ(b.engine.res.StdErr[1], 0);
    EXPECT_EQ(b.engine.res.Bias[1], 0);
}

TEST(StrangeData, CriticalValueTable) {
    EXPECT_FLOAT_EQ(CriticalValue(10, 0.9f), 2.512f);
    EXPECT_FLOAT_EQ(CriticalValue(1, 0.9f), 1.44f);  // p = 0.95 is not above 0.95
    EXPECT_FLOAT_EQ(CriticalValue(20, 0.9f), 2.748f);  // p = 0.99737
    EXPECT_FLOAT_EQ(CriticalValue(100000, 0.9f), 3.7119f);
    EXPECT_FLOAT_EQ(CriticalValue(1, 0.5f), 0);
}

TEST(StrangeData, NineStationsWithAnAltitudeAreNotTested) {
    Bench nine;
    nine.settings.AltCorr = nine.settings.GradCorr = 0;
    auto stations = ring(9, 10, 45, 1, [](float, float, float) { return 10.0f; }, 10);
    stations[4].Data[3] = 30;  // March of station R4 is far off
    nine.candidates(stations, 10, 45, 150);
    nine.run();
    EXPECT_FALSE(nine.engine.warn.WarnStrange);
}

TEST(Warnings, LowerThanAllNeighboursAndSurrounded) {
    Bench b;
    b.candidates(ring(8, 10, 45, 1, [](float, float, float) { return 1.0f; }), 10, 45, 0);
    b.run();
    EXPECT_TRUE(b.engine.warn.WarnLow);
    EXPECT_FALSE(b.engine.warn.WarnHigh);
    EXPECT_FALSE(b.engine.warn.WarnLonely);
    EXPECT_TRUE(b.engine.warn.WarnFew);  // fewer than 10 active

    Bench apart;  // all neighbours on one side, far from the location
    apart.candidates({makeStation(12, 45, 100, 1), makeStation(12.1f, 45.1f, 100, 1), makeStation(12.1f, 44.9f, 100, 1)}, 10, 45, 100);
    apart.run();
    EXPECT_TRUE(apart.engine.warn.WarnLonely);
    EXPECT_FALSE(apart.engine.warn.WarnLow);
    EXPECT_FALSE(apart.engine.warn.WarnHigh);
}

TEST(AnnualCycle, SixthCosineIsZeroAndPrecipitationIsPerMeanMonth) {
    Bench b;
    b.engine.variable = Prec;
    for (int m = 1; m <= 12; ++m) b.engine.res.Best[static_cast<size_t>(m)] = 2.0f * (m == 2 ? 28.25f : (m == 4 || m == 6 || m == 9 || m == 11) ? 30 : 31);
    b.engine.FitAnnualCycle();
    // 2 mm a day in every month: every month enters as 60.875, so the course is flat.
    EXPECT_FLOAT_EQ(b.engine.res.AnnualCycle[13], 60.875f);
    for (int k = 1; k <= 12; ++k) EXPECT_NEAR(b.engine.res.AnnualCycle[static_cast<size_t>(k)], 0, 1e-4);

    b.engine.variable = Temp;
    for (int m = 1; m <= 12; ++m) b.engine.res.Best[static_cast<size_t>(m)] = 10 - 8 * std::cos(2 * M_PI * (m - 0.5) / 12) + (m % 2) * 0.7f;
    b.engine.FitAnnualCycle();
    EXPECT_EQ(b.engine.res.AnnualCycle[12], 0);
    EXPECT_NEAR(b.engine.res.AnnualCycle[7], -8 * (M_PI / 12) / std::sin(M_PI / 12), 0.2);
    // The fitted course averages back to each month's value.
    const float t1 = 0, t2 = 31.0f / 365.25f;
    EXPECT_NEAR(CycleMean(b.engine.res, t1, t2), b.engine.res.Best[1], 0.3);
}

TEST(GradientOutputs, LongitudeGradientDoublesAtSixtyDegrees) {
    Bench b;
    b.engine.res.LongGradDeg[1] = 1;
    b.engine.res.LatGradDeg[1] = 1e-6f;
    b.engine.working.Lat = 0;
    b.engine.GradientOutputs(1);
    const float equator = b.engine.res.LongGrad[1];
    EXPECT_GT(b.engine.res.DirecGrad[1], 89.9f);
    EXPECT_LT(b.engine.res.DirecGrad[1], 90);
    b.engine.working.Lat = 60;
    b.engine.GradientOutputs(1);
    EXPECT_NEAR(b.engine.res.LongGrad[1] / equator, 2, 1e-5);
    b.engine.res.LongGradDeg[1] = -1;
    b.engine.res.LatGradDeg[1] = -1;
    b.engine.GradientOutputs(1);
    EXPECT_GT(b.engine.res.DirecGrad[1], 180);
    EXPECT_LT(b.engine.res.DirecGrad[1], 270);
    EXPECT_EQ(b.engine.res.DirecGradName[1], "SW");
}
