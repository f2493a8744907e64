// The error estimate against hand-worked numbers, and every warning at the edge of its threshold.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/engine.h"
#include "fixture.h"

using namespace zentrel;
using zentrel::test::makeStation;

namespace {

// An engine whose candidate table is filled by hand (no files), run through the whole pipeline.
struct Bench {
    ProgramSettings settings = test::describedSettings();
    Engine engine{settings, "/nonexistent"};

    const EstimateResult& run(const std::vector<Station>& stations, float lon, float lat, float alt) {
        engine.table.stations = stations;
        engine.working = Location{"", lon, lat, alt};
        engine.variable = Temp;
        engine.SelectNeighbours();
        engine.ActivateNeighbours();
        engine.BuildMeanStation();
        engine.Estimate();
        engine.EvaluateWarnings();
        return engine.res;
    }
};

// Seven stations around 10 E 45 N with a curved field: January
// 8 - 0.006 alt + 1.5 (lon - 10)^2 - 2 (lat - 45)(lon - 10), July 20 - 0.005 alt + 3 (lat - 45)^2
// + 0.5 (lon - 10). Neither plane nor altitude line fits it, so every left-out station misses.
std::vector<Station> curvedField(size_t count) {
    const float pos[7][3] = {{10.30f, 45.10f, 200},  {9.60f, 45.25f, 800}, {10.55f, 44.70f, 350}, {9.85f, 44.55f, 1200},
                             {10.90f, 45.45f, 150}, {9.20f, 44.95f, 600}, {10.15f, 45.80f, 950}};
    std::vector<Station> out;
    for (size_t k = 0; k < count; ++k) {
        const double lon = pos[k][0], lat = pos[k][1], alt = pos[k][2];
        Station s = makeStation(pos[k][0], pos[k][1], pos[k][2], 0, "C" + std::to_string(k + 1));
        for (size_t m = 1; m <= 12; ++m) {
            const double value = m == 7 ? 20 - 0.005 * alt + 3 * (lat - 45) * (lat - 45) + 0.5 * (lon - 10)
                                        : 8 - 0.006 * alt + 1.5 * (lon - 10) * (lon - 10) - 2 * (lat - 45) * (lon - 10);
            s.Data[m] = static_cast<float>(value);
        }
        out.push_back(s);
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
std::vector<Station> tenForStrangeData(float a) { return forStrangeData(10, a); }

}  // namespace

// The reference numbers follow the method step by step in double precision (least-squares
// altitude slope and plane, inverse distances with the shadow term, each station estimated from
// the others, bias = mean error, standard error = root mean square deviation over n); the script
// tests/data/leave_one_out_reference.py did the arithmetic, independent of the engine's code.
// Distances are taken as the engine takes them (single-precision cosine); the rest of the
// engine's arithmetic is single precision, hence the tolerances.
TEST(LeaveOneOut, BiasAndStandardErrorOfSevenStationsOnACurvedField) {
    Bench b;
    const EstimateResult& r = b.run(curvedField(7), 10, 45, 450);
    ASSERT_EQ(b.engine.ns.ActiveCount, 7);
    // January: weighted estimate 5.634088, errors with mean -0.034743 and spread 0.389884
    // (divided by n - 1 it would be 0.421122).
    EXPECT_NEAR(r.VertGrad[1], -0.006496, 2e-6);
    EXPECT_NEAR(r.Bias[1], -0.034743, 3e-5);
    EXPECT_NEAR(r.StdErr[1], 0.389884, 3e-5);
    EXPECT_NEAR(r.Best[1], 5.634088 - -0.034743, 3e-5);  // the weighted estimate minus the bias
    // July: weighted estimate 17.943332, bias -0.079894, standard error 0.490384 (n - 1: 0.529675).
    EXPECT_NEAR(r.Bias[7], -0.079894, 3e-5);
    EXPECT_NEAR(r.StdErr[7], 0.490384, 3e-5);
    EXPECT_NEAR(r.Best[7], 17.943332 - -0.079894, 3e-5);
}

TEST(LeaveOneOut, ShadowWeightActsOnTheLeftOutStationsNeighboursToo) {
    Bench b;
    b.settings.Shad = 0.5f;
    const EstimateResult& r = b.run(curvedField(7), 10, 45, 450);
    // Same script with the shadow weight 0.5: January weighted 5.667442, bias -0.024070,
    // standard error 0.369557.
    EXPECT_NEAR(r.Bias[1], -0.024070, 3e-5);
    EXPECT_NEAR(r.StdErr[1], 0.369557, 3e-5);
    EXPECT_NEAR(r.Best[1], 5.667442 - -0.024070, 3e-5);
}

TEST(LeaveOneOut, RunsWithExactlySixActiveStationsAndNotWithFive) {
    Bench six;
    const EstimateResult& r = six.run(curvedField(6), 10, 45, 450);
    ASSERT_EQ(six.engine.ns.ActiveCount, 6);
    // Same script: January weighted 5.619888, bias -0.044712, standard error 0.436044.
    EXPECT_NEAR(r.Bias[1], -0.044712, 3e-5);
    EXPECT_NEAR(r.StdErr[1], 0.436044, 3e-5);
    EXPECT_NEAR(r.Best[1], 5.619888 - -0.044712, 3e-5);

    Bench five;
    const EstimateResult& f = five.run(curvedField(5), 10, 45, 450);
    ASSERT_EQ(five.engine.ns.ActiveCount, 5);
    for (size_t m = 1; m <= 13; ++m) {
        EXPECT_EQ(f.StdErr[m], 0) << m;
        EXPECT_EQ(f.Bias[m], 0) << m;
    }
}

TEST(StrangeData, TenStationsJustAboveTheCriticalValueNameTheMonthAndStation) {
    Bench b;
    b.settings.AltCorr = b.settings.GradCorr = 0;
    b.run(tenForStrangeData(2.64f), 10, 45, 100);  // z = 2.520
    ASSERT_EQ(b.engine.ns.ActiveAltCount, 10);
    EXPECT_TRUE(b.engine.warn.WarnStrange);
    EXPECT_EQ(b.engine.warn.StrangeMonth, 5);
    EXPECT_EQ(b.engine.warn.StrangeStation, 10);
    EXPECT_EQ(b.engine.ns[10].Name, "T10");
}

TEST(StrangeData, TenStationsJustBelowTheCriticalValueAreNotStrange) {
    Bench b;
    b.settings.AltCorr = b.settings.GradCorr = 0;
    b.run(tenForStrangeData(2.62f), 10, 45, 100);  // z = 2.501
    EXPECT_FALSE(b.engine.warn.WarnStrange);
}

TEST(StrangeData, FourteenStationsAreTestedAgainstTheirOwnCriticalValue) {
    Bench b;
    b.settings.AltCorr = b.settings.GradCorr = 0;
    b.run(forStrangeData(14, 2.70f), 10, 45, 100);  // z = 2.610: above 2.576 but not above 2.652
    ASSERT_EQ(b.engine.ns.ActiveAltCount, 14);
    EXPECT_FALSE(b.engine.warn.WarnStrange);
    Bench above;
    above.settings.AltCorr = above.settings.GradCorr = 0;
    above.run(forStrangeData(14, 2.76f), 10, 45, 100);  // z = 2.669
    EXPECT_TRUE(above.engine.warn.WarnStrange);
    EXPECT_EQ(above.engine.warn.StrangeStation, 14);
}

TEST(Warnings, FewStationsBelowTenActiveOrThreeWithAltitude) {
    Bench ten;
    ten.run(tenForStrangeData(0), 10, 45, 100);
    EXPECT_FALSE(ten.engine.warn.WarnFew);
    auto stations = tenForStrangeData(0);
    stations.pop_back();
    Bench nine;
    nine.run(stations, 10, 45, 100);
    EXPECT_EQ(nine.engine.ns.ActiveCount, 9);
    EXPECT_TRUE(nine.engine.warn.WarnFew);

    // Ten active, but only two or three of them with an altitude.
    stations = tenForStrangeData(0);
    for (size_t k = 3; k < stations.size(); ++k) stations[k].Alt = kUnknown;
    Bench three;
    three.run(stations, 10, 45, 100);
    EXPECT_EQ(three.engine.ns.ActiveAltCount, 3);
    EXPECT_FALSE(three.engine.warn.WarnFew);
    stations[2].Alt = kUnknown;
    Bench two;
    two.run(stations, 10, 45, 100);
    EXPECT_EQ(two.engine.ns.ActiveAltCount, 2);
    EXPECT_TRUE(two.engine.warn.WarnFew);
}

TEST(Warnings, HigherAndLowerOnlyBeyondTheNeighboursAltitudes) {
    std::vector<Station> stations = tenForStrangeData(0);
    stations[0].Alt = 50;
    stations[1].Alt = 700;
    const struct {
        float alt;
        bool high, low;
    } cases[] = {{700, false, false}, {700.5f, true, false}, {50, false, false}, {49.5f, false, true}};
    for (const auto& c : cases) {
        Bench b;
        b.run(stations, 10, 45, c.alt);
        EXPECT_EQ(b.engine.warn.WarnHigh, c.high) << c.alt;
        EXPECT_EQ(b.engine.warn.WarnLow, c.low) << c.alt;
    }
}
