// Memory as the work grows, with the built binary: a run that fits under a
// limit of address space fits under every larger one.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/ruva_command.h"
#include "support/sanitized.h"

namespace {

using MemoryGrowthTest = RuvaCommandTest;

// A stack reserved whole whenever the limit left room for it took 1 GB
// from limits just above 1 GB, where the same run fitted under 1 GB.
TEST_F(MemoryGrowthTest, ARunThatFitsUnderALimitFitsUnderEveryLargerOne) {
  if (kSanitized) GTEST_SKIP() << "a sanitizer reserves more address space than any limit leaves";
  std::filesystem::copy_file(std::filesystem::path(RUVA_SOURCE_DIR) / "examples/puromycin.csv", dir_ / "puromycin.csv");
  write("boot.ruva",
        "proc ruva data=puromycin nthreads=4;\n  parms Vm=200 K=0.05;\n  model rate = Vm*conc/(K+conc);\n"
        "  bootstrap / seed=1 nsamples=2000;\nrun;\n");
  ASSERT_EQ(run_with_memory_limit("--work . boot.ruva", 400 << 10), 0) << read("log.txt");
  for (long mb = 950; mb <= 1400; mb += 25)
    EXPECT_EQ(run_with_memory_limit("--work . boot.ruva", mb << 10), 0) << mb << " MB\n" << read("log.txt");
}

}  // namespace
