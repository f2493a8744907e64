// Days of the year on which the daily value reaches each of 101 thresholds spread evenly
// over the range of the daily values.
#pragma once

#include <array>
#include <cstdint>

#include "season/cycle.h"

namespace zentrel {

inline constexpr int kThresholdCount = 101;

/// Rows 1..101 (index 0 unused).
struct ThresholdDays {
    std::array<float, kThresholdCount + 1> Threshold{};
    std::array<int16_t, kThresholdCount + 1> Days{};      ///< days whose best value >= threshold
    std::array<int16_t, kThresholdCount + 1> DaysLow{};   ///< same for the lower bound (z != 0)
    std::array<int16_t, kThresholdCount + 1> DaysHigh{};  ///< same for the upper bound (z != 0)
    bool hasBounds = false;                               ///< z was not 0
};

/// Counts the days 1..365 of `cycle` reaching each threshold. With z = 0 (no level, or the
/// location hits a station) the thresholds span the daily best values; otherwise they span
/// from the lowest lower bound to the highest upper bound and the bound counts are filled.
ThresholdDays countThresholdDays(const DailyCycle& cycle, float z);

}  // namespace zentrel
