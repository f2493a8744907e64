// Climate emulator of the demonstration database: the physical relations it promises, its
// invariants over many noisy sites, and a generator that never changes its numbers.
#include "data/demo_climate.h"

#include <gtest/gtest.h>

#include <cmath>

#include "data/penman.h"
#include "fixture.h"

using namespace zentrel;

namespace {
DemoSite siteAt(double lat, double continentality, double alt = 0, double rise = 0) {
    DemoSite s;
    s.lon = 10;
    s.lat = lat;
    s.alt = alt;
    s.continentality = continentality;
    s.windwardRise = rise;
    return s;
}
// The annual temperature range, the warmest month and the annual precipitation of a site without noise.
struct Year {
    double range, prec = 0;
    int warmest = 1;
};
Year yearAt(double lat, double continentality, double alt = 0, double rise = 0) {
    const DemoNormals n = emulateNormals(siteAt(lat, continentality, alt, rise), nullptr);
    Year y;
    double lo = 1e9;
    for (int m = 1; m <= 12; ++m) {
        lo = std::min(lo, static_cast<double>(n.temp[m]));
        if (n.temp[m] > n.temp[y.warmest]) y.warmest = m;
        y.prec += n.prec[m];
    }
    y.range = n.temp[y.warmest] - lo;
    return y;
}
}  // namespace

TEST(DemoClimate, LapseRateSeasonsAndHemispheres) {
    const DemoNormals low = emulateNormals(siteAt(45, 0.3, 0), nullptr);
    const DemoNormals high = emulateNormals(siteAt(45, 0.3, 1000), nullptr);
    for (int m = 1; m <= 12; ++m) EXPECT_NEAR(low.temp[m] - high.temp[m], 6.5, 0.11) << m;

    EXPECT_GT(yearAt(60, 0.9).range, yearAt(60, 0.1).range + 5);
    EXPECT_GT(yearAt(60, 0.1).range, yearAt(20, 0.1).range + 3);
    EXPECT_LT(yearAt(0, 0.1).range, 2);

    const int north = yearAt(50, 0.5).warmest, south = yearAt(-50, 0.5).warmest;
    EXPECT_TRUE(north >= 6 && north <= 8) << north;
    EXPECT_TRUE(south == 12 || south <= 2) << south;
}

TEST(DemoClimate, PrecipitationZonesAndOrography) {
    const double subtropics = yearAt(25, 0.2).prec, stormTrack = yearAt(50, 0.2).prec;
    EXPECT_GT(yearAt(0, 0.2).prec, 1500);
    EXPECT_LT(subtropics, 300);
    EXPECT_GT(stormTrack, 2 * subtropics);
    EXPECT_LT(yearAt(80, 0.2).prec, stormTrack / 2);
    EXPECT_GT(yearAt(50, 0.8).prec, 0);
    EXPECT_LT(yearAt(50, 0.8).prec, stormTrack);  // drier inland
    const double flat = yearAt(45, 0.2, 500, 0).prec;
    EXPECT_GT(yearAt(45, 0.2, 500, 800).prec, 1.5 * flat);   // windward slope
    EXPECT_LT(yearAt(45, 0.2, 500, -800).prec, 0.7 * flat);  // rain shadow
}

TEST(DemoClimate, InvariantsHoldAtNoisySitesEverywhere) {
    DemoRandom places(7);
    for (int k = 0; k < 3000; ++k) {
        const DemoSite site = siteAt(-90 + 180 * places.uniform(), places.uniform(), 5000 * places.uniform(),
                                     3000 * (places.uniform() - 0.5));
        DemoRandom noise(static_cast<uint64_t>(k));
        const DemoNormals n = emulateNormals(site, &noise);
        for (int m = 1; m <= 12; ++m) {
            SCOPED_TRACE(testing::Message() << "site " << k << " lat " << site.lat << " month " << m);
            EXPECT_GT(n.tmax[m], n.temp[m]);
            EXPECT_LT(n.tmin[m], n.temp[m]);
            EXPECT_NEAR((n.tmax[m] + n.tmin[m]) / 2, n.temp[m], 0.11);
            EXPECT_GE(n.prec[m], 0);
            EXPECT_GE(n.vap[m], 0);  // 0.0 hPa after rounding in the coldest places
            EXPECT_LE(n.vap[m], saturationVapourPressure(n.temp[m]) + 0.05);
            EXPECT_GE(n.sun[m], 0);
            EXPECT_LE(n.sun[m], 1);
            EXPECT_GT(n.wind[m], 0);
            EXPECT_GE(n.pet[m], 0);
        }
    }
}

TEST(DemoClimate, RandomNumbersArePinned) {
    // The database must not change with the library: these numbers are our own arithmetic.
    DemoRandom r(42);
    EXPECT_EQ(r.next(), 0xBDD732262FEB6E95ull);
    EXPECT_EQ(r.next(), 0x28EFE333B266F103ull);
    DemoRandom g(1);
    double sum = 0, squares = 0;
    for (int k = 0; k < 100000; ++k) {
        const double x = g.normal();
        sum += x;
        squares += x * x;
    }
    EXPECT_NEAR(sum / 100000, 0, 0.02);
    EXPECT_NEAR(squares / 100000, 1, 0.02);
    DemoRandom a(99), b(99);
    EXPECT_EQ(emulateNormals(siteAt(30, 0.5), &a).prec[7], emulateNormals(siteAt(30, 0.5), &b).prec[7]);
}

TEST(DemoClimate, GeographyMeasuresDistanceFromTheSea) {
    // A square continent from 0 to 40 east and 0 to 40 north in an ocean, 200 m high.
    test::TempFolder folder("demo_geo");
    std::string bytes(static_cast<size_t>(kTerrainColumns) * kTerrainRows, '\xff');
    for (int row = 50 * 12; row < 90 * 12; ++row)
        for (int col = 180 * 12; col < 220 * 12; ++col) bytes[static_cast<size_t>(row) * kTerrainColumns + col] = 12;
    folder.write(kTerrainFileName, bytes);
    const TerrainRaster raster(folder.str());
    const DemoGeography geography(raster);
    EXPECT_NEAR(geography.seaDistance(20, 20), 20 * 111.2 * std::cos(20 * 3.14159 / 180), 120);
    EXPECT_EQ(geography.seaDistance(-20, 20), 0);
    EXPECT_NEAR(geography.westSeaDistance(30, 35), 30 * 111.2 * std::cos(35 * 3.14159 / 180), 80);
    const DemoSite coast = geography.site(0.5, 20, 200), inland = geography.site(20, 20, 200);
    EXPECT_LT(coast.continentality, 0.15);
    EXPECT_GT(inland.continentality, 0.8);
    // In the westerlies (35 N) the land rises 200 m towards a site just inside the west coast.
    EXPECT_NEAR(geography.site(0.5, 35, 200).windwardRise, 200, 1e-9);
    // In the trades (20 N) the wind comes from the east, over land of the same height.
    EXPECT_NEAR(geography.site(0.5, 20, 200).windwardRise, 0, 1e-9);
}
