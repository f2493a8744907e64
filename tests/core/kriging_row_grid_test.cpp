// The kriging model's row work at the nodes of a grid: interpolated without a step between the
// nodes and across the antimeridian, never from nodes that were not computed, and the smearing
// factor at any kriging variance from its table.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "kriging/row_grid.h"

using namespace zentrel;

namespace {

// A grid of 30-degree cells over the whole globe whose work is a smooth function of the place.
float field(float lon, float lat) { return 0.01f * lon + 0.002f * lat * lat; }

RowGrid wholeGrid(double step) {
    std::vector<int32_t> nodes;
    const int columns = static_cast<int>(360 / step), latitudes = static_cast<int>(180 / step) + 1;
    for (int n = 0; n < columns * latitudes; ++n) nodes.push_back(n);
    RowGrid grid;
    grid.build(step, RowLayout{}, nodes, [](float lon, float lat, RowWork& out) {
        out.coef[2][1] = field(lon, lat);
        out.span[0] = 1 + field(lon, lat);
        out.s2[7] = 2 + field(lon, lat);
        out.lnSmear[4][3] = 0.1f * field(lon, lat);
        out.valid = 1;
    }, 2);
    return grid;
}

}  // namespace

TEST(KrigingRowGrid, NodesGiveTheirOwnWorkAndPlacesBetweenThemNoStep) {
    const RowGrid grid = wholeGrid(30);
    RowWork w;
    for (const auto& [lon, lat] : std::vector<std::pair<float, float>>{{-180, -90}, {0, 0}, {150, 60}, {-30, 90}}) {
        ASSERT_TRUE(grid.at(lon, lat, w));
        const float lonNode = lon >= 180 ? lon - 360 : lon;
        EXPECT_FLOAT_EQ(w.coef[2][1], field(lonNode, lat)) << lon << " " << lat;
        EXPECT_FLOAT_EQ(w.s2[7], 2 + field(lonNode, lat)) << lon << " " << lat;
    }
    // Transects across node lines and the lines halfway between them: each step of the
    // interpolated work is within the field's own change over it (a step at a line would be many
    // times that), and at the antimeridian the west and east ends meet.
    for (const bool alongLatitude : {true, false}) {
        float before = 0;
        for (int k = 0; k <= 2000; ++k) {
            const float t = -50 + 0.05f * static_cast<float>(k);
            const float lon = alongLatitude ? t : 37, lat = alongLatitude ? 47 : t;
            ASSERT_TRUE(grid.at(lon, lat, w));
            if (k > 0) {
                EXPECT_LE(std::fabs(w.coef[2][1] - before), 0.05f * 0.31f) << lon << " " << lat;
            }
            before = w.coef[2][1];
        }
    }
    RowWork west, east;
    ASSERT_TRUE(grid.at(179.9999f, 12, west));
    ASSERT_TRUE(grid.at(-180, 12, east));
    EXPECT_NEAR(west.coef[2][1], east.coef[2][1], 1e-4f);
    ASSERT_TRUE(grid.at(540, 12, east)) << "longitudes wrap";
    EXPECT_NEAR(west.coef[2][1], east.coef[2][1], 1e-4f);
}

TEST(KrigingRowGrid, AMissingNodeSendsThePlaceToTheDirectWorkAndNodesWithoutRowsGiveNoError) {
    // Nodes 0 and 1 of the southernmost row and 12 and 13 above them: one cell (lon -180..-150,
    // lat -90..-60), 12 columns of 30 degrees. Node 13 had no rows within the kernel's reach.
    const auto work = [](float lon, float lat, RowWork& out) {
        const int k = (lon > -170 ? 1 : 0) + (lat > -80 ? 2 : 0);
        out.coef[0][0] = static_cast<float>(k);
        out.s2[0] = k == 3 ? 1000 : 4;
        out.valid = k == 3 ? 0 : 1;
    };
    RowGrid grid;
    grid.build(30, RowLayout{}, {0, 1, 12, 13}, work, 1);
    RowWork w;
    ASSERT_TRUE(grid.at(-165, -75, w));
    EXPECT_FLOAT_EQ(w.s2[0], 4) << "the residuals' figures come from the nodes that have them";
    EXPECT_EQ(w.valid, 1);
    EXPECT_FLOAT_EQ(w.coef[0][0], 1.5f) << "the coefficients from all four";
    EXPECT_FALSE(grid.at(-140, -80, w)) << "a cell with a node not computed";
    EXPECT_FALSE(grid.at(-170, -50, w));
    // A model without local fits keeps no coefficients: the place's stay as they were given.
    const RowLayout noFit{6, false, true};
    grid.build(30, noFit, {0, 1, 12, 13}, work, 1);
    EXPECT_EQ(grid.packed().size(), 4 * noFit.floats());
    w.coef[0][0] = -7;
    ASSERT_TRUE(grid.at(-165, -75, w));
    EXPECT_EQ(w.coef[0][0], -7);
    EXPECT_FLOAT_EQ(w.s2[0], 4);
    const std::vector<float> packed = grid.packed();
    EXPECT_FALSE(grid.assign(30, noFit, {0, 1, 12, 12}, packed)) << "a node twice";
    EXPECT_FALSE(grid.assign(7, noFit, {0, 1, 12, 13}, packed)) << "a step that does not divide the globe";
    EXPECT_FALSE(grid.assign(30, RowLayout{}, {0, 1, 12, 13}, packed)) << "numbers of another layout";
    EXPECT_FALSE(grid.at(-170, -80, w)) << "a grid refused is empty";
}

TEST(KrigingRowGrid, SmearingFactorAtAnyVarianceFollowsItsTable) {
    // ln of the mean of exp(z s) over residuals z: the table at the steps, the cubic between.
    const std::vector<double> z = {-1.2, -0.4, 0.1, 0.3, 0.9, 1.6};
    const auto exact = [&](double s) {
        double sum = 0;
        for (double v : z) sum += std::exp(v * s);
        return std::log(sum / static_cast<double>(z.size()));
    };
    std::array<float, kSmearSteps> table{};
    for (int i = 0; i < kSmearSteps; ++i) table[static_cast<size_t>(i)] = static_cast<float>(exact((i + 1) * kSmearStep));
    EXPECT_EQ(lnSmearAt(table, 0), 0) << "no variance, no smearing";
    for (int i = 0; i < kSmearSteps; ++i) {
        const double s = (i + 1) * kSmearStep;
        EXPECT_NEAR(lnSmearAt(table, s * s), table[static_cast<size_t>(i)], 1e-6) << s;
    }
    for (double s = 0.01; s < kSmearSteps * kSmearStep; s += 0.0137) EXPECT_NEAR(lnSmearAt(table, s * s), exact(s), 2e-5) << s;
    EXPECT_NEAR(lnSmearAt(table, 100), table.back(), 1e-6) << "beyond the last step, the last";
}

TEST(KrigingRowGrid, DeferredNodesAreComputedOnceWhenAPlaceNeedsThemAndEqualThoseComputedAhead) {
    const RowLayout layout{6, true, true};
    const auto work = [](float lon, float lat, RowWork& out) {
        for (size_t m = 0; m < 12; ++m) {
            out.coef[m][2] = field(lon, lat) + static_cast<float>(m);
            out.s2[m] = 1 + field(lon, lat);
            out.lnSmear[m][5] = 0.01f * lat;
        }
        out.span[1] = 2;
        out.valid = lat > 0 ? 1 : 0;
    };
    std::vector<int32_t> nodes;
    for (int n = 0; n < 12 * 7; ++n) nodes.push_back(n);
    RowGrid ahead, deferred;
    ahead.build(30, layout, nodes, work, 2);
    std::atomic<int> calls{0};
    deferred.defer(30, layout, nodes, [&](float lon, float lat, RowWork& out) {
        ++calls;
        work(lon, lat, out);
    });
    EXPECT_EQ(calls, 0);
    RowWork a, d;
    ASSERT_TRUE(deferred.at(-165, 15, d));
    EXPECT_EQ(calls, 4) << "the four nodes around the place";
    ASSERT_TRUE(deferred.at(-160, 20, d));
    EXPECT_EQ(calls, 4) << "a node is computed once";
    // Many threads asking at once still compute each node once, and every place gets what the
    // grid computed ahead gives.
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&deferred] {
            RowWork w;
            for (float lon = -179.5f; lon < 180; lon += 7.3f) deferred.at(lon, 33, w);
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(calls, 4 + 2 * 12 - 2) << "the nodes of the rows at 30 and 60 N, once each";
    for (float lon = -179.5f; lon < 180; lon += 11.1f)
        for (float lat = -89.5f; lat < 90; lat += 13.7f) {
            ASSERT_TRUE(ahead.at(lon, lat, a));
            ASSERT_TRUE(deferred.at(lon, lat, d));
            EXPECT_EQ(std::memcmp(&a, &d, sizeof(RowWork)), 0) << lon << " " << lat;
        }
}
