// Daily and dekadal cycles from the harmonic annual course, and their bounds.
#include "season/cycle.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace zentrel;

namespace {

EstimateResult constantCycle(float mean) {
    EstimateResult r;
    r.AnnualCycle[13] = mean;
    return r;
}

}  // namespace

TEST(CycleMean, IsTheExactMeanOfTheHarmonicSeries) {
    EstimateResult r = constantCycle(10.0f);
    EXPECT_FLOAT_EQ(CycleMean(r, 0.1f, 0.2f), 10.0f);
    r.AnnualCycle[1] = 1.0f;  // a1 sin(2 pi t)
    // Mean of sin over the first half year is 2 / pi; over a whole year 0.
    EXPECT_NEAR(CycleMean(r, 0.0f, 0.5f), 10.0f + 2.0f / 3.14159265f, 1e-5);
    EXPECT_NEAR(CycleMean(r, 0.0f, 1.0f), 10.0f, 1e-5);
    r.AnnualCycle[1] = 0;
    r.AnnualCycle[8] = 2.0f;  // b2 cos(4 pi t): mean over the first quarter year is 0
    EXPECT_NEAR(CycleMean(r, 0.0f, 0.25f), 10.0f, 1e-5);
    EXPECT_NEAR(CycleMean(r, 0.0f, 0.125f), 10.0f + 2.0f * 4 / (2 * 3.14159265f), 1e-5);
}

TEST(ClipValue, ClampsAllButTemperaturesAndCapsSunshine) {
    const std::tuple<float, int, float> cases[] = {{-3, Temp, -3}, {-3, Tmin, -3}, {-0.5f, Prec, 0}, {-0.5f, Wind, 0}, {1.03f, Sun, 1}, {1.03f, Vap, 1.03f}};
    for (const auto& [value, variable, clipped] : cases) EXPECT_EQ(ClipValue(value, variable), clipped) << variable;
}

// A zero factor leaves the bounds as they were.
TEST(DailyCycle, ConstantMonthsGiveConstantDaysAndAZeroFactorNoBounds) {
    DailyCycle temp;
    temp.DailyLow.fill(7.0f);
    temp.DailyHigh.fill(8.0f);
    fillDailyCycle(constantCycle(12.5f), Temp, 0, temp);
    DailyCycle prec;
    // 60.875 mm in a mean-length month is 2 mm a day.
    fillDailyCycle(constantCycle(60.875f), Prec, 0, prec);
    for (size_t d = 1; d <= 365; ++d) {
        EXPECT_FLOAT_EQ(temp.Daily[d], 12.5f);
        EXPECT_FLOAT_EQ(prec.Daily[d], 2.0f);
    }
    EXPECT_EQ(std::vector<float>({temp.Daily[366], temp.DailyLow[100], temp.DailyHigh[100]}), std::vector<float>({0, 7, 8}));
}

TEST(DailyCycle, BoundsUseTheMonthOfTheDayWithDay31InFebruary) {
    EstimateResult r = constantCycle(10.0f);
    for (size_t m = 1; m <= 12; ++m) r.StdErr[m] = float(m);
    DailyCycle c;
    fillDailyCycle(r, Temp, 2.0f, c);
    // Day 30 in January; day 31 (31 / 30.4374 = 1.018) in February; 61 in March; 365 capped at December.
    for (const auto& [bound, expected] : {std::pair{c.DailyHigh[30] - c.Daily[30], 2.0f}, {c.DailyHigh[31] - c.Daily[31], 4.0f},
                                          {c.Daily[61] - c.DailyLow[61], 6.0f}, {c.DailyHigh[365] - c.Daily[365], 24.0f}})
        EXPECT_FLOAT_EQ(bound, expected);

    // Totals: the bound is per day too; a lower bound below zero is clamped.
    EstimateResult p = constantCycle(30.4375f);
    for (size_t m = 1; m <= 12; ++m) p.StdErr[m] = 60.875f;
    DailyCycle pc;
    fillDailyCycle(p, Prec, 1.0f, pc);
    EXPECT_EQ(std::pair(pc.DailyHigh[100], pc.DailyLow[100]), std::pair(3.0f, 0.0f));
}

TEST(DailyCycle, SunshineAboveOneIsShownAsOne) {
    EstimateResult r = constantCycle(0.9f);
    r.AnnualCycle[1] = 0.3f;  // peaks near 1.2 in spring
    DailyCycle c;
    fillDailyCycle(r, Sun, 0, c);
    float highest = 0, lowest = 2;
    for (size_t d = 1; d <= 365; ++d) {
        highest = std::max(highest, c.Daily[d]);
        lowest = std::min(lowest, c.Daily[d]);
    }
    EXPECT_EQ(std::pair(highest, c.Daily[91]), std::pair(1.0f, 1.0f));
    EXPECT_NEAR(lowest, 0.6f, 0.001f);
}

TEST(DekadalCycle, TotalsScaleWithTheDekadLength) {
    DekadalCycle c;
    fillDekadalCycle(constantCycle(60.875f), Prec, 0, c);
    // The third dekad of January has 11 days, of February 8.25.
    for (const auto& [dekad, total] : {std::pair{1, 20.0f}, {3, 22.0f}, {6, 16.5f}}) EXPECT_FLOAT_EQ(c.Dekadal[size_t(dekad)], total) << dekad;
    float total = 0, length = 0;
    for (int k = 1; k <= 36; ++k) {
        total += c.Dekadal[size_t(k)];
        length += dekadLength(k);
    }
    EXPECT_FLOAT_EQ(length, 365.25f);
    EXPECT_NEAR(total, 12 * 60.875f, 0.01f);

    DekadalCycle t;
    fillDekadalCycle(constantCycle(-4.0f), Tmin, 0, t);
    EXPECT_FLOAT_EQ(t.Dekadal[6], -4.0f);
}

TEST(DekadalCycle, BoundMonthsAndTheUnclampedLowerBound) {
    EstimateResult r = constantCycle(1.0f);
    for (size_t m = 1; m <= 12; ++m) r.StdErr[m] = float(m);
    DekadalCycle c;
    fillDekadalCycle(r, Wind, 1.0f, c);
    // January, February; December's lower bound is not clamped.
    EXPECT_EQ(std::vector<float>({c.DekadalHigh[3], c.DekadalHigh[4], c.DekadalLow[36]}), std::vector<float>({2, 3, -11}));

    EstimateResult p = constantCycle(30.4375f);
    for (size_t m = 1; m <= 12; ++m) p.StdErr[m] = 30.4375f;
    DekadalCycle pc;
    fillDekadalCycle(p, PET, 1.0f, pc);
    EXPECT_FLOAT_EQ(pc.DekadalHigh[6], 16.5f);  // 8.25 + 8.25
}
