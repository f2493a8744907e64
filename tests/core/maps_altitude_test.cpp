// Altitude classes of the terrain maps.
#include "maps/altitude_classes.h"

#include <gtest/gtest.h>

using namespace zentrel;

TEST(AltitudeClasses, FirstBoundAboveTheAltitudeDecides) {
    EXPECT_STREQ(altitudeClassOf(-0.5).Label, " < 0 m");
    EXPECT_STREQ(altitudeClassOf(0).Label, " 0 < 99 m");
    EXPECT_STREQ(altitudeClassOf(99.9).Label, " 0 < 99 m");
    EXPECT_STREQ(altitudeClassOf(100).Label, " 99 - 199 m");
    EXPECT_STREQ(altitudeClassOf(1199).Label, " 1000 - 1199 m");
    EXPECT_STREQ(altitudeClassOf(2000).Label, " 2000 - 2499 m");
    EXPECT_STREQ(altitudeClassOf(4999).Label, " 4500 - 4999 m");
    EXPECT_STREQ(altitudeClassOf(5000).Label, " > 5000 m");
    EXPECT_EQ(altitudeClasses().size(), 23u);
    EXPECT_STREQ(altitudeClasses().front().Label, " > 5000 m");
}
