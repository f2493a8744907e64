// The values outputs show: the year of Prec and PET as its total with the total's own error,
// of the others as the mean of the months; missing stays NaN.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "engine/engine.h"
#include "formats/shown_values.h"
#include "fixture.h"

using namespace zentrel;

namespace {
VariableResult annualResult(int variable) {
    VariableResult r;
    r.variable = static_cast<int16_t>(variable);
    r.neighbours.NeighbourCount = r.neighbours.ActiveCount = 5;
    EstimateResult& e = r.result;
    e.HasStdErr = true;
    for (size_t m = 1; m <= 12; ++m) std::tie(e.Best[m], e.StdErr[m], e.Bias[m]) = std::tuple(4.0f + 0.1f * m, 1.0f, 0.25f);
    std::tie(e.Best[13], e.StdErr[13], e.Bias[13], e.AnnualTotalStdErr) = std::tuple(4.65f, 1.0f, 0.25f, 4.0f);
    return r;
}
}  // namespace

TEST(AnnualValue, PrecAndPetShowTheYearsTotalWithItsOwnErrorTheOthersTheMean) {
    const float k = 1.645f;
    for (int v = 0; v < kVariableCount; ++v) {
        const VariableResult r = annualResult(v);
        const bool total = v == Prec || v == PET;
        EXPECT_EQ(annualIsTotal(v), total);
        EXPECT_STREQ(annualTitle(v), total ? "Annual total" : "Annual");
        if (v == Sun) continue;  // a sunshine fraction of 4.65 is beyond its records
        const float best = total ? 55.8f : 4.65f, error = total ? 4 : 1;
        EXPECT_FLOAT_EQ(readerValue(r, ShownQuantity::Best, 13, k), best) << v;
        EXPECT_FLOAT_EQ(readerValue(r, ShownQuantity::StdErr, 13, k), error) << v;
        EXPECT_FLOAT_EQ(readerValue(r, ShownQuantity::Bias, 13, k), total ? 3 : 0.25f) << v;
        EXPECT_FLOAT_EQ(readerValue(r, ShownQuantity::Low, 13, k), best - k * error) << v;
        EXPECT_FLOAT_EQ(readerValue(r, ShownQuantity::High, 13, k), best + k * error) << v;
        // The months and the formats that keep the record's mean are not touched.
        EXPECT_EQ(readerValue(r, ShownQuantity::Best, 5, k), shownValue(r, ShownQuantity::Best, 5, k)) << v;
        EXPECT_FLOAT_EQ(shownValue(r, ShownQuantity::Best, 13, k), 4.65f) << v;
    }
}

TEST(AnnualValue, TotalMadeInRatioSpaceHasRatioBoundsAndMissingStaysMissing) {
    VariableResult r = annualResult(Prec);
    std::tie(r.result.StdErrLog[13], r.result.LogOffset) = std::tuple(0.2f, 1.0f);
    // ln(55.8 + 12) -/+ k 4 / 67.8, taken back.
    EXPECT_NEAR(readerValue(r, ShownQuantity::Low, 13, 1.96f), 67.8 * std::exp(-1.96 * 4 / 67.8) - 12, 1e-3);
    EXPECT_NEAR(readerValue(r, ShownQuantity::High, 13, 1.96f), 67.8 * std::exp(1.96 * 4 / 67.8) - 12, 1e-3);
    r.result.AnnualTotalStdErr = NAN;  // no error of the total: its bounds are missing, not Best
    EXPECT_TRUE(std::isnan(readerValue(r, ShownQuantity::StdErr, 13, 1.96f)));
    EXPECT_TRUE(std::isnan(readerValue(r, ShownQuantity::Low, 13, 1.96f)));
    EXPECT_FLOAT_EQ(readerValue(r, ShownQuantity::Best, 13, 1.96f), 55.8f);
    r.neighbours.ActiveCount = 1;  // one station: no annual value at all
    EXPECT_TRUE(std::isnan(readerValue(r, ShownQuantity::Best, 13, 1.96f)));
    r.neighbours.ActiveCount = 0;
    EXPECT_TRUE(std::isnan(readerValue(r, ShownQuantity::Best, 4, 1.96f)));
}

TEST(AnnualTotalError, MonthsThatErrTogetherAddUpMonthsThatErrApartCancel) {
    std::array<std::array<float, 12>, 3> together{}, apart{};
    for (size_t m = 0; m < 12; ++m) {
        together[0][m] = 1, together[1][m] = -1, together[2][m] = 0;
        apart[0][m] = m % 2 ? 1.0f : -1.0f, apart[1][m] = -apart[0][m], apart[2][m] = 0;
    }
    EXPECT_FLOAT_EQ(annualErrorShare(together.data(), 3, true), 1.0f);
    EXPECT_FLOAT_EQ(annualErrorShare(apart.data(), 3, true), 0.0f);
    // Centred, a common bias is no error of the total; as root mean squares it is.
    for (auto& row : together) row.fill(row[0] + 5);
    EXPECT_FLOAT_EQ(annualErrorShare(together.data(), 3, true), 1.0f);
    EXPECT_LT(annualErrorShare(apart.data(), 3, false), 0.01f);
    EXPECT_TRUE(std::isnan(annualErrorShare(together.data(), 1, true)));
}

TEST(AnnualTotalError, TheDescribedMethodsIsTheSpreadOfTheNeighboursLeaveOneOutTotals) {
    // Stations whose months scatter independently: the total's error is well below twelve times
    // the mean monthly error, and the record's annual StdErr stays that mean.
    std::vector<Station> st;
    test::Random random{7};
    for (int k = 0; k < 12; ++k) {
        Station s = test::makeStation(10 + 0.3f * static_cast<float>(k % 4), 45 + 0.3f * static_cast<float>(k / 4), 100, 0,
                                      "s" + std::to_string(k));
        for (size_t m = 1; m <= 12; ++m) s.Data[m] = 60 + random.uniform(-20, 20);
        st.push_back(s);
    }
    test::EngineBench bench;
    const EstimateResult& r = bench.run(st, 10.45f, 45.3f, 100, Prec);
    ASSERT_TRUE(r.HasStdErr);
    float mean = 0;
    for (size_t m = 1; m <= 12; ++m) mean += r.StdErr[m] / 12;
    EXPECT_FLOAT_EQ(r.StdErr[13], mean);
    EXPECT_GT(r.AnnualTotalStdErr, 0.0f);
    EXPECT_LT(r.AnnualTotalStdErr, 0.6f * 12 * r.StdErr[13]);
}
