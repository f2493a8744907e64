// The world's records and the neighbour envelope at their edges: each margin, factor and cap
// worked out by hand from one or two neighbours.
#include "base/records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "base/types.h"

using namespace zentrel;

TEST(NeighbourEnvelope, EachMarginFactorAndCapAtItsEdge) {
    struct Case {
        const char* what;
        int variable;
        std::vector<EnvelopeNeighbour> neighbours;
        float alt;
        float low, high;
    };
    const std::vector<Case> cases = {
        {"temperature: 3 C either side", Temp, {{10, 500}}, 500, 7, 13},
        {"temperature 1 km above: -9.8 to +5 K per km, then 3 C", Tmax, {{10, 500}}, 1500, -2.8f, 18},
        {"temperature 1 km below", Tmin, {{10, 1500}, {12, 1500}}, 500, 2, 24.8f},
        {"temperature of unknown altitude moves nowhere", Temp, {{10, kUnknown}}, 1500, 7, 13},
        {"temperature within the records", Temp, {{40.5f, 0}}, 0, 37.5f, 42},
        {"precipitation: driest / 1.5, wettest x 1.5 + 5 mm", Prec, {{20, 0}, {60, 0}}, 0, 20 / 1.5f, 95},
        {"precipitation 1 km above: a factor 2 more", Prec, {{20, 0}}, 1000, 20 / 3.0f, 65},
        {"precipitation 4 km above: 3 km counted", Prec, {{20, 0}}, 4000, 20 / 12.0f, 245},
        {"precipitation within the monthly record", Prec, {{3000, 0}}, 0, 2000, 4000},
        {"vapour pressure: + 1 hPa", Vap, {{10, 0}}, 0, 10 / 1.5f, 16},
        {"PET: + 5 mm", PET, {{100, 0}}, 0, 100 / 1.5f, 155},
        {"wind: + 0.5 m/s", Wind, {{4, 0}}, 0, 4 / 1.5f, 6.5f},
        {"sunshine: 0.15 either side, whatever the altitude", Sun, {{0.5f, 0}}, 2000, 0.35f, 0.65f},
        {"sunshine within 0..1", Sun, {{0.9f, 0}}, 0, 0.75f, 1},
        {"no neighbour: the records", Prec, {}, 0, 0, 4000},
    };
    for (const Case& c : cases) {
        const ValueRange r = neighbourEnvelope(c.variable, c.neighbours.data(), static_cast<int>(c.neighbours.size()), c.alt);
        EXPECT_NEAR(r.low, c.low, 1e-4f * std::max(1.0f, std::fabs(c.low))) << c.what;
        EXPECT_NEAR(r.high, c.high, 1e-4f * std::max(1.0f, std::fabs(c.high))) << c.what;
    }
}
