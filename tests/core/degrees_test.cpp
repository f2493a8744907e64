// Degrees, minutes and seconds of the coordinate dialog: truncation, hemispheres, the way back.
#include "locations/degrees.h"

#include <cmath>

#include <gtest/gtest.h>

#include "formats/result_report.h"

using namespace zentrel;

// The parts are truncated, never rounded, and unsigned; the hemisphere of 0 is west and south.
TEST(Degrees, PartsAreTruncatedUnsignedAndZeroIsWestAndSouth) {
    // 12.483 is 12 28' 58.8''.
    const std::pair<float, std::vector<int>> cases[] = {{41.9f, {41, 54, 0}},    {12.483f, {12, 28, 58}}, {10.99999f, {10, 59, 59}},
                                                        {0.5f, {0, 30, 0}},      {180.0f, {180, 0, 0}},   {-12.483f, {12, 28, 58}},
                                                        {-0.25f, {0, 15, 0}},    {-90.0f, {90, 0, 0}}};
    for (const auto& [value, parts] : cases) {
        const DegreesMinutesSeconds dms = toDegreesMinutesSeconds(value);
        EXPECT_EQ(std::vector<int>({dms.Degrees, dms.Minutes, dms.Seconds}), parts) << value;
    }
    EXPECT_EQ(std::string() + longitudeHemisphere(12.483f) + longitudeHemisphere(0.0f) + longitudeHemisphere(-0.001f) +
                  latitudeHemisphere(41.9f) + latitudeHemisphere(0.0f),
              "EWWNS");
    // Only the first letter names the hemisphere.
    for (const char* south : {"S", "s", "Sx"}) EXPECT_TRUE(isSouthern(south)) << south;
    for (const char* other : {"NS", ""}) EXPECT_FALSE(isSouthern(other)) << other;
    EXPECT_EQ(std::vector<bool>({isWestern("w"), isWestern("E"), isWestern(" W")}), std::vector<bool>({true, false, false}));
}

// Back to decimal degrees rounded to three decimals, shown in the shortest text; 0 south or
// west comes back as a plain 0.
TEST(Degrees, BackToDecimalRoundsToThreeDecimalsWithAPlainZero) {
    // 12 28' 58'' is 12.48277...; 1'' is 0.00028 and rounds away, 2'' is 0.00056.
    const std::tuple<int, int, int, bool, double> cases[] = {
        {41, 54, 0, false, 41.9}, {12, 28, 58, false, 12.483}, {12, 28, 58, true, -12.483}, {0, 0, 1, false, 0.0}, {0, 0, 2, false, 0.001}};
    for (const auto& [d, m, s, south, value] : cases) EXPECT_DOUBLE_EQ(fromDegreesMinutesSeconds(d, m, s, south), value) << d << " " << m << " " << s;
    const double back = fromDegreesMinutesSeconds(0, 0, 0, true);
    EXPECT_EQ(back, 0.0);
    EXPECT_FALSE(std::signbit(back));
    const std::pair<double, const char*> texts[] = {{back, "0"}, {-0.0, "0"}, {12.483, "12.483"}, {-41.9, "-41.9"}, {180.0, "180"}};
    for (const auto& [value, text] : texts) EXPECT_EQ(decimalDegreesText(value), text);
}

// The printed report rounds to whole seconds, unlike the coordinate dialog, and carries the
// rounding into minutes and degrees; its head gives the location so.
TEST(PrintedDegrees, SecondsAreRoundedAndCarried) {
    // 12.483 is 28' 58.8''; 10.99999 is 59' 59.96''; 7.0082 is 0' 29.52''.
    const std::tuple<float, bool, const char*> cases[] = {
        {12.483f, false, "12\u00B028' 59'' E "}, {41.9f, true, "41\u00B054' 0'' N "},  {-41.9f, true, "41\u00B054' 0'' S "},
        {-0.5f, false, "0\u00B030' 0'' W "},     {10.99999f, true, "11\u00B00' 0'' N "}, {7.0082f, true, "7\u00B00' 30'' N "}};
    for (const auto& [value, latitude, text] : cases) EXPECT_EQ(degreesMinutesSeconds(value, latitude), text) << value;
    VariableResult r;
    ReportOptions o;
    o.location = {"", 12.483f, -41.9f, 17};
    o.printed = true;
    const std::string block = reportBlock(r, ProgramSettings{}, o);
    EXPECT_NE(block.find("Location:   Latitude = 41\xB0" "54' 0'' S , Longitude = 12\xB0" "28' 59'' E ,  Altitude = "),
              std::string::npos)
        << block.substr(0, 200);
}
