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

struct Limit {
  const char* name;
  double value;
  std::uint64_t bits;
  const char* decimal;
};

TEST(LinalgConstants, BitPatternsAndDecimalTexts) {
  const Limit limits[] = {
      {"roundoff", linalg::kRoundoff, 0x3CA0000000000002, "1.110223024625157e-16"},
      {"tiny normal", linalg::kTinyNormal, 0x0010000000000001, "2.225073858507202e-308"},
      {"sqrt tiny", linalg::kSqrtTiny, 0x20000000002302AC, "1.491668147e-154"},
      {"sqrt huge", linalg::kSqrtHuge, 0x5FF0000000000087, "1.3407807929943e154"},
      {"huge", linalg::kHuge, 0x7FEFFFFFFFFFFFFF, "1.7976931348623157e308"},
      {"log huge", linalg::kLogHuge, 0x40862E42FEFA39EF, "709.782712893384"},
      {"range limit", linalg::kSweepRangeLimit, 0x554428A2F98D7240, "5.643803094122288e102"},
      {"tie margin", linalg::kPivotTieMargin, 0x3E46A09E667F3BCE, "1.053671212772351e-08"},
      {"singular", linalg::kDefaultSingular, 0x3DDB7CDFD9D7BDBB, "1e-10"},
  };
  for (const Limit& l : limits) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(l.value), l.bits) << l.name;
    EXPECT_EQ(std::strtod(l.decimal, nullptr), l.value) << l.name;
  }
}

TEST(LinalgConstants, SitJustAboveTheRoundValues) {
  // Two units above 2^-53, one above the smallest normal and above 2^-26.5.
  EXPECT_EQ(std::bit_cast<std::uint64_t>(linalg::kRoundoff) - std::bit_cast<std::uint64_t>(0x1p-53), 2u);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(linalg::kTinyNormal) - std::bit_cast<std::uint64_t>(DBL_MIN), 1u);
  EXPECT_EQ(std::bit_cast<std::uint64_t>(linalg::kPivotTieMargin) -
                std::bit_cast<std::uint64_t>(std::exp2(-26.5)),
            1u);
  EXPECT_EQ(linalg::kHuge, DBL_MAX);
  EXPECT_TRUE(std::isfinite(std::exp(linalg::kLogHuge)));
  EXPECT_EQ(linalg::kThreadedSweepCutoff, 250);
}

}  // namespace
