// The cross-validation's pair tables are kept between estimates: whatever they take over from
// the last neighbour set must give the bits a fresh computation gives.
#include "engine/neighbour_pairs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

using namespace zentrel;

namespace {
uint32_t state = 5;
float next(float lo, float hi) {
    state = state * 1664525u + 1013904223u;
    return lo + (hi - lo) * static_cast<float>(state >> 8) / 16777216.0f;
}
}  // namespace

TEST(NeighbourPairs, KeptTablesGiveTheBitsOfFreshOnes) {
    // A pool of stations around one region; each set draws some of them, often the last set's.
    std::vector<SpherePoint> pool;
    for (int k = 0; k < 40; ++k) pool.push_back(spherePoint(next(8, 14), next(44, 48)));
    NeighbourPairs kept;
    int reuse[3] = {};
    std::vector<int> lastOf[3];  // each slot's last set
    for (int round = 0; round < 600; ++round) {
        // Slots take turns; a slot's set usually grows out of its last one, sometimes out of
        // another slot's.
        const int slot = round % 3;
        std::vector<int> pick = lastOf[round % 10 == 4 ? (slot + 1) % 3 : slot];
        if (pick.empty() || round % 5 == 0) pick.clear();
        while (pick.size() < 3 || (pick.size() < 20 && next(0, 1) < 0.9f)) {
            const int k = static_cast<int>(next(0, 39.99f));
            if (std::find(pick.begin(), pick.end(), k) == pick.end()) pick.push_back(k);
        }
        if (round % 3 == 1 && pick.size() > 4) pick.erase(pick.begin() + 2);  // one leaves, the rest move up
        if (round % 7 == 2) std::swap(pick.front(), pick.back());
        lastOf[slot] = pick;
        const PairSettings settings{round % 11 == 0 ? 2.0f : 1.0f, kDefaultDistEpsilon, round % 13 == 0 ? 0.5f : 1.0f,
                                    round % 17 != 0};
        std::array<const SpherePoint*, kMaxPairPoints> points{};
        const int n = static_cast<int>(pick.size());
        for (int a = 0; a < n; ++a) points[static_cast<size_t>(a)] = &pool[static_cast<size_t>(pick[static_cast<size_t>(a)])];
        kept.update(points, n, settings, slot);
        ++reuse[kept.lastReuse()];
        NeighbourPairs fresh;
        fresh.update(points, n, settings);
        for (int a = 0; a < n; ++a) ASSERT_EQ(kept.leaveOneOut(a), fresh.leaveOneOut(a)) << "round " << round << " point " << a;
    }
    // Every path was taken: all kept, some pairs kept, none.
    EXPECT_GT(reuse[0], 0);
    EXPECT_GT(reuse[1], 0);
    EXPECT_GT(reuse[2], 0);
}

// For the usual powers the weight is taken by a division where that cannot change the result.
TEST(NeighbourPairs, InverseDistanceWeightsAreThePowerBits) {
    for (int k = 0; k < 200000; ++k) {
        const float d = k % 2 ? next(0, 3000) : std::exp(next(-20, 9));
        for (float p : {1.0f, 2.0f, 1.5f})
            ASSERT_EQ(inverseDistanceWeight(d, p), static_cast<float>(std::pow(static_cast<double>(d), -static_cast<double>(p)))) << d;
    }
    EXPECT_EQ(inverseDistanceWeight(0, 1), 0.0f);
}
