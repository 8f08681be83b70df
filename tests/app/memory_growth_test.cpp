// Memory as the work grows, with the built binary: the JSON stream costs
// less memory than the bytes it writes, and a run that fits under a limit
// of address space fits under every larger one.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/ruva_command.h"
#include "support/sanitized.h"

namespace {

class MemoryGrowthTest : public RuvaCommandTest {
 protected:
  // The peak resident memory of a run with `args`, in bytes; 0 when it
  // failed.
  double peak_bytes(const std::vector<std::string>& args) {
    const pid_t child = start(args);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return ok ? static_cast<double>(usage.ru_maxrss) * 1024 : 0;
  }
};

// 100,000 observations with every graph: the Output Statistics and the
// score tables go to the JSON file (about 31 MB of it). Held as cells, a
// tree of values and a line of text, they took seven times the bytes
// written; written row by row from the numbers the tables keep, a third.
TEST_F(MemoryGrowthTest, TheJsonFileTakesLessMemoryThanItWrites) {
  if (kSanitized) GTEST_SKIP() << "a sanitizer's memory is not the program's";
  std::ostringstream csv;
  csv << "x,y\n";
  for (int i = 0; i < 100'000; ++i) {
    const double x = 10.0 * i / 100'000;
    csv << x << ',' << 8 * std::exp(-0.5 * x) + 1 + 0.1 * std::sin(7.1 * i) << '\n';
  }
  write("obs.csv", csv.str());
  write("fit.ruva", "proc ruva data=obs plots=all;\n  parms a=8 b=0.5 c=1;\n  model y = a*exp(-b*x) + c;\nrun;\n");
  const double without = peak_bytes({"--work", ".", "fit.ruva"});
  const double with = peak_bytes({"--work", ".", "--json", "fit.json", "fit.ruva"});
  ASSERT_GT(without, 0);
  ASSERT_GT(with, 0);
  const auto written = static_cast<double>(std::filesystem::file_size(dir_ / "fit.json"));
  EXPECT_GT(written, 20e6);
  EXPECT_LT(with - without, written) << "peak " << with / 1e6 << " MB against " << without / 1e6 << " MB";
}

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
