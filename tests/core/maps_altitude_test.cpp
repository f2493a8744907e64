// Altitude classes of the terrain maps.
#include "maps/altitude_classes.h"

#include <gtest/gtest.h>

using namespace zentrel;

TEST(AltitudeClasses, FirstBoundAboveTheAltitudeDecides) {
    const std::pair<double, const char*> cases[] = {{-0.5, " < 0 m"},          {0, " 0 < 99 m"},          {99.9, " 0 < 99 m"},
                                                    {100, " 99 - 199 m"},      {1199, " 1000 - 1199 m"},  {2000, " 2000 - 2499 m"},
                                                    {4999, " 4500 - 4999 m"},  {5000, " > 5000 m"}};
    for (const auto& [altitude, label] : cases) EXPECT_STREQ(altitudeClassOf(altitude).Label, label) << altitude;
}
