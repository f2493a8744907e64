// Distances, directions and compass sectors against hand-worked values.
#include "base/geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "fixture.h"

using namespace zentrel;

// The tolerances are a few single-precision steps: an Earth radius of 6371 km instead of 6370.997
// moves the quarter circle by 4.7 m and the third of a circle by 6.3 m, beyond them.
TEST(Distance, ArcsAreTheRadiusOf6370997MetresAndSinglePrecisionMakesNearPointsAndAntipodesZero) {
    EXPECT_EQ(Distance(10, 20, 10, 20), 0.0f);
    EXPECT_NEAR(Distance(0, 0, 0, 90), 6370.997 * M_PI / 2, 0.002);
    EXPECT_NEAR(Distance(0, 0, 120, 0), 6370.997 * M_PI * 2 / 3, 0.003);
    EXPECT_NEAR(Distance(-30, 0, 30, 0), 6370.997 * M_PI / 3, 0.0015);
    // 50 m apart: the cosine of the central angle rounds to 1 in single precision.
    EXPECT_EQ(Distance(12.0f, 41.0f, 12.0f, 41.00045f), 0.0f);
    EXPECT_GT(Distance(12.0f, 41.0f, 12.0f, 41.05f), 5.0f);
    EXPECT_EQ(Distance(0, 0, 180, 0), 0.0f);
}

TEST(Direction, HandWorkedBearingsNearFarAtThePolesAndAcrossTheDateLine) {
    const struct { double lon1, lat1, lon2, lat2, degrees; const char* sector; } cases[] = {
        {10, 10, 10, 10.005, 9999, "X "},  // near case with an equal coordinate: no direction
        // Near cases, quadrants from both signs; then far ones, from and to the poles.
        {10, 10, 10.005, 10.005, 45, "NE"}, {10, 10, 9.995, 9.995, 225, "SW"}, {10, 10, 10.005, 9.995, 135, "SE"},
        {10, 10, 9.995, 10.005, 315, "NW"}, {0, 0, 1, 0, 90, "E "},           {0, 0, -1, 0, 270, "W "},
        {10, 90, 50, 40, 180, "S "},        {10, -90, 50, 40, 0, "N "},        {10, 40, 50, 90, 0, "N "},
        {10, 40, 50, -90, 180, "S "},       {0, 0, 180, 0, 9999, "X "},  // antipode
        // cosA > 0.9999 gives 0, and the east/west step still turns a western target into 360.
        {10, 10, 9.99999, 20, 360, "N "},   {10, 10, 10, 20, 0, "N "},
        {179, 0, -179, 0, 90, "E "},        {-179, 0, 179, 0, 270, "W "},
    };
    for (const auto& c : cases) {
        const double d = Direction(c.lon1, c.lat1, c.lon2, c.lat2);
        EXPECT_NEAR(d, c.degrees, 1e-6) << c.lon1 << " " << c.lat1 << " to " << c.lon2 << " " << c.lat2;
        EXPECT_EQ(SectorName(static_cast<float>(d)), c.sector) << d;
    }
}

TEST(SectorName, BoundariesBelongToTheSectorClockwise) {
    const std::pair<float, const char*> cases[] = {{0, "N "},      {22.4f, "N "},  {22.5f, "NE"},  {67.5f, "E "},
                                                   {157.5f, "S "}, {180, "S "},    {202.5f, "SW"}, {292.5f, "NW"},
                                                   {337.4f, "NW"}, {337.5f, "N "}, {9999, "X "}};
    for (const auto& [degrees, sector] : cases) EXPECT_EQ(SectorName(degrees), sector) << degrees;
}

// The cached-trigonometry overloads the cross-validation uses must give the plain calls' bits,
// and Distance must be symmetric, since each pair is measured once.
TEST(Geometry, SpherePointOverloadsAndSymmetryGiveThePlainBits) {
    test::Random rng{99};
    for (int k = 0; k < 20000; ++k) {
        const float lon1 = rng.uniform(-180, 180), lat1 = rng.uniform(-90, 90);
        // Mostly near pairs, some far, some within the 0.01-degree plane case.
        const float spread = k % 3 == 0 ? 0.005f : (k % 3 == 1 ? 5.0f : 170.0f);
        const float lon2 = lon1 + rng.uniform(-spread, spread), lat2 = std::clamp(lat1 + rng.uniform(-spread, spread), -90.0f, 90.0f);
        const SpherePoint a = spherePoint(lon1, lat1), b = spherePoint(lon2, lat2);
        ASSERT_EQ(Distance(a, b), Distance(lon1, lat1, lon2, lat2));
        ASSERT_EQ(Distance(b, a), Distance(lon1, lat1, lon2, lat2));
        ASSERT_EQ(arcDistance(centralCosine(a, b)), Distance(a, b));
        if (std::fabs(lon2) <= 180) {  // the rough cosine is for positions within the usual ranges
            ASSERT_NEAR(roughCosine(a.unit, b.unit), centralCosine(a, b), kRoughCosineError / 2);
        }
        ASSERT_EQ(Direction(a, b), Direction(lon1, lat1, lon2, lat2));
        // Both bearings of a pair share its terms; the heading is close to the cosine and sine
        // of the degrees' radians.
        const ArcTerms arc = arcTerms(a, b), back = arcTerms(b, a);
        ASSERT_EQ(arc.cosArc, back.cosArc);
        ASSERT_EQ(arc.sinArc, back.sinArc);
        const Bearing by = bearing(a, b, back);
        const double d = by.degrees();
        ASSERT_EQ(d, Direction(a, b));
        ASSERT_EQ(bearing(b, a, arc).degrees(), Direction(lon2, lat2, lon1, lat1));
        ASSERT_NEAR(by.heading.cos, std::cos(d * 3.1415926535 / 180.0), 1e-13) << d;
        ASSERT_NEAR(by.heading.sin, std::sin(d * 3.1415926535 / 180.0), 1e-13) << d;
    }
}

// The selection passes over candidates by their cosine alone: a cosine lower by 1e-6 must be
// strictly farther, and a lower one never nearer, over the whole range and near both ends.
TEST(Geometry, ArcDistanceFallsWithTheCosine) {
    test::Random rng{7};
    for (int k = 0; k < 200000; ++k) {
        float x = rng.uniform(-1, 1);
        if (k % 4 == 1) x = 1.0f - rng.uniform(0, 1e-4f);
        if (k % 4 == 2) x = -1.0f + rng.uniform(0, 1e-4f);
        const float lower = std::nextafter(x, -2.0f), far = x - 1e-6f - rng.uniform(0, 1e-5f);
        if (!arcIsRegular(x) || !arcIsRegular(far)) continue;
        if (arcIsRegular(lower)) {
            ASSERT_GE(arcDistance(lower), arcDistance(x)) << x;
        }
        ASSERT_GT(arcDistance(far), arcDistance(x)) << x;
    }
    EXPECT_EQ(arcDistance(1.0f), 0.0f);
    EXPECT_EQ(arcDistance(-1.0f), 0.0f);  // antipodal: no direction, distance 0
}
