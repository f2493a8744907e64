// Growing seasons, humid periods, their dates and lengths; days reaching thresholds.
#include "season/growing_season.h"
#include "season/thresholds.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "error.h"

using namespace zentrel;

namespace {

Monthly months(std::initializer_list<float> values) {
    Monthly out{};
    std::copy(values.begin(), values.end(), out.begin() + 1);
    return out;
}

Monthly constant(float v) { return months({v, v, v, v, v, v, v, v, v, v, v, v}); }

void expectRow(const SeasonAnalysis& a, int row, const std::array<float, 8>& expected) {
    for (int c = 1; c <= 8; ++c)
        EXPECT_FLOAT_EQ(a.cell(row, c), expected[size_t(c - 1)]) << "row " << row << " column " << c;
}

}  // namespace

TEST(GrowingSeason, MonthsOnALimitLineAreNudged) {
    SeasonAnalysis a, h;
    FindSeasonCrossings(a, constant(100), constant(100));
    FindSeasonCrossings(h, constant(50), constant(100));
    EXPECT_EQ(std::vector<float>({a.P[3], h.H[3], h.P[13]}), std::vector<float>({100.01f, 49.99f, 50}));
    EXPECT_EQ(std::pair(a.cell(1, 1), h.cell(1, 1)), std::pair(float(SeasonHumidAllYear), float(SeasonAllYear)));
}

TEST(GrowingSeason, AdjustPlacesTheCrossingAfterMidMonth) {
    SeasonAnalysis a;
    Adjust(a, "b", 3, 10.5f);   // 10 days after mid-March
    Adjust(a, "e", 3, 20.5f);   // past the end of March
    Adjust(a, "E", 12, 20.5f);  // past the end of December: January
    Adjust(a, "B", 12, 15.0f);  // day 0 exactly becomes the 1st
    Adjust(a, "b", 12, 15.5f);  // day 0.5 is kept as computed: day 0
    Adjust(a, "e", 9, 20.5f);
    ASSERT_EQ(a.EventCount, 6);
    EXPECT_EQ(a.EventLabels[1], "b");
    // The 5th of October shows as "5.1".
    EXPECT_EQ(std::vector<std::string>(a.EventDates.begin() + 1, a.EventDates.begin() + 7),
              (std::vector<std::string>{"25.03", "5.04", "5.01", "1.01", "0.01", "5.1"}));
}

// Day numbers of the dates, and lengths. Only a negative difference runs over the turn of the year: a season ending the day before it
// begins has 0 days (100 - 99 ... 99 - 100 + 1 = 0 is not negative), two days before gives 364.
TEST(GrowingSeason, DayNumbersAndLengthsWithTheYearAddedOnlyToNegativeDifferences) {
    SeasonAnalysis a;
    EXPECT_EQ(std::vector<int>({GetNumDay(2.9999f, 15), GetNumDay(12, 30)}), std::vector<int>({75, 360}));
    a.SeasonCount = 4;
    const float begins[] = {10.04f, 10.04f, 10.04f, 1.11f}, ends[] = {9.04f, 8.04f, 10.04f, 1.02f};  // 10 April is day 100
    for (int k = 1; k <= 4; ++k) {
        a.cell(k, 1) = SeasonDry;
        a.cell(k, 2) = begins[k - 1];
        a.cell(k, 3) = ends[k - 1];
    }
    completeSeasons(a);
    expectRow(a, 1, {2, 10.04f, 9.04f, -999, -999, 100, 99, 0});
    expectRow(a, 2, {2, 10.04f, 8.04f, -999, -999, 100, 98, 364});
    expectRow(a, 3, {2, 10.04f, 10.04f, -999, -999, 100, 100, 1});
    expectRow(a, 4, {2, 1.11f, 1.02f, -999, -999, 301, 31, 96});  // 1 November to 1 February
}

// Rows: type, begin and end of the season, of the humid period, their day numbers, length.
TEST(GrowingSeason, SeasonsAndHumidPeriodsOfTypicalYears) {
    using Row = std::array<float, 8>;
    const float no = -999;
    // The year, its rain and PET, its events (-1: not checked), its rows.
    const std::tuple<const char*, Monthly, float, int, std::vector<Row>> cases[] = {
        // Years without crossings are typed by June.
        {"dry", constant(10), 100, -1, {{1, no, no, no, no, no, no, 0}}},
        {"humid", constant(200), 100, -1, {{5, no, no, no, no, no, no, 365}}},
        {"between", constant(70), 100, -1, {{4, no, no, no, no, no, no, 365}}},
        // Negative estimates are clamped to 0 first; P = E = 0 is then nudged to P = 0.01 > E.
        {"negative", constant(-5), -5, -1, {{SeasonHumidAllYear, no, no, no, no, no, no, 365}}},
        // Rain crosses half the PET 10 days after mid-March and 20 days after mid-August.
        {"no humid period", months({20, 20, 40, 70, 70, 70, 70, 70, 40, 20, 20, 20}), 100, 2,
         {{2, 25.03f, 5.09f, no, no, 85, 245, 161}}},
        {"humid period", months({20, 20, 75, 150, 90, 30, 20, 20, 20, 20, 20, 20}), 100, 4,
         {{3, 1.03f, 5.06f, 25.03f, 10.05f, 61, 155, 95}}},
        // Events come out "e" (February) then "b" (November); the list is turned to begin with "b".
        {"over the turn of the year", months({70, 70, 20, 20, 20, 20, 20, 20, 20, 20, 20, 70}), 100, -1,
         {{2, 3.12f, 27.02f, no, no, 333, 57, 90}}},
        {"all year, humid over new year", months({150, 150, 60, 60, 60, 60, 60, 60, 60, 60, 60, 150}), 100, -1,
         {{6, no, no, 28.11f, 2.03f, 328, 62, 365}}},
        // A short season in spring and a long one in autumn: the longest first.
        {"two seasons", months({20, 20, 70, 20, 20, 20, 70, 70, 70, 70, 20, 20}), 100, -1,
         {{2, 3.07f, 27.1f, no, no, 183, 297, 115}, {2, 3.03f, 27.03f, no, no, 63, 87, 25}}},
    };
    for (const auto& [year, prec, pet, events, rows] : cases) {
        SCOPED_TRACE(year);
        const SeasonAnalysis a = analyseGrowingSeasons(prec, constant(pet));
        if (events >= 0) {
            EXPECT_EQ(a.EventCount, events);
        }
        ASSERT_EQ(a.SeasonCount, static_cast<int>(rows.size()));
        for (size_t r = 0; r < rows.size(); ++r) expectRow(a, static_cast<int>(r + 1), rows[r]);
    }
}

TEST(GrowingSeason, SortingKeepsEqualLengthsInOrder) {
    SeasonAnalysis a;
    a.SeasonCount = 3;
    a.cell(1, 1) = 2; a.cell(1, 8) = 60;
    a.cell(2, 1) = 3; a.cell(2, 8) = 120;
    a.cell(3, 1) = 6; a.cell(3, 8) = 120;
    sortSeasons(a);
    EXPECT_EQ(std::vector<float>({a.cell(1, 1), a.cell(2, 1), a.cell(3, 1)}), std::vector<float>({3, 6, 2}));
}

TEST(GrowingSeason, SixSeasonBeginsOverflowTheTable) {
    EXPECT_THROW(analyseGrowingSeasons(months({20, 70, 20, 70, 20, 70, 20, 70, 20, 70, 20, 70}), constant(100)),
                 Error);
    // Five fit.
    EXPECT_NO_THROW(analyseGrowingSeasons(months({20, 70, 20, 70, 20, 70, 20, 70, 20, 70, 20, 20}), constant(100)));
}

TEST(ThresholdDays, BestOnlySpansTheDailyRange) {
    DailyCycle c;
    for (size_t d = 1; d <= 365; ++d) c.Daily[d] = float(366 - d);  // 365 down to 1
    ThresholdDays t = countThresholdDays(c, 0);
    EXPECT_FALSE(t.hasBounds);
    EXPECT_EQ(std::vector<float>({t.Threshold[1], t.Threshold[51], t.Threshold[101]}), std::vector<float>({1, 183, 365}));
    EXPECT_EQ(std::vector<int>({t.Days[1], t.Days[51], t.Days[101], t.DaysLow[1]}), std::vector<int>({365, 183, 1, 0}));
}

TEST(ThresholdDays, WithBoundsTheRangeRunsFromLowestLowToHighestHigh) {
    DailyCycle c;
    for (size_t d = 1; d <= 365; ++d) {
        c.Daily[d] = float(d);
        c.DailyLow[d] = float(d) - 10;
        c.DailyHigh[d] = float(d) + 10;
    }
    ThresholdDays t = countThresholdDays(c, 1.96f);
    EXPECT_EQ(std::vector<float>({t.Threshold[1], t.Threshold[101]}), std::vector<float>({-9, 375}));
    EXPECT_EQ(std::vector<int>({t.Days[1], t.Days[2], t.Days[101], t.DaysHigh[101], t.DaysLow[1], t.DaysLow[100]}),
              std::vector<int>({365, 365, 0, 1, 365, 0}));
}
