// The kriging model's index of its leave-one-out rows: the rows it hands out for a place hold
// exactly the nearest ones a scan of every row finds, wherever the place is (the date line,
// the poles, a sparse ocean, a dense cluster) and however many rows are wanted.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "kriging/kriging.h"
#include "kriging/row_index.h"

using namespace zentrel;

namespace {

KrigingRow rowAt(float lon, float lat) {
    KrigingRow row;
    row.lon = lon;
    row.lat = lat;
    const SpherePoint p = spherePoint(lon, lat);
    for (int i = 0; i < 3; ++i) row.unit[i] = p.unit[i];
    return row;
}

// A world of rows: a dense cluster (a national network), a scatter over the globe, rows on
// both sides of the date line, a few near each pole, and rows at one position (tied cosines).
std::vector<KrigingRow> worldOfRows() {
    std::vector<KrigingRow> rows;
    uint64_t state = 47;
    const auto next = [&state] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<float>((state >> 33) % 1000000) / 1000000.0f;
    };
    for (int i = 0; i < 1500; ++i) rows.push_back(rowAt(5 + 10 * next(), 45 + 8 * next()));
    for (int i = 0; i < 2000; ++i) rows.push_back(rowAt(-180 + 360 * next(), -90 + 180 * next()));
    for (int i = 0; i < 200; ++i) rows.push_back(rowAt(next() < 0.5f ? 179.9f - next() : -179.9f + next(), -20 + 40 * next()));
    for (int i = 0; i < 30; ++i) rows.push_back(rowAt(-180 + 360 * next(), 88.5f + next()));
    for (int i = 0; i < 30; ++i) rows.push_back(rowAt(-180 + 360 * next(), -88.5f - next()));
    for (int i = 0; i < 12; ++i) rows.push_back(rowAt(10.25f, 47.5f));
    return rows;
}

// The `count` smallest (minus cosine, row) pairs of a pair list, sorted.
std::vector<std::pair<double, int>> nearest(std::vector<std::pair<double, int>> pairs, size_t count) {
    std::sort(pairs.begin(), pairs.end());
    pairs.resize(std::min(pairs.size(), count));
    return pairs;
}

}  // namespace

TEST(KrigingRowIndex, HandsOutTheNearestRowsOfAFullScan) {
    const std::vector<KrigingRow> rows = worldOfRows();
    const RowIndex index(rows);
    const std::vector<std::pair<float, float>> places = {
        {10.25f, 47.5f},   // on the tied rows, inside the cluster
        {9.0f, 49.0f},     // the cluster's edge
        {179.95f, 0.0f},   // the date line, from the east
        {-179.95f, 5.0f},  // and from the west
        {0.0f, 89.9f},     // the north pole
        {120.0f, -89.9f},  // the south pole
        {-140.0f, -50.0f}, // open ocean, sparse
        {60.0f, 70.0f},    // high latitude, wide cap in longitude
    };
    for (const size_t count : {size_t{1}, size_t{12}, size_t{150}, size_t{600}, rows.size() - 1, rows.size() + 5}) {
        for (const auto& [lon, lat] : places) {
            const SpherePoint at = spherePoint(lon, lat);
            std::vector<std::pair<double, int>> all;
            for (size_t j = 0; j < rows.size(); ++j)
                all.emplace_back(-(at.unit[0] * rows[j].unit[0] + at.unit[1] * rows[j].unit[1] + at.unit[2] * rows[j].unit[2]),
                                 static_cast<int>(j));
            std::vector<std::pair<double, int>> found;
            index.candidates(rows, at, count, found);
            EXPECT_EQ(nearest(found, count), nearest(all, count)) << "count " << count << " at " << lon << ", " << lat;
        }
    }
}

TEST(KrigingRowIndex, AnEmptyModelHandsOutNothing) {
    const std::vector<KrigingRow> rows;
    const RowIndex index(rows);
    std::vector<std::pair<double, int>> found = {{0.0, 3}};
    index.candidates(rows, spherePoint(0, 0), 600, found);
    EXPECT_TRUE(found.empty());
}
