// The host's number renderings against printf (fixed notation, and E
// notation over the whole range of doubles) and hand-worked fields.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "host/missing.h"
#include "platform/listing/number_format.h"

namespace {

using platform::format_number;

std::string field(double v, int w, int code) {
  std::string f;
  format_number(v, w, code, &f);
  return f;
}

TEST(NumberFormatTest, FixedDecimalsAgreeWithPrintfWhereTheyFit) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> mantissa(-1, 1);
  for (int i = 0; i < 500; ++i) {
    const double v = mantissa(rng) * std::pow(10.0, static_cast<int>(rng() % 7) - 2);
    const int d = static_cast<int>(rng() % 6);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%12.*f", d, v);
    std::string e = expected;
    if (e.find_first_not_of(" -0.") == std::string::npos && e.find('-') != std::string::npos)
      e.replace(e.find('-'), 1, " ");  // no sign on a value that rounds to zero
    EXPECT_EQ(field(v, 12, d), e) << v << " " << d;
  }
}

TEST(NumberFormatTest, ENotationAgreesWithPrintfOverTheWholeRange) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> mantissa(-10, 10);
  for (int i = 0; i < 500; ++i) {
    const double v = mantissa(rng) * std::pow(10.0, static_cast<int>(rng() % 616) - 308);
    const int d = 1 + static_cast<int>(rng() % 10);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%20.*E", d, v);
    EXPECT_EQ(field(v, 20, -d), expected) << v << " " << d;
  }
}

TEST(NumberFormatTest, FixedDecimalsGiveWayWhenTheValueIsTooWide) {
  EXPECT_EQ(field(12345.678, 8, 4), "12345.68");  // fewer decimals
  EXPECT_EQ(field(1234567890.0, 6, 2), " 1E+09");   // E notation
  EXPECT_EQ(field(-0.0004, 6, 2), "  0.00");
}

TEST(NumberFormatTest, BestShowsTheMostSignificantDigits) {
  EXPECT_EQ(field(2, 8, 99), "       2");
  EXPECT_EQ(field(3.2e-9, 8, 99), " 3.2E-09");
  EXPECT_EQ(field(123.456789, 8, 99), "123.4568");
  EXPECT_EQ(field(0.1, 12, 99), "         0.1");
  EXPECT_EQ(field(1.0 / 3, 12, 89), "0.3333333333");
  EXPECT_EQ(field(-1.5e20, 12, 99), "    -1.5E+20");
  EXPECT_EQ(field(0.000123, 12, 99), "    0.000123");
}

TEST(NumberFormatTest, ENotationCodesAndWidestFixed) {
  EXPECT_EQ(field(12345.678, 12, -99), "1.234568E+04");
  EXPECT_EQ(field(12345.678, 12, -3), "   1.235E+04");
  EXPECT_EQ(field(2.5, 8, 98), "2.500000");
  EXPECT_EQ(field(1e-12, 8, 98), "1.00E-12");
  EXPECT_EQ(field(-0.0, 12, -3), "   0.000E+00");  // zero has no sign
}

TEST(NumberFormatTest, MissingValuesShowTheirMarksAndNaNIsAValue) {
  EXPECT_EQ(field(missing_value(), 4, 2), "   .");
  EXPECT_EQ(field(special_missing_value(), 4, 2), "   .");
  EXPECT_EQ(field(letter_missing_value('C'), 4, 2), "   C");
  EXPECT_EQ(field(underscore_missing_value(), 4, 2), "   _");
  EXPECT_EQ(field(std::nan(""), 4, 2), " NaN");
}

TEST(NumberFormatTest, FieldsTooNarrowAreStars) {
  std::string f;
  EXPECT_FALSE(format_number(-123456.0, 3, 0, &f));
  EXPECT_EQ(f, "***");
  char out[4];
  EXPECT_FALSE(platform::integer_field(12345, 4, out));
  EXPECT_EQ(std::string(out, 4), "****");
  EXPECT_TRUE(platform::integer_field(-45, 4, out));
  EXPECT_EQ(std::string(out, 4), " -45");
  EXPECT_FALSE(platform::power_of_ten_field(4, 4, out));  // .0001 needs five
  EXPECT_EQ(std::string(out, 4), "****");
  f = "kept";
  EXPECT_FALSE(format_number(1.5, 0, 2, &f));  // no field at all
  EXPECT_EQ(f, "");
}

// A code that is neither a count of decimals nor one of the named codes
// shows the value at its best.
TEST(NumberFormatTest, UnknownCodesShowTheBest) {
  for (int code : {33, 50, 97, -40, -100})
    EXPECT_EQ(field(2.0 / 3, 10, code), field(2.0 / 3, 10, 99)) << code;
}

TEST(NumberFormatTest, DecimalsForAMagnitude) {
  EXPECT_EQ(platform::fixed_decimals(0, 12), 9);
  EXPECT_EQ(platform::fixed_decimals(15.5, 12), 8);
  EXPECT_EQ(platform::fixed_decimals(9.9999, 8), 4);   // 9.9999 has one integer digit
  EXPECT_EQ(platform::fixed_decimals(99.99999, 8), 3); // rounds to 100.0: three
  EXPECT_EQ(platform::fixed_decimals(1e9, 8), 99);     // the integer part does not fit
  EXPECT_EQ(platform::fixed_decimals(missing_value(), 10), 7);
}

TEST(NumberFormatTest, PowerOfTenAndPValueFields) {
  char out[8];
  EXPECT_TRUE(platform::power_of_ten_field(6, 4, out));
  EXPECT_EQ(std::string(out, 6), "0.0001");
  EXPECT_TRUE(platform::power_of_ten_field(5, 4, out));
  EXPECT_EQ(std::string(out, 5), ".0001");
  EXPECT_TRUE(platform::power_of_ten_field(3, 0, out));
  EXPECT_EQ(std::string(out, 3), "  1");
  EXPECT_EQ(platform::pvalue_field(1e-9, 6, 4), "<.0001");
  EXPECT_EQ(platform::pvalue_field(0.04999, 6, 4), "0.0500");
  EXPECT_EQ(platform::pvalue_field(missing_value(), 6, 4), "     .");
  EXPECT_EQ(platform::pvalue_field(0.5, 2, 4), "**");
}

}  // namespace
