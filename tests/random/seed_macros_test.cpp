// The seed macro variables: repairs, the end-of-step log, and publishing
// the seeds of the stream the bootstrap drew from.
#include "random/seed_macros.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/host.h"
#include "random/hash_murmur3.h"
#include "random_support.h"

namespace {

class SeedMacros : public RandomTest {
 protected:
  std::string macro(const char* name) {
    return host().macro_variables().find(name).value_or("(unset)");
  }
};

TEST_F(SeedMacros, ZeroAndNegativeSeedsAreRepairedValidOnesKept) {
  for (long bad : {0L, -5L}) {
    long seed = bad;
    zranms(&seed, 1);
    EXPECT_GE(seed, 1);
    EXPECT_LE(seed, 1000000000);
    EXPECT_EQ(macro("SYSRANDOM"), std::to_string(seed));
  }
  long seed = 2147483647;  // a valid seed of a 32-bit method
  zranms(&seed, 1);
  EXPECT_EQ(seed, 2147483647);
  EXPECT_EQ(macro("sysrandom"), "2147483647");
  long end = 4000000000L;
  zranms(&end, 2);
  EXPECT_EQ(macro("SYSRANEND"), "4000000000");
  // The 64-bit end seed in full: MurmurHash3's fmix64(1967), which a double
  // would round to 5934961738676105216.
  end = 5934961738676104733L;
  zranms(&end, 2);
  EXPECT_EQ(macro("SYSRANEND"), "5934961738676104733");
}

TEST_F(SeedMacros, RepairAloneTouchesNoMacroVariable) {
  long seed = 0;
  zranms(&seed, 0);
  EXPECT_GE(seed, 1);
  seed = -1;
  zranms(&seed, 7);
  EXPECT_GE(seed, 1);
  EXPECT_EQ(macro("SYSRANDOM"), "(unset)");
  EXPECT_EQ(macro("SYSRANEND"), "(unset)");
}

void publish_in_a_step() {
  long seed = 12345;
  zranms(&seed, 1);
  long end = 678;
  zranms(&end, 2);
}

TEST_F(SeedMacros, StepListsItsMacroVariablesInTheLog) {
  EXPECT_EQ(run_as_step(&publish_in_a_step), 0);
  EXPECT_NE(log_text().find("NOTE: The macro variable SYSRANDOM is set to 12345.\n"),
            std::string::npos);
  EXPECT_NE(log_text().find("NOTE: The macro variable SYSRANEND is set to 678.\n"),
            std::string::npos);
  const std::size_t lines = static_cast<std::size_t>(rt::count(log_text(), "macro variable"));
  EXPECT_EQ(run_as_step(+[] {}), 0);  // a later step lists only what it set
  EXPECT_EQ(static_cast<std::size_t>(rt::count(log_text(), "macro variable")), lines);
  EXPECT_EQ(macro("SYSRANDOM"), "12345");
}

// Two BY groups without SEED=: each group's stream has its own automatic
// seed, and the stream is made again after the last group.
TEST_F(SeedMacros, PublishedSeedsAreThoseOfTheStreamDrawnFrom) {
  auto mr = std::make_unique<MERSENNE_RAND>();
  ZRANUSED used{};
  rt::fix_automatic_seed(111);
  rt::make_stream(mr.get(), 0);  // set-up
  rt::fix_automatic_seed(222);
  rt::make_stream(mr.get(), 0);  // after the first group, whose fit failed
  zmrsNoteUse(mr.get(), &used);  // the second group's bootstrap draws
  rt::uniforms(mr.get(), 10);
  rt::fix_automatic_seed(333);
  rt::make_stream(mr.get(), 0);  // after the last group
  zranmsPublish(&used);
  EXPECT_EQ(macro("SYSRANDOM"), "222");
  EXPECT_EQ(macro("SYSRANEND"), std::to_string(zmh3x32(222)));
}

TEST_F(SeedMacros, NothingIsPublishedWhenNoBootstrapDrew) {
  ZRANUSED used{};
  zranmsPublish(&used);
  zranmsPublish(nullptr);
  EXPECT_EQ(macro("SYSRANDOM"), "(unset)");
}

}  // namespace
