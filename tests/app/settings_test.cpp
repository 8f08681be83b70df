// The ruva command's --set options reach the kernel's named values.
#include <gtest/gtest.h>

#include <sstream>

#include "app/command_line.h"
#include "app/runner.h"

namespace {

TEST(SetOption, InvalidCpuCountStopsTheRunWithAMessage) {
  const char* argv[] = {"ruva", "--set", "host.cpucount=0", "missing.ruva"};
  app::CommandLine cmd;
  std::string error;
  ASSERT_TRUE(app::parse_command_line(4, argv, &cmd, &error)) << error;
  std::ostringstream listing, log;
  EXPECT_EQ(app::run(cmd, listing, log), 2);
  EXPECT_NE(log.str().find("ERROR: --set host.cpucount=0: the value must be a whole number from 1 "
                           "to 4096."),
            std::string::npos)
      << log.str();
}

TEST(SetOption, ValidSettingsAreAccepted) {
  const char* argv[] = {"ruva", "--set", "host.cpucount=2", "--set", "OSENV.KOV_RNG_METHOD=MT64",
                        "missing.ruva"};
  app::CommandLine cmd;
  std::string error;
  ASSERT_TRUE(app::parse_command_line(6, argv, &cmd, &error)) << error;
  std::ostringstream listing, log;
  app::run(cmd, listing, log);
  EXPECT_EQ(log.str().find("--set"), std::string::npos) << log.str();
}

}  // namespace
