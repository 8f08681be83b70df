// The ruva command's --set options reach the kernel's named values.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "app/command_line.h"
#include "app/runner.h"
#include "host/module_entry.h"

namespace {

// A program that can be read and holds no step: a run that reached it
// would say so.
constexpr const char* kProgram = "/dev/null";
constexpr const char* kProgramRan = "The program file holds no PROC RUVA step.";

TEST(SetOption, InvalidCpuCountStopsTheRunWithAMessage) {
  const char* argv[] = {"ruva", "--set", "host.cpucount=0", kProgram};
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
                        kProgram};
  app::CommandLine cmd;
  std::string error;
  ASSERT_TRUE(app::parse_command_line(6, argv, &cmd, &error)) << error;
  std::ostringstream listing, log;
  app::run(cmd, listing, log);
  EXPECT_EQ(log.str().find("--set"), std::string::npos) << log.str();
}

// Each bad setting, option, library name or graphs folder is named in the
// log and stops the run before its programs: status 2.
TEST(SetOption, EveryBadPieceOfTheCommandLineIsNamed) {
  const struct {
    std::vector<const char*> args;
    const char* message;
  } cases[] = {
      {{"--option", "LINESIZE=10"}, "ERROR: --option LINESIZE=10: LINESIZE=10 is not an integer from 64 to 256."},
      {{"--option", "PAGESIZE"}, "ERROR: --option PAGESIZE: the system option PAGESIZE needs a value."},
      {{"--option", "NOBOGUS"}, "ERROR: --option NOBOGUS: the system option NOBOGUS is not known."},
      {{"--option", "bogus=1"}, "ERROR: --option bogus=1: the system option BOGUS is not known."},
      {{"--option", "CENTER=maybe"}, "ERROR: --option CENTER=maybe: CENTER=maybe is not YES or NO."},
      {{"--option", "NOCENTER=1"}, "ERROR: --option NOCENTER=1: the system option NOCENTER takes no value."},
      // A rule repeats its character a byte a column: box-drawing characters
      // would be cut into bytes and push the BY line's text off the line.
      {{"--option", "FORMCHAR=|\xE2\x94\x80"},
       "ERROR: --option FORMCHAR=|\xE2\x94\x80: FORMCHAR=|\xE2\x94\x80 is not made of printable ASCII characters."},
      {{"--lib", "9in=/tmp"}, "ERROR: The library name 9in is not valid."},
      {{"--set", "=5"}, "ERROR: --set =5: needs NAME=VALUE."},
      {{"--set", "t.n=3", "--set", "t.n=2.5"}, "ERROR: --set t.n=2.5: the value must be a whole number."},
      {{"--graphs", "/dev/null/g"}, "ERROR: The graphs folder /dev/null/g cannot be made: Not a directory."},
  };
  for (const auto& c : cases) {
    std::vector<const char*> argv{"ruva"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    argv.push_back(kProgram);
    app::CommandLine cmd;
    std::string error;
    ASSERT_TRUE(app::parse_command_line(static_cast<int>(argv.size()), argv.data(), &cmd, &error)) << error;
    std::ostringstream listing, log;
    EXPECT_EQ(app::run(cmd, listing, log), 2) << c.message;
    EXPECT_NE(log.str().find(c.message), std::string::npos) << log.str();
    EXPECT_EQ(log.str().find(kProgramRan), std::string::npos) << log.str();
  }
}

// A program file without a step is an ERROR outside any step: status 2, and
// no step's return code stands for it.
TEST(SetOption, AProgramWithoutAStepHasNoReturnCode) {
  const char* argv[] = {"ruva", kProgram};
  app::CommandLine cmd;
  std::string error;
  ASSERT_TRUE(app::parse_command_line(2, argv, &cmd, &error)) << error;
  std::ostringstream listing, log;
  EXPECT_EQ(app::run(cmd, listing, log), 2);
  EXPECT_EQ(log.str(), std::string("ERROR: ") + kProgramRan + "\nNOTE: Return codes by step: no steps.\n");
}

// A module the host cannot start runs no program: status 2.
TEST(SetOption, AModuleThatCannotStartRunsNoProgram) {
  const char* argv[] = {"ruva", kProgram};
  app::CommandLine cmd;
  std::string error;
  ASSERT_TRUE(app::parse_command_line(2, argv, &cmd, &error)) << error;
  std::ostringstream listing, log;
  vi_mcn.modconmagic = 0;
  const int status = app::run(cmd, listing, log);
  vi_mcn.modconmagic = kModconMagic;
  EXPECT_EQ(status, 2);
  EXPECT_NE(log.str().find("ERROR: The module did not return a valid image record."), std::string::npos) << log.str();
  EXPECT_EQ(log.str().find(kProgramRan), std::string::npos) << log.str();
}

}  // namespace
