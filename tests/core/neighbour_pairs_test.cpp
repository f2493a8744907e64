// The cross-validation's pair tables are kept between estimates: whatever they take over from
// the last neighbour set must give the bits a fresh computation gives.
#include "engine/neighbour_pairs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "fixture.h"

using namespace zentrel;

TEST(NeighbourPairs, KeptTablesGiveTheBitsOfFreshOnes) {
    // A pool of stations around one region; each set draws some of them, often the last set's.
    test::Random rng{5};
    std::vector<SpherePoint> pool;
    for (int k = 0; k < 40; ++k) pool.push_back(spherePoint(rng.uniform(8, 14), rng.uniform(44, 48)));
    NeighbourPairs kept;
    int reuse[3] = {};
    std::vector<int> lastOf[3];  // each slot's last set
    for (int round = 0; round < 600; ++round) {
        // Slots take turns; a slot's set usually grows out of its last one, sometimes out of
        // another slot's.
        const int slot = round % 3;
        std::vector<int> pick = lastOf[round % 10 == 4 ? (slot + 1) % 3 : slot];
        if (pick.empty() || round % 5 == 0) pick.clear();
        while (pick.size() < 3 || (pick.size() < 20 && rng.uniform(0, 1) < 0.9f)) {
            const int k = static_cast<int>(rng.uniform(0, 39.99f));
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
    for (int path : reuse) EXPECT_GT(path, 0);
}

// For the usual powers the weight is taken by a division where that cannot change the result.
TEST(NeighbourPairs, InverseDistanceWeightsAreThePowerBits) {
    test::Random rng{5};
    for (int k = 0; k < 200000; ++k) {
        const float d = k % 2 ? rng.uniform(0, 3000) : std::exp(rng.uniform(-20, 9));
        for (float p : {1.0f, 2.0f, 1.5f})
            ASSERT_EQ(inverseDistanceWeight(d, p), static_cast<float>(std::pow(static_cast<double>(d), -static_cast<double>(p)))) << d;
    }
    EXPECT_EQ(inverseDistanceWeight(0, 1), 0.0f);
}
