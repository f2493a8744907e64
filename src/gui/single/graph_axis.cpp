// Axis ladders of the result graphs.
#include "single/graph_axis.h"

#include <algorithm>
#include <array>
#include <limits>

namespace zentrel::gui::single {

namespace {
constexpr std::array<float, 29> kMinimumLadder = {20000, 10000, 4000, 2000, 1000, 400,   200,   100,    40,    20,
                                                  10,    4,     2,    1,    0,    -1,    -2,    -4,     -10,   -20,
                                                  -40,   -100,  -200, -400, -1000, -2000, -4000, -10000, -20000};
constexpr std::array<float, 20> kMaximumLadder = {1,   2,   4,   6,    8,    10,   20,   40,    60,    80,
                                                  100, 200, 400, 600, 800, 1000, 2000, 4000, 10000, 20000};
}  // namespace

float roundAxisMinimum(float rawMinimum) {
    if (rawMinimum > 20000) return 20000;
    for (float rung : kMinimumLadder)
        if (rung < rawMinimum) return rung;
    return rawMinimum;  // at or below -20000
}

float roundAxisMaximum(float rawMaximum) {
    if (rawMaximum < 1) return 1;
    if (rawMaximum >= 10000) return 20000;
    for (float rung : kMaximumLadder)
        if (rung > rawMaximum) return rung;
    return 20000;
}

GraphAxis graphAxis(float rawMinimum, float rawMaximum) {
    GraphAxis axis;
    axis.minimum = roundAxisMinimum(rawMinimum);
    axis.maximum = roundAxisMaximum(rawMaximum);
    axis.step = (axis.maximum - axis.minimum) / 10;
    return axis;
}

GraphAxis graphAxis(const std::vector<const EstimateResult*>& curves, bool amounts) {
    float low = std::numeric_limits<float>::max(), high = std::numeric_limits<float>::lowest();
    for (const EstimateResult* r : curves)
        for (size_t m = 1; m <= 12; ++m) {
            low = std::min(low, r->Best[m] - 2 * r->StdErr[m]);
            high = std::max(high, r->Best[m] + 2 * r->StdErr[m]);
        }
    if (curves.empty()) low = high = 0;
    GraphAxis axis = graphAxis(low, high);
    // Precipitation, vapour pressure and the like: an interval reaching below zero says the
    // error is large, not that the amount may be negative, so the scale shows no negatives.
    if (amounts && axis.minimum < 0) {
        axis.minimum = 0;
        axis.step = axis.maximum / 10;
    }
    return axis;
}

}  // namespace zentrel::gui::single
