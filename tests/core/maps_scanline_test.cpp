// Topology arc decoding and even-odd scan-line filling, on hand-built rings.
#include "maps/scanline.h"

#include <gtest/gtest.h>

#include "error.h"
#include "maps/topology.h"

using namespace zentrel;

TEST(TopologyArcs, DeltaCodingAndQuantizationAreUndone) {
    const TopologyTransform t{0.5, 0.25, -180, -90};
    const Ring ring = decodeArc({{100, 40}, {2, -4}, {-1, 0}}, t);
    EXPECT_EQ(ring, (Ring{{-130, -80}, {-129, -81}, {-129.5, -81}}));
}

TEST(TopologyArcs, RingJoinsArcsDroppingSharedEndsAndReversesComplementedIndexes) {
    const std::vector<Ring> arcs = {{{0, 0}, {1, 0}, {1, 1}}, {{0, 0}, {0, 1}, {1, 1}}};
    // Arc 0 forward, then arc 1 backwards (~1 == -2): a closed square.
    const Ring ring = assembleRing({0, ~int64_t{1}}, arcs);
    EXPECT_EQ(ring, (Ring{{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}}));
    EXPECT_THROW(assembleRing({2}, arcs), Error);
    EXPECT_THROW(assembleRing({~int64_t{5}}, arcs), Error);
}

TEST(Scanline, SquareWithHoleFillsEvenOdd) {
    const Ring outer = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}};
    const Ring hole = {{4, 4}, {6, 4}, {6, 6}, {4, 6}};  // not closed: the last point joins the first
    const ScanlinePolygons polygons({outer, hole});
    EXPECT_EQ(polygons.insideRow(5, {-1, 1, 5, 9, 11}), (std::vector<bool>{false, true, false, true, false}));
    EXPECT_EQ(polygons.insideRow(11, {5}), std::vector<bool>{false});
}

TEST(Scanline, VertexOnTheScanLineCountsOnce) {
    // A diamond whose left and right corners lie on latitude 5: the line through them meets
    // the two lower-edge ends once each; a peak touching the line adds no crossing.
    const Ring diamond = {{0, 5}, {5, 0}, {10, 5}, {5, 10}};
    const ScanlinePolygons polygons({diamond});
    EXPECT_EQ(polygons.crossings(5).size() % 2, 0u);
    EXPECT_EQ(polygons.insideRow(5, {-1, 5, 11}), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(polygons.insideRow(10, {5}), std::vector<bool>{false});
}

TEST(Scanline, RingCrossingTheAntimeridianFillsBothMapEdges) {
    // An island from 178 E to 178 W, written as the map data writes it: a jump from 180 to -180.
    const Ring island = {{178, 0}, {180, 0}, {-180, 0}, {-178, 0}, {-178, 2}, {-180, 2}, {180, 2}, {178, 2}};
    const ScanlinePolygons polygons({island});
    EXPECT_EQ(polygons.insideRow(1, {-179.5, -170, 0, 170, 179.5, 180}),
              (std::vector<bool>{true, false, false, false, true, true}));
}

TEST(Scanline, RingAroundThePoleIsClosedAlongThePole) {
    // A polar cap whose coast runs at 80 S all round, without any closing edges of its own.
    const Ring cap = {{-180, -80}, {-90, -80}, {0, -80}, {90, -80}, {180, -80}};
    const ScanlinePolygons polygons({cap});
    EXPECT_EQ(polygons.insideRow(-85, {-179.9, 0, 179.9}), (std::vector<bool>{true, true, true}));
    EXPECT_EQ(polygons.insideRow(-75, {-179.9, 0, 179.9}), (std::vector<bool>{false, false, false}));
    // The same cap coming round the other way and with a jump across 180 in the middle.
    const Ring jumping = {{170, -80}, {90, -80}, {0, -80}, {-90, -80}, {-170, -80}, {170, -80.5}};
    EXPECT_EQ(ScanlinePolygons({jumping}).insideRow(-85, {-179.9, 0, 179.9}),
              (std::vector<bool>{true, true, true}));
}
