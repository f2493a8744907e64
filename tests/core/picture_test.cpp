// Picture-pattern formatting: every pattern the tables and writers use.
#include "base/picture.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale>

using zentrel::formatPicture;
using zentrel::formatText;
using zentrel::roundPicture;
using zentrel::shortestFloat;

TEST(Picture, PatternsPadRoundAndPlaceTheSign) {
    const std::tuple<float, const char*, const char*> cases[] = {
        {1234.5f, "###0.00", "1234.50"}, {1234.5f, "0.00", "1234.50"}, {-3.25f, "##0.00", "-3.25"},
        {0.5f, "###0.00", "0.50"},       {0.0f, "0.00", "0.00"},
        // '#' after the point shows a digit only when it is significant.
        {14.0f, "###0.0###", "14.0"}, {-7.125f, "###0.0###", "-7.125"}, {0.123456f, "###0.0###", "0.1235"},
        {123456.7f, "##0.00", "123456.70"},  // a value longer than the pattern is written whole
        // Halves round away from zero on the decimal digits the user sees: 13.015f is
        // 13.01499..., but reads as 13.015.
        {13.015f, "##0.00", "13.02"}, {-13.015f, "##0.00", "-13.02"}, {2.5f, "###0", "3"}, {-2.5f, "###0", "-3"},
        {1234.6f, "0", "1235"}, {999.995f, "0.00", "1000.00"}, {9.96f, "0.0", "10.0"},
        {0.00005f, "0.0000", "0.0001"}, {1e-05f, "0.0000", "0.0000"},
        // A negative value rounding to zero keeps its sign.
        {-0.001f, "0.00", "-0.00"}, {-0.4f, "###0", "-0"}, {-0.0f, "0.00", "0.00"},
        // Zero places are filled, hash places are not.
        {5.3f, "0##.00", "005.30"}, {-5.3f, "0##.00", "-005.30"}, {125.25f, "0##.00", "125.25"},
        {5.3f, "###.00", "5.30"}, {0.5f, "###.00", ".50"}, {0.5f, "####.0", ".5"}, {0.0f, "####.0", ".0"},
        {17.0f, "####.0", "17.0"}, {0.0f, "####", ""}, {17.4f, "####", "17"}, {0.0f, "###0", "0"},
        {0.12345f, "0.0000", "0.1235"}, {25.03f, "##.00", "25.03"}, {5.1f, "##.00", "5.10"}};
    for (const auto& [value, pattern, text] : cases) EXPECT_EQ(formatPicture(value, pattern), text) << value << " as " << pattern;
    EXPECT_EQ(roundPicture(-0.001f, "0.00"), 0.0f);
    EXPECT_FALSE(std::signbit(roundPicture(-0.001f, "0.00")));
    // The double overload uses the double's digits.
    EXPECT_EQ(formatPicture(0.125, "0.00"), "0.13");
    EXPECT_EQ(formatPicture(1.0e-7, "0.00"), "0.00");
}

TEST(Picture, PointIsAlwaysAFullStopWhateverTheLocale) {
    struct CommaPunct : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
    };
    const std::locale saved = std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
    const char* cSaved = std::setlocale(LC_NUMERIC, nullptr);
    const std::string cLocale = cSaved ? cSaved : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");  // may not exist; the C++ locale above does
    EXPECT_EQ(formatPicture(12.5f, "###.00"), "12.50");
    EXPECT_EQ(shortestFloat(12.5f), "12.5");
    EXPECT_EQ(roundPicture(12.345f, "##0.00"), 12.35f);
    std::setlocale(LC_NUMERIC, cLocale.c_str());
    std::locale::global(saved);
}

// Without a pattern a single shows at most the seven digits it holds; files read back by a
// program keep the digits that give the very same single.
TEST(Picture, ShortestFloatHasAtMostSevenSignificantDigits) {
    const float sum = 5.955f + 0.0000004f;  // a sum that misses 5.955 by one step of the single
    ASSERT_NE(sum, 5.955f);
    const std::pair<float, const char*> cases[] = {
        {13.01f, "13.01"}, {-999.0f, "-999"}, {0.1f, "0.1"},    {-0.0f, "0"},
        {25.03f, "25.03"}, {sum, "5.955"},    {3.8200002f, "3.82"}, {1234567.0f, "1234567"}};
    for (const auto& [value, text] : cases) EXPECT_EQ(shortestFloat(value), text) << text;
    EXPECT_EQ(std::strtof(zentrel::roundTripFloat(sum).c_str(), nullptr), sum);
    EXPECT_EQ(zentrel::roundTripFloat(0.1f), "0.1");
}

TEST(Picture, TextFieldsAlignRightAndNeverCut) {
    EXPECT_EQ(formatText("ab", "@@@") + "|" + formatText("abcd", "@@@") + "|" + formatText("", "@@@@"), " ab|abcd|    ");
}
