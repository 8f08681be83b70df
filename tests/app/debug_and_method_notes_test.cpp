// What the log says at the user's request or on the user's behalf: the
// parser's traces of DEBUG=SYN and DEBUG=SEM, and the random-number method
// the bootstrap draws with when the one named is not to be had.
#include <sstream>
#include <string>

#include "support/ruva_command.h"

namespace {

class LogRequests : public RuvaCommandTest {
 protected:
  LogRequests() {
    write("d.csv", "x,y\n1,2\n2,4.1\n3,5.9\n4,8.2\n");
    write("p.ruva",
          "proc ruva data=d;\n parms b=1;\n model y=b*x;\n bootstrap / nsamples=1000 seed=1967;\nrun;\n");
  }
  bool logged(const std::string& text) { return read("log.txt").find(text) != std::string::npos; }
};

TEST_F(LogRequests, DebugOptionTracesTheStatementsAsRead) {
  EXPECT_EQ(run("--option DEBUG=syn,sem p.ruva"), 0);
  EXPECT_TRUE(logged("SYN: line 1, column 1: proc ruva data = d ;\n")) << read("log.txt");
  EXPECT_TRUE(logged("SYN: line 3, column 2: model y = b * x ;\n"));
  EXPECT_TRUE(logged("SEM: PARMS at line 2, column 2: options (); field 1 names (b)\n"));
  EXPECT_TRUE(logged("SEM: BOOTSTRAP at line 4, column 2: options (); field 1 number 1000; field 2 number 1967\n"));
  EXPECT_EQ(run("p.ruva"), 0);
  EXPECT_FALSE(logged("SYN:") || logged("SEM:"));
}

TEST_F(LogRequests, TheMethodDrawnWithIsTheOneNamedOrTheLogSaysSo) {
  EXPECT_EQ(run("--set OSENV.KOV_RNG_METHOD=MT64X p.ruva"), 1);
  EXPECT_TRUE(logged("WARNING: The random-number method \"MT64X\" named by OSENV.KOV_RNG_METHOD is not known; "
                     "the bootstrap draws with the method MTHYBRID."))
      << read("log.txt");
  EXPECT_EQ(run("--set OSENV.KOV_RNG_METHOD=RANUNI p.ruva"), 0);
  EXPECT_TRUE(logged("NOTE: The random-number method \"RANUNI\" named by OSENV.KOV_RNG_METHOD is not available "
                     "in this build; the bootstrap draws with the method MTHYBRID."));
  // A 64-bit method's end seed is MurmurHash3's fmix64 of the seed, in full.
  EXPECT_EQ(run("--set OSENV.KOV_RNG_METHOD=MT64 p.ruva"), 0);
  EXPECT_FALSE(logged("random-number method \""));
  EXPECT_TRUE(logged("NOTE: The macro variable SYSRANEND is set to 5934961738676104733.\n"));
}

// fmix64 of the seed 1 has its top bit set: SYSRANEND is -5451962507482445012,
// and BOOTDATA= _SEED_ holds that value rounded to a double.
TEST_F(LogRequests, TheSeedOfASampleIsTheEndSeedRoundedToADouble) {
  write("b.ruva", "proc ruva data=d;\n parms b=1;\n model y=b*x;\n bootstrap / seed=1 bootdata=bd;\nrun;\n");
  ASSERT_EQ(run("--set OSENV.KOV_RNG_METHOD=MT64 b.ruva"), 0);
  EXPECT_TRUE(logged("NOTE: The macro variable SYSRANEND is set to -5451962507482445012.\n")) << read("log.txt");
  std::istringstream rows(read("bd.csv"));
  std::string line;
  for (int k = 0; k < 3; ++k) std::getline(rows, line);  // the names, sample 1, sample 2
  std::istringstream cells(line);
  std::string index, seed;
  std::getline(cells, index, ',');
  std::getline(cells, seed, ',');
  EXPECT_EQ(std::stod(seed), static_cast<double>(-5451962507482445012LL)) << line;
}

}  // namespace
