// The numerical limits are bit-exact: several sit one or two units above the
// obvious value, and the decimal texts they are known by must round to them.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "linalg/constants.h"

namespace {

std::uint64_t bits(double x) { return std::bit_cast<std::uint64_t>(x); }

TEST(LinalgConstants, BitPatternsDecimalTextsAndDistanceFromRoundValues) {
  struct Limit {
    double value;
    std::uint64_t bits;
    const char* decimal;
  };
  const Limit limits[] = {
      {linalg::kRoundoff, 0x3CA0000000000002, "1.110223024625157e-16"},
      {linalg::kTinyNormal, 0x0010000000000001, "2.225073858507202e-308"},
      {linalg::kSqrtTiny, 0x20000000002302AC, "1.491668147e-154"},
      {linalg::kSqrtHuge, 0x5FF0000000000087, "1.3407807929943e154"},
      {linalg::kHuge, 0x7FEFFFFFFFFFFFFF, "1.7976931348623157e308"},
      {linalg::kLogHuge, 0x40862E42FEFA39EF, "709.782712893384"},
      {linalg::kSweepRangeLimit, 0x554428A2F98D7240, "5.643803094122288e102"},
      {linalg::kPivotTieMargin, 0x3E46A09E667F3BCE, "1.053671212772351e-08"},
      {linalg::kDefaultSingular, 0x3DDB7CDFD9D7BDBB, "1e-10"},
  };
  for (const Limit& l : limits) {
    EXPECT_EQ(bits(l.value), l.bits) << l.decimal;
    EXPECT_EQ(std::strtod(l.decimal, nullptr), l.value) << l.decimal;
  }
  // Two units above 2^-53, one above the smallest normal and above 2^-26.5.
  EXPECT_EQ(bits(linalg::kRoundoff) - bits(0x1p-53), 2u);
  EXPECT_EQ(bits(linalg::kTinyNormal) - bits(DBL_MIN), 1u);
  EXPECT_EQ(bits(linalg::kPivotTieMargin) - bits(std::exp2(-26.5)), 1u);
  EXPECT_EQ(linalg::kHuge, DBL_MAX);
  EXPECT_TRUE(std::isfinite(std::exp(linalg::kLogHuge)));
}

}  // namespace
