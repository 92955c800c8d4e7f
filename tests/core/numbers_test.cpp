#include "numbers.h"

#include <gtest/gtest.h>

using namespace orvane;

TEST(NumericValue, ReadsTheLeadingNumberAndIgnoresBlanksAnywhere)
{
    EXPECT_EQ(numericValue(""), 0);
    EXPECT_EQ(numericValue("12abc"), 12);
    EXPECT_EQ(numericValue("1 2"), 12);
    EXPECT_EQ(numericValue(" \t-\n3"), -3);
    EXPECT_EQ(numericValue("2.5"), 2.5);
    EXPECT_EQ(numericValue("-0.4"), -0.4);
    EXPECT_EQ(numericValue(".5"), 0.5);
    EXPECT_EQ(numericValue("1.2.3"), 1.2);
    EXPECT_EQ(numericValue("abc"), 0);
    EXPECT_EQ(numericValue("-"), 0);
    EXPECT_EQ(numericValue("1,5"), 1); // only "." is a decimal point
}

TEST(NumericValue, ReadsExponentsHexAndOctal)
{
    EXPECT_EQ(numericValue("1E3"), 1000);
    EXPECT_EQ(numericValue("2d-1"), 0.2);
    EXPECT_EQ(numericValue("1e"), 1);
    EXPECT_EQ(numericValue("&HFF"), 255);
    EXPECT_EQ(numericValue("&hff"), 255);
    EXPECT_EQ(numericValue("&O17"), 15);
    EXPECT_EQ(numericValue("&H1G"), 1);
    EXPECT_EQ(numericValue("&"), 0);
}

TEST(Conversion, RoundsTiesToEvenAndRefusesValuesOutsideTheField)
{
    EXPECT_EQ(toByte(2.5), 2);
    EXPECT_EQ(toByte(3.5), 4);
    EXPECT_EQ(toByte(-0.4), 0);
    EXPECT_EQ(toByte(255), 255);
    EXPECT_THROW(toByte(255.5), ConversionError);
    EXPECT_THROW(toByte(-1), ConversionError);
    EXPECT_EQ(toInt16(-32768), -32768);
    EXPECT_THROW(toInt16(32767.5), ConversionError);
    EXPECT_EQ(toInt32(2147483647), 2147483647);
    EXPECT_THROW(toInt32(2147483648.0), ConversionError);
    EXPECT_THROW(toInt32(1e300 * 1e300), ConversionError);
}

TEST(Conversion, ErrorNamesTheValueAndTheRange)
{
    try {
        toByte(300);
        FAIL();
    } catch (const ConversionError &e) {
        EXPECT_STREQ(e.what(), "300 does not fit a byte (0..255)");
    }
}

TEST(NumberText, PutsABlankInPlaceOfThePlusSign)
{
    EXPECT_EQ(numberText(int64_t(3)), " 3");
    EXPECT_EQ(numberText(int64_t(0)), " 0");
    EXPECT_EQ(numberText(int64_t(-2)), "-2");
    EXPECT_EQ(numberText(3.0), " 3");
    EXPECT_EQ(numberText(-1.0), "-1");
    EXPECT_EQ(numberText(-0.0), " 0");
    EXPECT_EQ(numberText(1.5), " 1.5");
    EXPECT_EQ(numberText(1234567.0), " 1234567");
    // A sub-pixel drift shows at most two decimals.
    EXPECT_EQ(hundredthsText(0.123456), " 0.12");
    EXPECT_EQ(hundredthsText(-1.006), "-1.01");
    EXPECT_EQ(hundredthsText(-0.004), " 0");
    EXPECT_EQ(hundredthsText(2.0), " 2");
}
