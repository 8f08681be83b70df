// The --parse-only option: the parsed statements of every step on the
// listing, statement errors in the log, nothing run.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/command_line.h"
#include "app/runner.h"

TEST(ParseOnly, ShowsEachStepsStatementsAndErrors) {
  const std::string path = testing::TempDir() + "parse_only.ruva";
  {
    std::ofstream out(path);
    out << "proc ruva data=d method=marquardt;\n  parms a=1 b=2;\n  model y = a*exp(-b*x);\nrun;\n"
           "proc ruva maxiter=99999;\n  model y = a;\nrun;\n";
  }
  const char* argv[] = {"ruva", "--parse-only", path.c_str()};
  app::CommandLine cmd;
  std::string error;
  ASSERT_TRUE(app::parse_command_line(3, argv, &cmd, &error)) << error;
  EXPECT_TRUE(cmd.parse_only);
  std::ostringstream listing, log;
  EXPECT_EQ(app::run(cmd, listing, log), 2);
  const std::string shown = listing.str();
  EXPECT_NE(shown.find("Step 1"), std::string::npos) << shown;
  EXPECT_NE(shown.find("field 2 (METHOD=): MARQUARDT"), std::string::npos) << shown;
  EXPECT_NE(shown.find("MODEL y = (a * exp(((-b) * x)))"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Step 2"), std::string::npos) << shown;
  EXPECT_NE(log.str().find("the value 99999 of the option MAXITER= is outside its range, 0 to 32000"),
            std::string::npos)
      << log.str();
  EXPECT_NE(log.str().find("1: 0, 2: 3000"), std::string::npos) << log.str();
  std::remove(path.c_str());
}
