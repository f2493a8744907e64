// The stations held out of a search: every held position is held, whatever the sieve in front of
// the search lets through, and -0 is the position 0.
#include <gtest/gtest.h>

#include <vector>

#include "data/station_database.h"
#include "fixture.h"

using namespace zentrel;

namespace {
Station at(float lon, float lat) { return test::makeStation(lon, lat, 0, 0); }
}  // namespace

TEST(StationExclusion, HoldsEveryHeldPositionAndNoOther) {
    std::vector<std::pair<float, float>> held;
    for (int k = 0; k < 3000; ++k) held.emplace_back(-20.0f + 0.013f * static_cast<float>(k), 10.0f + 0.007f * static_cast<float>(k % 97));
    const StationExclusion exclusion(held);
    for (const auto& [lon, lat] : held) ASSERT_TRUE(exclusion.contains(at(lon, lat))) << lon << " " << lat;
    int wrong = 0;
    for (int k = 0; k < 3000; ++k) wrong += exclusion.contains(-20.0f + 0.013f * static_cast<float>(k), 10.0f + 0.007f * static_cast<float>(k % 97) + 0.5f);
    EXPECT_EQ(wrong, 0);
}

TEST(StationExclusion, MinusZeroIsTheSamePositionAsZero) {
    const StationExclusion exclusion({{0.0f, 51.48f}, {-0.0f, -0.0f}});
    EXPECT_TRUE(exclusion.contains(at(-0.0f, 51.48f)));
    EXPECT_TRUE(exclusion.contains(at(0.0f, 0.0f)));
    EXPECT_FALSE(StationExclusion().contains(at(0.0f, 51.48f)));
}
