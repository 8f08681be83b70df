// Missing values are recognised by their bit pattern alone.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "host/missing.h"
#include "host/wide_strings.h"

namespace {

double from_bits(std::uint64_t bits) { return std::bit_cast<double>(bits); }

TEST(MissingValues, OnlyTheTopSixteenBitsDecide) {
  struct Case {
    std::uint64_t bits;
    int missing;
  } cases[] = {
      {0xFFFF000000000000ull, 1},  // the smallest missing pattern
      {0xFFFFFE0000000000ull, 1},  // the special missing value
      {0xFFFF123456789ABCull, 1},  // any low 48 bits
      {0x7FF8000000000000ull, 0},  // an ordinary quiet NaN
      {0xFFF8000000000000ull, 0},  // a negative quiet NaN
      {0xFFFE000000000000ull, 0},  // one bit short
      {0x7FFF000000000000ull, 0},  // sign bit clear
      {0xFFF0000000000000ull, 0},  // minus infinity
  };
  for (const Case& c : cases) EXPECT_EQ(wzmis(from_bits(c.bits)), c.missing) << std::hex << c.bits;
  EXPECT_EQ(wzmis(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(wzmis(-std::numeric_limits<double>::max()), 0);
}

TEST(MissingValues, TheHostsMissingValuesAreDistinctMissingPatterns) {
  std::vector<double> kinds = {underscore_missing_value(), missing_value(),
                               letter_missing_value('A'), letter_missing_value('Z'),
                               special_missing_value()};
  for (double d : kinds) {
    EXPECT_TRUE(is_missing(d));
    EXPECT_TRUE(std::isnan(d));  // arithmetic on a missing value stays NaN
  }
  EXPECT_EQ(std::bit_cast<std::uint64_t>(special_missing_value()), 0xFFFFFE0000000000ull);
  EXPECT_TRUE(is_special_missing(special_missing_value()));
  EXPECT_FALSE(is_special_missing(missing_value()));
  // "._" < "." < ".A" < ".Z" < special: the ranks order the kinds.
  for (std::size_t i = 1; i < kinds.size(); ++i)
    EXPECT_LT(missing_rank(kinds[i - 1]), missing_rank(kinds[i]));
}

TEST(MissingValues, ArrayTestsFindAnyMissingElement) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> values = {1.0, nan, -0.0, 1e308};
  EXPECT_EQ(wzmisn(values.data(), 4), 0);
  EXPECT_EQ(skMissArray(values.data(), 4), 0);
  values.push_back(missing_value());
  EXPECT_EQ(wzmisn(values.data(), 5), 1);
  EXPECT_EQ(skMissArray(values.data(), 5), 1);
  EXPECT_EQ(wzmisn(values.data(), 4), 0);  // the count limits the search
  EXPECT_EQ(wzmisn(values.data(), -3), 0);
  EXPECT_EQ(skMissArray(nullptr, 3), 0);
}

}  // namespace
