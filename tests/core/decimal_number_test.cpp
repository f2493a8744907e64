// The one number reader of options and data files.
#include <gtest/gtest.h>

#include "decimal_number.h"

using namespace zentrel;

TEST(DecimalNumber, HexNanInfAndBlanksAreNotNumbers) {
    for (const char* text : {"0x10", "nan", "NaN", "inf", "-infinity", " 1", "1 ", "", "-", ".", "1e", "e5", "1,5", "1.2.3"})
        EXPECT_FALSE(parseDecimal(text).has_value()) << text;
    EXPECT_EQ(decimalProblem("0x10"), "\"0x10\" is not a number");
}

TEST(DecimalNumber, DecimalFormsAreRead) {
    for (const auto& [text, value] : {std::pair{"-12", -12.0}, {"+.5", 0.5}, {"2.", 2.0}, {"1E3", 1000.0}}) EXPECT_EQ(parseDecimal(text), value) << text;
    EXPECT_EQ(parseDecimalFloat("0.1"), 0.1f);
}

TEST(DecimalNumber, OverflowIsTooLargeNotNotANumber) {
    EXPECT_FALSE(parseDecimalFloat("1e39").has_value());
    EXPECT_TRUE(parseDecimal("1e39").has_value());
    EXPECT_EQ(decimalProblem("1e39", true), "\"1e39\" is too large a number");
    EXPECT_FALSE(parseDecimal("1e999").has_value());
}
