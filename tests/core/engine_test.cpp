// The estimation engine on hand-built neighbourhoods: selection, weights, corrections, the error
// estimate against hand-worked numbers, strange data, every warning at the edge of its threshold,
// the annual-cycle fit and the gradient outputs.
#include "engine/engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "base/geometry.h"
#include "error.h"
#include "fixture.h"

using namespace zentrel;
using zentrel::test::makeStation;

namespace {

using Bench = test::EngineBench;

// Up to seven stations around 10 E 45 N with a curved field: January
// 8 - 0.006 alt + 1.5 (lon - 10)^2 - 2 (lat - 45)(lon - 10), July 20 - 0.005 alt + 3 (lat - 45)^2
// + 0.5 (lon - 10). Neither plane nor altitude line fits it, so every left-out station misses.
std::vector<Station> curvedField(size_t count) {
    const float pos[7][3] = {{10.30f, 45.10f, 200},  {9.60f, 45.25f, 800}, {10.55f, 44.70f, 350}, {9.85f, 44.55f, 1200},
                             {10.90f, 45.45f, 150}, {9.20f, 44.95f, 600}, {10.15f, 45.80f, 950}};
    std::vector<Station> out;
    for (size_t k = 0; k < count; ++k) {
        const double x = pos[k][0] - 10.0, y = pos[k][1] - 45.0, alt = pos[k][2];
        out.push_back(makeStation(pos[k][0], pos[k][1], pos[k][2], static_cast<float>(8 - 0.006 * alt + 1.5 * x * x - 2 * y * x),
                                  "C" + std::to_string(k + 1)));
        out.back().Data[7] = static_cast<float>(20 - 0.005 * alt + 3 * y * y + 0.5 * x);
    }
    return out;
}

// `count` stations on a spiral 0.3, 0.4, ... degrees of arc from 10 E 45 N (so entry k is station
// k), all at 100 m. All months of the first count - 1 are 9, 11, 9, 11, ... ending on 10, mean 10;
// the last station is 10, and 10 + a in month 5. For ten stations the first nine have
// S = sqrt(8 / 9) and the last lies 0.9 a from the mean of all ten: z = 0.9 a / sqrt(8 / 9),
// against the critical value 2.512. For fourteen, z = (13 / 14) a / sqrt(12 / 13) against 2.652
// (thirteen stations would have 2.576).
std::vector<Station> forStrangeData(int count, float a) {
    std::vector<Station> out;
    for (int k = 0; k < count; ++k) {
        const double angle = 0.7 * k;
        const float r = 0.3f + 0.1f * static_cast<float>(k);
        const float value = k >= (count - 1) / 2 * 2 ? 10.0f : k % 2 == 0 ? 9.0f : 11.0f;
        out.push_back(makeStation(10 + r * static_cast<float>(std::cos(angle) / std::cos(M_PI / 4)),
                                  45 + r * static_cast<float>(std::sin(angle)), 100, value, "T" + std::to_string(k + 1)));
    }
    out.back().Data[5] = 10 + a;
    return out;
}

}  // namespace

TEST(Selection, NearestFirstTiesInFileOrderMaxDistInclusiveAndAtMostTwenty) {
    Bench b;
    b.settings.MaxStat = 3;
    // Two candidates at the same distance (east and west), one farther, one beyond MaxDist.
    b.candidates({makeStation(11, 0, 0, 1, "far"), makeStation(10.5f, 0, 0, 2, "east"), makeStation(9.5f, 0, 0, 3, "west"),
                  makeStation(30, 0, 0, 4, "out")},
                 10, 0, 0);
    b.settings.MaxDist = Distance(10, 0, 11, 0);  // exactly the farthest kept one
    b.engine.SelectNeighbours();
    EXPECT_EQ(std::tuple(b.ns.NeighbourCount, b.ns[1].Name, b.ns[2].Name, b.ns[3].Name), std::tuple(3, "east", "west", "far"));
    b.settings.MaxDist = std::nextafter(Distance(10, 0, 11, 0), 0.0f);
    b.engine.SelectNeighbours();
    EXPECT_EQ(b.ns.NeighbourCount, 2);
    b.settings.MaxStat = 1;
    b.engine.SelectNeighbours();
    EXPECT_EQ(std::tuple(b.ns.NeighbourCount, b.ns[1].Name), std::tuple(1, "east"));
    b.settings.MaxStat = 21;
    EXPECT_THROW(b.engine.SelectNeighbours(), Error);
}

TEST(Selection, UnknownAltitudeOnlyWithoutAltitudeRestriction) {
    Bench b;
    b.candidates({makeStation(10.1f, 0, kUnknown, 1, "unknown"), makeStation(10.5f, 0, 5000, 1, "high"), makeStation(10.7f, 0, 50, 1, "low")},
                 10, 0, 0);
    b.engine.SelectNeighbours();
    EXPECT_EQ(b.ns.NeighbourCount, 3);
    std::tie(b.settings.NeighbAlt, b.settings.MaxHigh) = std::tuple(1, 4000);
    b.engine.SelectNeighbours();
    EXPECT_EQ(std::tuple(b.ns.NeighbourCount, b.ns[1].Name), std::tuple(1, "low"));
}

TEST(Activation, DoubledPositionIsSwitchedOffAndWarnedAndTheMeanStationTakesKnownAltitudesOnly) {
    Bench b;
    b.candidates({makeStation(10.2f, 0, 0, 1, "a"), makeStation(10.2f, 0, 0, 1, "a again"), makeStation(10.4f, 0, kUnknown, 1, "b")},
                 10, 0, 0);
    b.select();
    EXPECT_EQ(std::tuple(b.ns[1].Active, b.ns[2].Active, b.warn.WarnDoubled, b.ns.ActiveCount, b.ns.ActiveAltCount),
              std::tuple(1, 0, true, 2, 1));
    b.engine.BuildMeanStation();
    EXPECT_EQ(std::tuple(b.ns[21].Alt, b.ns[21].Active), std::tuple(0.0f, 2));  // mean over the one known altitude
    // No active neighbour with an altitude: the mean station has none either.
    b.candidates({makeStation(10.2f, 0, kUnknown, 3), makeStation(10.4f, 0, kUnknown, 5)}, 10, 0, 0);
    b.select();
    b.engine.BuildMeanStation();
    EXPECT_EQ(b.ns[21].Alt, kUnknown);
    EXPECT_FLOAT_EQ(b.ns[21].Data[13], 4);
    EXPECT_FLOAT_EQ(b.ns[1].Data[13], 3);
}

TEST(Activation, UnderTheOtherMethodsTheDoubledPositionFirstInTheTableStaysActive) {
    // Within about 1.5 km the selection's single-precision distances read 0 and keep the table's
    // order; the other methods then take the neighbours nearest first by their precise distances.
    // Two stations at one position with other values (not copies), a farther one between them in
    // the table: the first of the two stays first, and active.
    for (Method method : {Method::Robust, Method::Adaptive, Method::Kriging}) {
        Bench b(method);
        b.candidates({makeStation(10.005f, 0, 0, 2, "first"), makeStation(10.008f, 0, 0, 1, "between"),
                      makeStation(10.005f, 0, 0, 5, "second"), makeStation(10.9f, 0, 0, 1, "far")},
                     10, 0, 0);
        b.select();
        EXPECT_EQ(std::tuple(b.ns[1].Name, b.ns[1].Active, b.ns[2].Name, b.ns[2].Active, b.ns[3].Name, b.warn.WarnDoubled),
                  std::tuple("first", 1, "second", 0, "between", true))
            << methodName(method);
    }
}

TEST(Weights, ShadowHidesStationsBehindNearerOnesNotOppositeOnesNorWithShadZeroAndPowerZeroIsThePlainMean) {
    Bench b;
    b.candidates({makeStation(10.1f, 0, 0, 1), makeStation(9.8f, 0, 0, 1), makeStation(10.3f, 0, 0, 1)}, 10, 0, 0);
    b.select();
    b.engine.ComputeWeights();
    const auto& ns = b.ns;
    // Entry 1 east (d1), entry 2 west (2 d1, opposite: not shadowed), entry 3 east behind entry 1.
    ASSERT_NEAR(ns[2].Dist, 2 * ns[1].Dist, 0.5);
    const double raw1 = 1 / ns[1].Dist, raw2 = 1 / ns[2].Dist;
    const double raw3 = 1 / ns[3].Dist * (1 - (1 - ns[1].Dist / ns[3].Dist)) * (1 - (1 - ns[2].Dist / ns[3].Dist) * 0.0);
    const double sum = raw1 + raw2 + raw3;
    EXPECT_NEAR(ns[1].Weight, raw1 / sum, 1e-5);
    EXPECT_NEAR(ns[2].Weight, raw2 / sum, 1e-5);
    EXPECT_NEAR(ns[3].Weight, raw3 / sum, 1e-5);
    // With Shad 0 the one behind keeps its 1/d weight.
    b.settings.Shad = 0;
    b.engine.ComputeWeights();
    EXPECT_NEAR(ns[1].Weight / ns[2].Weight, ns[2].Dist / ns[1].Dist, 1e-5);
    EXPECT_NEAR(ns[1].Weight / ns[3].Weight, ns[3].Dist / ns[1].Dist, 1e-5);
    // With power 0 too the estimate is the plain mean.
    b.settings.PowExp = 0;
    b.settings.AltCorr = b.settings.GradCorr = 0;
    EXPECT_FLOAT_EQ(b.run({makeStation(10.1f, 0, 0, 1), makeStation(10, 0.3f, 0, 2), makeStation(9.5f, 0, 0, 6)}, 10, 0, 0).Best[1], 3);
}

TEST(Estimate, NearestNeighbourWithinMinDistTakesItsValuesAndWarnsHit) {
    Bench b;
    // 50 m north of the location, plus two stations farther away.
    const EstimateResult& r = b.run({makeStation(12, 41.00045f, 0, 7), makeStation(12.3f, 41, 0, 20), makeStation(11.6f, 41.2f, 0, 30)}, 12, 41, 0);
    EXPECT_FLOAT_EQ(r.Best[1], 7);
    EXPECT_FLOAT_EQ(r.Best[13], 7);
    EXPECT_EQ(std::tuple(b.ns[1].Weight, b.ns[2].Weight, b.warn.WarnHit), std::tuple(1.0f, 0.0f, true));
}

TEST(Estimate, AltitudeLineGivesTheLapseRateAndExplainedVarianceAndNoSlopeAtOneAltitude) {
    auto t = [](float alt) { return 20.0f - 0.0065f * alt; };
    Bench b;
    b.settings.GradCorr = 0;
    b.run({makeStation(10.2f, 0, 0, t(0)), makeStation(10, 0.2f, 1000, t(1000)), makeStation(9.8f, 0, 2000, t(2000))}, 10, 0, 500);
    EXPECT_NEAR(b.res.VertGrad[1], -0.0065, 1e-6);
    EXPECT_NEAR(b.res.VertExplVar[1], 1, 1e-4);
    EXPECT_NEAR(b.res.Best[1], t(500), 1e-3);
    b.run({makeStation(10.2f, 0, 300, 1), makeStation(10, 0.2f, 300, 2), makeStation(9.8f, 0, 300, 3)}, 10, 0, 0);
    EXPECT_EQ(std::tuple(b.res.VertGrad[1], b.res.VertExplVar[1]), std::tuple(0.0f, 0.0f));
}

TEST(Estimate, GradientsNeedSixActiveStations) {
    auto field = [](float alt, float lon, float lat) { return 15 - 0.005f * alt + 0.3f * lon - 0.5f * lat; };
    // Scattered at one altitude and not symmetric about the location: a plane fit through any
    // five of them would already find the field's gradients.
    const float pos[6][2] = {{10.9f, 45.2f}, {9.3f, 45.6f}, {10.1f, 44.1f}, {9.6f, 44.7f}, {10.5f, 45.9f}, {9.1f, 44.4f}};
    for (size_t n : {5u, 6u}) {
        SCOPED_TRACE(n);
        Bench b;
        std::vector<Station> scatter;
        for (size_t k = 0; k < n; ++k) scatter.push_back(makeStation(pos[k][0], pos[k][1], 400, field(400, pos[k][0], pos[k][1])));
        const EstimateResult& r = b.run(scatter, 10, 45, 400);
        for (size_t m = 1; n == 5 && m <= 12; ++m)
            EXPECT_EQ(std::tuple(r.LatGradDeg[m], r.LongGradDeg[m], r.DirecGrad[m], r.DirecGradName[m]), std::tuple(0.0f, 0.0f, 180.0f, "S ")) << m;
        if (n == 5) continue;
        EXPECT_NEAR(r.LatGradDeg[1], -0.5, 1e-3);
        EXPECT_NEAR(r.LongGradDeg[1], 0.3, 1e-3);
        EXPECT_NEAR(r.Best[1], field(400, 10, 45), 1e-3);
        // A linear field is reproduced exactly by every leave-one-out estimate, up to rounding.
        EXPECT_LT(r.StdErr[1], 1e-3);
    }
}

TEST(Estimate, OneActiveStationSkipsPostProcessingAndNoneKeepsThePreviousResult) {
    Bench b;
    const EstimateResult& r = b.run({makeStation(10.3f, 0, 100, 9)}, 10, 0, 0);
    EXPECT_EQ(std::tuple(r.Best[1], r.Best[13], r.DirecGradName[1], r.AnnualCycle[13]), std::tuple(9.0f, 0.0f, "", 0.0f));
    const float before = b.run({makeStation(10.3f, 0, 100, 9), makeStation(10.5f, 0, 100, 11)}, 10, 0, 0).Best[1];
    b.run({makeStation(100, 0, 100, 9)}, 10, 0, 0);
    EXPECT_EQ(b.ns.ActiveCount, 0);
    EXPECT_EQ(r.Best[1], before);
}

TEST(Estimate, NegativePrecipitationBecomesZeroButTemperatureStays) {
    for (int var : {Temp, Prec}) {
        Bench b;
        b.settings.AltCorr = b.settings.GradCorr = 0;
        const float best = b.run({makeStation(10.1f, 0, 0, -4), makeStation(10, 0.2f, 0, -2), makeStation(9.8f, 0, 0, -3)}, 10, 0, 0, var).Best[1];
        EXPECT_TRUE(var == Prec ? best == 0 : best < 0) << best;
    }
}

TEST(CrossValidation, TwoActiveStationsAtOnePositionEndItWithAMessage) {
    Bench b;
    b.candidates(test::ringOfEightStations(), 10, 45, 0);
    b.select();
    // The workbench may switch a doubled neighbour back on.
    std::tie(b.engine.ns[3].Lon, b.engine.ns[3].Lat) = std::tuple(b.ns[2].Lon, b.ns[2].Lat);
    b.engine.BuildMeanStation();
    b.engine.Estimate();
    ASSERT_EQ(b.engine.messages.size(), 1u);
    EXPECT_EQ(std::tuple(b.engine.messages[0].title, b.res.StdErr[1], b.res.Bias[1]), std::tuple("Two Stations at the same Location", 0.0f, 0.0f));
}

// The reference numbers follow the method step by step in double precision (least-squares
// altitude slope and plane, inverse distances with the shadow term, each station estimated from
// the others, bias = mean error, standard error = root mean square deviation over n); the script
// tests/data/leave_one_out_reference.py did the arithmetic, independent of the engine's code.
// Distances are taken as the engine takes them (single-precision cosine); the rest of the
// engine's arithmetic is single precision, hence the tolerances.
TEST(LeaveOneOut, BiasAndStandardErrorOfTheCurvedFieldFromSixStationsOnAndWithTheShadowWeight) {
    // Divided by n - 1 the seven stations' standard errors would be 0.421122 and 0.529675.
    const struct { size_t stations; float shad; size_t month; double weighted, bias, stdErr; } cases[] = {
        {7, 1, 1, 5.634088, -0.034743, 0.389884},
        {7, 1, 7, 17.943332, -0.079894, 0.490384},
        {7, 0.5f, 1, 5.667442, -0.024070, 0.369557},  // the shadow acts on the left-out station's neighbours too
        {6, 1, 1, 5.619888, -0.044712, 0.436044}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.stations << " stations, shadow " << c.shad << ", month " << c.month);
        Bench b;
        b.settings.Shad = c.shad;
        const EstimateResult& r = b.run(curvedField(c.stations), 10, 45, 450);
        ASSERT_EQ(b.ns.ActiveCount, static_cast<int>(c.stations));
        EXPECT_NEAR(r.Bias[c.month], c.bias, 3e-5);
        EXPECT_NEAR(r.StdErr[c.month], c.stdErr, 3e-5);
        EXPECT_NEAR(r.Best[c.month], c.weighted - c.bias, 3e-5);  // the weighted estimate minus the bias
        if (c.stations == 7 && c.month == 1) { EXPECT_NEAR(r.VertGrad[1], -0.006496, 2e-6); }
    }
    Bench five;
    const EstimateResult& f = five.run(curvedField(5), 10, 45, 450);
    ASSERT_EQ(five.ns.ActiveCount, 5);
    for (size_t m = 1; m <= 13; ++m) EXPECT_EQ(std::tuple(f.StdErr[m], f.Bias[m]), std::tuple(0.0f, 0.0f)) << m;
}

TEST(StrangeData, CriticalValueTable) {
    // For one station p = 0.95 is not above 0.95; twenty have p = 0.99737.
    for (const auto& [n, level, value] : {std::tuple{10, 0.9f, 2.512f}, {1, 0.9f, 1.44f}, {20, 0.9f, 2.748f}, {100000, 0.9f, 3.7119f}, {1, 0.5f, 0.0f}})
        EXPECT_FLOAT_EQ(CriticalValue(n, level), value) << n << " stations at " << level;
}

TEST(StrangeData, FlaggedJustAboveTheCriticalValueOfItsStationCountNamingMonthAndStation) {
    const struct { int stations; float a; bool strange; } cases[] = {
        {10, 2.64f, true},   // z = 2.520
        {10, 2.62f, false},  // z = 2.501
        {14, 2.70f, false},  // z = 2.610: above 2.576 but not above 2.652
        {14, 2.76f, true},   // z = 2.669
        {9, 20.0f, false}};  // nine stations with an altitude are not tested
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.stations << " stations, a = " << c.a);
        Bench b;
        b.settings.AltCorr = b.settings.GradCorr = 0;
        b.run(forStrangeData(c.stations, c.a), 10, 45, 100);
        ASSERT_EQ(b.ns.ActiveAltCount, c.stations);
        EXPECT_EQ(b.warn.WarnStrange, c.strange);
        if (c.strange) {
            EXPECT_EQ(std::tuple(b.warn.StrangeMonth, b.warn.StrangeStation, b.ns[c.stations].Name),
                      std::tuple(5, c.stations, "T" + std::to_string(c.stations)));
        }
    }
}

TEST(Warnings, FewStationsBelowTenActiveOrThreeWithAltitude) {
    const struct { int stations, withAltitude; bool few; } cases[] = {{10, 10, false}, {9, 9, true}, {10, 3, false}, {10, 2, true}};
    for (const auto& c : cases) {
        std::vector<Station> stations = forStrangeData(c.stations, 0);
        for (size_t k = static_cast<size_t>(c.withAltitude); k < stations.size(); ++k) stations[k].Alt = kUnknown;
        Bench b;
        b.run(stations, 10, 45, 100);
        ASSERT_EQ(std::tuple(b.ns.ActiveCount, b.ns.ActiveAltCount), std::tuple(c.stations, c.withAltitude));
        EXPECT_EQ(b.warn.WarnFew, c.few) << c.stations << " stations, " << c.withAltitude << " with an altitude";
    }
}

TEST(Warnings, HigherAndLowerOnlyBeyondTheNeighboursAltitudesLonelyWhenAllLieOnOneSide) {
    std::vector<Station> stations = forStrangeData(10, 0);
    std::tie(stations[0].Alt, stations[1].Alt) = std::tuple(50.0f, 700.0f);
    const struct { float alt; bool high, low; } cases[] = {{700, false, false}, {700.5f, true, false}, {50, false, false}, {49.5f, false, true}};
    for (const auto& c : cases) {
        Bench b;
        b.run(stations, 10, 45, c.alt);
        EXPECT_EQ(std::tuple(b.warn.WarnHigh, b.warn.WarnLow, b.warn.WarnLonely), std::tuple(c.high, c.low, false)) << c.alt;
    }
    Bench apart;  // all neighbours on one side, far from the location
    apart.run({makeStation(12, 45, 100, 1), makeStation(12.1f, 45.1f, 100, 1), makeStation(12.1f, 44.9f, 100, 1)}, 10, 45, 100);
    EXPECT_EQ(std::tuple(apart.warn.WarnLonely, apart.warn.WarnLow, apart.warn.WarnHigh), std::tuple(true, false, false));
}

TEST(AnnualCycle, SixthCosineIsZeroAndPrecipitationIsPerMeanMonth) {
    Bench b;
    EstimateResult& r = b.engine.res;
    b.engine.variable = Prec;
    for (size_t m = 1; m <= 12; ++m) r.Best[m] = 2.0f * (m == 2 ? 28.25f : (m == 4 || m == 6 || m == 9 || m == 11) ? 30 : 31);
    b.engine.FitAnnualCycle();
    // 2 mm a day in every month: every month enters as 60.875, so the course is flat.
    EXPECT_FLOAT_EQ(r.AnnualCycle[13], 60.875f);
    for (size_t k = 1; k <= 12; ++k) EXPECT_NEAR(r.AnnualCycle[k], 0, 1e-4);

    b.engine.variable = Temp;
    for (size_t m = 1; m <= 12; ++m) r.Best[m] = 10 - 8 * std::cos(2 * M_PI * (m - 0.5) / 12) + (m % 2) * 0.7f;
    b.engine.FitAnnualCycle();
    EXPECT_EQ(r.AnnualCycle[12], 0);
    EXPECT_NEAR(r.AnnualCycle[7], -8 * (M_PI / 12) / std::sin(M_PI / 12), 0.2);
    // The fitted course averages back to each month's value.
    EXPECT_NEAR(CycleMean(r, 0, 31.0f / 365.25f), r.Best[1], 0.3);
}

TEST(GradientOutputs, GradientsArePer100KmOfTheEarthRadiusAndLongitudeDoublesAtSixtyDegrees) {
    Bench b;
    EstimateResult& r = b.engine.res;
    std::tie(r.LongGradDeg[1], r.LatGradDeg[1], b.engine.working.Lat) = std::tuple(1.0f, 1e-6f, 0.0f);
    b.engine.GradientOutputs(1);
    const float equator = r.LongGrad[1];
    EXPECT_NEAR(equator, 100 / (6370.997 * M_PI / 180), 1e-6);  // one degree at the equator is 111.195 km
    EXPECT_TRUE(r.DirecGrad[1] > 89.9f && r.DirecGrad[1] < 90) << r.DirecGrad[1];
    b.engine.working.Lat = 60;
    b.engine.GradientOutputs(1);
    EXPECT_NEAR(r.LongGrad[1] / equator, 2, 1e-5);
    r.LongGradDeg[1] = r.LatGradDeg[1] = -1;
    b.engine.GradientOutputs(1);
    EXPECT_TRUE(r.DirecGrad[1] > 180 && r.DirecGrad[1] < 270) << r.DirecGrad[1];
    EXPECT_EQ(r.DirecGradName[1], "SW");
}
