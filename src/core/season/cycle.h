// Sub-monthly values from the fitted annual course: CycleMean, and the daily and dekadal cycles
// with their confidence bounds.
#pragma once

#include <array>

#include "base/types.h"  // ClipValue

namespace zentrel {

/// Mean of the fitted annual course of `result` (its AnnualCycle) between the times t1 < t2,
/// in years from the start of January, in single precision. For Prec and PET the value is
/// an amount per mean-length month (30.4375 days).
float CycleMean(const EstimateResult& result, float t1, float t2);

/// Daily arrays, index 1..365 (0 and 366 unused, 366 kept for the fixed size).
using DailyArray = std::array<float, 367>;
/// Dekadal arrays, index 1..36 (0 unused).
using DekadalArray = std::array<float, 37>;

/// Daily values of one variable: units of the variable, Prec and PET per day.
struct DailyCycle {
    DailyArray Daily{};
    DailyArray DailyLow{};
    DailyArray DailyHigh{};
};

/// Dekadal values of one variable: units of the variable, Prec and PET totals per dekad.
struct DekadalCycle {
    DekadalArray Dekadal{};
    DekadalArray DekadalLow{};
    DekadalArray DekadalHigh{};
};

/// Length in days of dekad 1..36 (11 for the third dekad of a 31-day month, 8.25 for the
/// third of February, 10 otherwise; 365.25 in all).
float dekadLength(int dekad);

/// Fills cycle.Daily from the annual course of `result` for `variable`; when z is not 0
/// (1.645, 1.96, 2.576) also DailyLow and DailyHigh from the monthly StdErr. With z = 0 the
/// bound arrays are left as they were.
void fillDailyCycle(const EstimateResult& result, int variable, float z, DailyCycle& cycle);

/// Fills cycle.Dekadal, and with z not 0 DekadalLow and DekadalHigh (the lower bound of a
/// dekad is not clamped). With z = 0 the bound arrays are left as they were.
void fillDekadalCycle(const EstimateResult& result, int variable, float z, DekadalCycle& cycle);

}  // namespace zentrel
