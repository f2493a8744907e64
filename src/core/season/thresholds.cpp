// Days reaching each of 101 evenly spread thresholds.
#include "season/thresholds.h"

#include <algorithm>
#include <vector>

namespace zentrel {

namespace {

std::vector<float> daysOf(const DailyArray& values) {
    return std::vector<float>(values.begin() + 1, values.begin() + 366);
}

int16_t countReaching(const std::vector<float>& days, float threshold) {
    return static_cast<int16_t>(std::count_if(days.begin(), days.end(), [&](float v) { return v >= threshold; }));
}

}  // namespace

ThresholdDays countThresholdDays(const DailyCycle& cycle, float z) {
    ThresholdDays out;
    out.hasBounds = z != 0;
    const std::vector<float> best = daysOf(cycle.Daily);
    std::vector<float> sortedDaily = best;
    std::sort(sortedDaily.begin(), sortedDaily.end());
    float lowest = sortedDaily.front();
    float highest = sortedDaily.back();
    std::vector<float> low, high;
    if (out.hasBounds) {
        low = daysOf(cycle.DailyLow);
        high = daysOf(cycle.DailyHigh);
        lowest = *std::min_element(low.begin(), low.end());
        highest = *std::max_element(high.begin(), high.end());
    }
    for (int k = 1; k <= kThresholdCount; ++k) {
        const size_t i = static_cast<size_t>(k);
        out.Threshold[i] = static_cast<float>(lowest + (k - 1) / 100.0 * (highest - lowest));
        out.Days[i] = countReaching(best, out.Threshold[i]);
        if (out.hasBounds) {
            out.DaysLow[i] = countReaching(low, out.Threshold[i]);
            out.DaysHigh[i] = countReaching(high, out.Threshold[i]);
        }
    }
    return out;
}

}  // namespace zentrel
