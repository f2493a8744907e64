// Sub-monthly values from the harmonic fit of the annual course.
#include "season/cycle.h"

#include <cmath>

namespace zentrel {

namespace {

constexpr double kPi = 3.1415926535;
/// Days of a mean-length month: monthly totals to daily amounts and back.
constexpr float kMeanMonthDays = 30.4375f;

bool isTotal(int variable) { return variable == Prec || variable == PET; }

}  // namespace

float CycleMean(const EstimateResult& result, float t1, float t2) {
    const Monthly& c = result.AnnualCycle;
    float sum = 0;
    for (int k = 1; k <= 6; ++k) {
        // The angular frequency of harmonic k, taken from its period as the fit does.
        const float period = 1.0f / static_cast<float>(k);
        const float w = static_cast<float>(2 * kPi / period);
        const float a = c[static_cast<size_t>(k)];
        const float b = c[static_cast<size_t>(k + 6)];
        const double term = (a * (std::cos(double(w * t1)) - std::cos(double(w * t2))) +
                             b * (std::sin(double(w * t2)) - std::sin(double(w * t1)))) / w;
        sum = static_cast<float>(sum + term);
    }
    return sum / (t2 - t1) + c[13];
}

float dekadLength(int dekad) {
    switch (dekad) {
        case 3: case 9: case 15: case 21: case 24: case 30: case 36: return 11.0f;
        case 6: return 8.25f;
        default: return 10.0f;
    }
}

void fillDailyCycle(const EstimateResult& result, int variable, float z, DailyCycle& cycle) {
    cycle.Daily.fill(0);
    for (int d = 1; d <= 365; ++d) {
        const float t1 = static_cast<float>((d - 1) / 365.0);
        const float t2 = static_cast<float>(d / 365.0);
        float v = ClipValue(CycleMean(result, t1, t2), variable);
        if (isTotal(variable)) v = v / kMeanMonthDays;
        cycle.Daily[static_cast<size_t>(d)] = v;
    }
    if (z == 0) return;
    for (int d = 1; d <= 365; ++d) {
        // 30.4374 rather than 30.4375 here, so that day 31 already counts to February.
        int m = static_cast<int>(std::floor(d / 30.4374)) + 1;
        if (m > 12) m = 12;
        float s = result.StdErr[static_cast<size_t>(m)];
        if (isTotal(variable)) s = s / kMeanMonthDays;
        const size_t i = static_cast<size_t>(d);
        cycle.DailyLow[i] = ClipValue(cycle.Daily[i] - z * s, variable);
        cycle.DailyHigh[i] = cycle.Daily[i] + z * s;
    }
}

void fillDekadalCycle(const EstimateResult& result, int variable, float z, DekadalCycle& cycle) {
    cycle.Dekadal.fill(0);
    float elapsed = 0;  // days from the start of the year to the end of dekad k
    for (int k = 1; k <= 36; ++k) {
        const float length = dekadLength(k);
        elapsed += length;
        const float t2 = static_cast<float>(elapsed / 365.25);
        const float t1 = static_cast<float>(t2 - length / 365.25);
        float v = CycleMean(result, t1, t2);
        if (isTotal(variable)) v = v * length / kMeanMonthDays;
        cycle.Dekadal[static_cast<size_t>(k)] = ClipValue(v, variable);
    }
    if (z == 0) return;
    for (int k = 1; k <= 36; ++k) {
        int m = static_cast<int>(std::floor(k / 3.0 - 1.0 / 6.0)) + 1;
        if (m > 12) m = 12;
        float s = result.StdErr[static_cast<size_t>(m)];
        if (isTotal(variable)) s = s * dekadLength(k) / kMeanMonthDays;
        const size_t i = static_cast<size_t>(k);
        // Unlike the daily bound, the dekadal lower bound is written as computed.
        cycle.DekadalLow[i] = cycle.Dekadal[i] - z * s;
        cycle.DekadalHigh[i] = cycle.Dekadal[i] + z * s;
    }
}

}  // namespace zentrel
