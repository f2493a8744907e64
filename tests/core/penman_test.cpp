// Penman-Monteith and day length against the worked examples of FAO Irrigation and Drainage Paper 56.
#include "data/penman.h"

#include <gtest/gtest.h>

using namespace zentrel;

TEST(Penman, MonthlyExampleBangkokApril) {
    // FAO-56 example 17: Bangkok, 13°44' N, 2 m, April: Tmax 34.8, Tmin 25.6, ea 2.85 kPa,
    // u2 2 m/s, n/N = 8.5 / 12.31; March mean 29.2 °C, G = 0.14 MJ m-2 day-1 -> ET0 = 5.72 mm/day.
    PenmanInputs in;
    in.lat = 13.0 + 44.0 / 60;
    in.alt = 2;
    for (int m = 1; m <= 12; ++m) {
        in.tmax[m] = 34.8f;
        in.tmin[m] = 25.6f;
        in.vap[m] = 28.5f;
        in.wind[m] = 2;
        in.sun[m] = static_cast<float>(8.5 / 12.31);
    }
    in.tmax[3] = 33.8f;  // March mean 29.2
    in.tmax[5] = 35.8f;  // May mean 31.2, so that 0.07 (May - March) = 0.14
    EXPECT_NEAR(referenceEvapotranspirationPerDay(in, 4), 5.72, 0.05);
    EXPECT_NEAR(referenceEvapotranspiration(in)[4], 5.72 * 30, 1.5);
}

TEST(Penman, NeverNegativeAndPolarNightHasNoDaylight) {
    PenmanInputs in;
    in.lat = 75;
    for (int m = 1; m <= 12; ++m) {
        in.tmax[m] = -25;
        in.tmin[m] = -35;
        in.vap[m] = 0.4f;
        in.wind[m] = 5;
    }
    EXPECT_GE(referenceEvapotranspirationPerDay(in, 12), 0.0);
    EXPECT_EQ(std::vector<double>({dayLengthHours(75, 355), dayLengthHours(75, 172), dayLengthHours(-75, 172)}), std::vector<double>({0, 24, 0}));
}

TEST(Penman, DayLengthExampleMonthSumsAndSaturationVapourPressure) {
    // FAO-56 example 9: 20° S on 3 September (day 246) -> N = 11.7 h.
    // Saturation at 25 °C from FAO-56 annex table 2.3: 3.168 kPa.
    const std::tuple<double, double, double> cases[] = {
        {dayLengthHours(-20, 246), 11.7, 0.05},          {dayLengthHours(0, 100), 12.0, 1e-9},
        {monthlyDaylightHours(0, 2021, 2), 28 * 12.0, 1e-6}, {monthlyDaylightHours(0, 2020, 2), 29 * 12.0, 1e-6},
        {saturationVapourPressure(0), 6.108, 1e-9},       {saturationVapourPressure(25), 31.68, 0.01}};
    for (const auto& [got, expected, tolerance] : cases) EXPECT_NEAR(got, expected, tolerance);
    EXPECT_EQ(std::pair(daysInMonth(1900, 2), daysInMonth(2000, 2)), std::pair(28, 29));
}
