// The kriging model's table of stations by position: every position set is found with its
// number, the last number of a position given twice, nothing for a position never set.
#include <gtest/gtest.h>

#include <cmath>

#include "kriging/position_table.h"

using namespace zentrel;

TEST(PositionTable, FindsEveryPositionSetThroughItsGrowthAndNoOther) {
    PositionTable table;
    EXPECT_EQ(table.find(10.0f, 45.0f), PositionTable::kNone);
    // A dense network on a 0.01-degree grid: neighbouring keys differ in a few low bits.
    for (uint32_t k = 0; k < 5000; ++k) table.set(5.0f + 0.01f * static_cast<float>(k % 100), 47.0f + 0.01f * static_cast<float>(k / 100), k);
    for (uint32_t k = 0; k < 5000; ++k)
        ASSERT_EQ(table.find(5.0f + 0.01f * static_cast<float>(k % 100), 47.0f + 0.01f * static_cast<float>(k / 100)), k) << k;
    EXPECT_EQ(table.find(5.0f, 46.99f), PositionTable::kNone);
    EXPECT_EQ(table.find(47.0f, 5.0f), PositionTable::kNone);  // longitude and latitude swapped
    EXPECT_EQ(table.find(std::nextafter(5.0f, 6.0f), 47.0f), PositionTable::kNone);
}

TEST(PositionTable, APositionSetTwiceKeepsItsLastNumber) {
    PositionTable table;
    table.reserve(4);
    table.set(-70.5f, -33.4f, 1);
    table.set(-70.5f, -33.4f, 7);
    table.set(139.7f, 35.7f, 2);
    EXPECT_EQ(table.find(-70.5f, -33.4f), 7u);
    EXPECT_EQ(table.find(139.7f, 35.7f), 2u);
}
