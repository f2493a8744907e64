// Degrees, minutes and seconds of the coordinate dialog: truncation, hemispheres, the way back.
#include "locations/degrees.h"

#include <cmath>

#include <gtest/gtest.h>

#include "formats/result_report.h"

using namespace zentrel;

namespace {
void expectDms(float value, int degrees, int minutes, int seconds) {
    const DegreesMinutesSeconds dms = toDegreesMinutesSeconds(value);
    EXPECT_EQ(dms.Degrees, degrees) << value;
    EXPECT_EQ(dms.Minutes, minutes) << value;
    EXPECT_EQ(dms.Seconds, seconds) << value;
}
}  // namespace

TEST(Degrees, PartsAreTruncatedNeverRounded) {
    expectDms(41.9f, 41, 54, 0);
    expectDms(12.483f, 12, 28, 58);  // 58.8 seconds
    expectDms(10.99999f, 10, 59, 59);
    expectDms(0.5f, 0, 30, 0);
    expectDms(180.0f, 180, 0, 0);
}

TEST(Degrees, NegativeValuesGiveUnsignedParts) {
    expectDms(-12.483f, 12, 28, 58);
    expectDms(-0.25f, 0, 15, 0);
    expectDms(-90.0f, 90, 0, 0);
}

TEST(Degrees, HemisphereOfZeroIsWestAndSouth) {
    EXPECT_EQ(longitudeHemisphere(12.483f), 'E');
    EXPECT_EQ(longitudeHemisphere(0.0f), 'W');
    EXPECT_EQ(longitudeHemisphere(-0.001f), 'W');
    EXPECT_EQ(latitudeHemisphere(41.9f), 'N');
    EXPECT_EQ(latitudeHemisphere(0.0f), 'S');
}

TEST(Degrees, BackToDecimalRoundsToThreeDecimals) {
    EXPECT_DOUBLE_EQ(fromDegreesMinutesSeconds(41, 54, 0, false), 41.9);
    EXPECT_DOUBLE_EQ(fromDegreesMinutesSeconds(12, 28, 58, false), 12.483);  // 12.48277...
    EXPECT_DOUBLE_EQ(fromDegreesMinutesSeconds(12, 28, 58, true), -12.483);
    EXPECT_DOUBLE_EQ(fromDegreesMinutesSeconds(0, 0, 1, false), 0.0);      // 0.00028 rounds away
    EXPECT_DOUBLE_EQ(fromDegreesMinutesSeconds(0, 0, 2, false), 0.001);    // 0.00056
}

TEST(Degrees, ZeroSouthOrWestComesBackAsPlainZero) {
    const double back = fromDegreesMinutesSeconds(0, 0, 0, true);
    EXPECT_EQ(back, 0.0);
    EXPECT_FALSE(std::signbit(back));
    EXPECT_EQ(decimalDegreesText(back), "0");
    EXPECT_EQ(decimalDegreesText(-0.0), "0");
}

TEST(Degrees, OnlyTheFirstLetterNamesTheHemisphere) {
    EXPECT_TRUE(isSouthern("S"));
    EXPECT_TRUE(isSouthern("s"));
    EXPECT_TRUE(isSouthern("Sx"));
    EXPECT_FALSE(isSouthern("NS"));
    EXPECT_FALSE(isSouthern(""));
    EXPECT_TRUE(isWestern("w"));
    EXPECT_FALSE(isWestern("E"));
    EXPECT_FALSE(isWestern(" W"));
}

TEST(Degrees, DecimalTextIsShortest) {
    EXPECT_EQ(decimalDegreesText(12.483), "12.483");
    EXPECT_EQ(decimalDegreesText(-41.9), "-41.9");
    EXPECT_EQ(decimalDegreesText(180.0), "180");
}

// The printed report rounds to whole seconds, unlike the coordinate dialog, and carries the
// rounding into minutes and degrees.
TEST(PrintedDegrees, SecondsAreRoundedAndCarried) {
    EXPECT_EQ(degreesMinutesSeconds(12.483f, false), "12\u00B028' 59'' E ");  // 28' 58.8''
    EXPECT_EQ(degreesMinutesSeconds(41.9f, true), "41\u00B054' 0'' N ");
    EXPECT_EQ(degreesMinutesSeconds(-41.9f, true), "41\u00B054' 0'' S ");
    EXPECT_EQ(degreesMinutesSeconds(-0.5f, false), "0\u00B030' 0'' W ");
    EXPECT_EQ(degreesMinutesSeconds(10.99999f, true), "11\u00B00' 0'' N ");  // 59' 59.96''
    EXPECT_EQ(degreesMinutesSeconds(7.0082f, true), "7\u00B00' 30'' N ");    // 29.52'' up
}

TEST(PrintedDegrees, ReportHeadGivesTheLocationInDegreesMinutesSeconds) {
    VariableResult r;
    r.variable = Temp;
    ReportOptions o;
    o.location = {"", 12.483f, -41.9f, 17};
    o.printed = true;
    const std::string block = reportBlock(r, ProgramSettings{}, o);
    EXPECT_NE(block.find("Location:   Latitude = 41\xB0" "54' 0'' S , Longitude = 12\xB0" "28' 59'' E ,  Altitude = "),
              std::string::npos)
        << block.substr(0, 200);
}
