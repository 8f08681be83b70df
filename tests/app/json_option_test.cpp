// The ruva command hands --json FILE to the host as the output's JSON stream.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/command_line.h"
#include "app/runner.h"

namespace {

namespace fs = std::filesystem;

fs::path temp_dir() {
  fs::path dir = fs::temp_directory_path() / ("ruva_json_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  return dir;
}

TEST(JsonOptionTest, TheJsonFileIsWrittenForTheRun) {
  const fs::path dir = temp_dir();
  const fs::path program = dir / "prog.ruva";
  std::ofstream(program) << "proc ruva;\nrun;\n";
  const fs::path json = dir / "out.jsonl";
  fs::remove(json);
  app::CommandLine cmd;
  cmd.programs = {program.string()};
  cmd.json = json.string();
  std::ostringstream listing, log;
  // The step itself fails (no MODEL statement); the stream is written anyway.
  app::run(cmd, listing, log);
  EXPECT_TRUE(fs::exists(json)) << log.str();
  fs::remove_all(dir);
}

TEST(JsonOptionTest, AJsonFileThatCannotBeWrittenEndsTheRun) {
  app::CommandLine cmd;
  cmd.programs = {"/dev/null"};  // read, as every program is before the outputs are checked
  cmd.json = "/nonexistent-folder/out.jsonl";
  std::ostringstream listing, log;
  EXPECT_EQ(app::run(cmd, listing, log), 2);
  EXPECT_NE(log.str().find("ERROR: The JSON file cannot be written: no file can be created in the folder "
                           "/nonexistent-folder: No such file or directory."),
            std::string::npos)
      << log.str();
}

// NOPRINT makes no tables: the log says that the JSON file holds none of
// the step's, and that the bootstrap limits are not shown.
TEST(JsonOptionTest, ANoprintStepSaysWhatTheJsonFileAndTheListingLack) {
  const fs::path dir = temp_dir();
  fs::copy_file(fs::path(RUVA_SOURCE_DIR) / "examples/puromycin.csv", dir / "puromycin.csv",
                fs::copy_options::overwrite_existing);
  std::ofstream(dir / "np.ruva") << "proc ruva data=puromycin noprint;\n  by state;\n  parms Vm=200 K=0.05;\n"
                                    "  model rate = Vm*conc/(K+conc);\n  bootstrap / seed=1;\nrun;\n";
  app::CommandLine cmd;
  cmd.work = dir.string();
  cmd.programs = {(dir / "np.ruva").string()};
  cmd.json = (dir / "np.json").string();
  std::ostringstream listing, log;
  EXPECT_EQ(app::run(cmd, listing, log), 0) << log.str();
  std::stringstream json;
  json << std::ifstream(dir / "np.json").rdbuf();
  EXPECT_EQ(json.str().find("\"type\":\"table\""), std::string::npos);
  EXPECT_NE(log.str().find("NOTE: With NOPRINT the step makes no tables: the JSON file gets only its graphs and "
                           "their data.\n"),
            std::string::npos)
      << log.str();
  EXPECT_NE(log.str().find("NOTE: The bootstrap confidence limits in the BY group state=untreated are not shown: "
                           "NOPRINT prints no table.\n"),
            std::string::npos)
      << log.str();
  EXPECT_EQ(log.str().find("shown in the Parameter Estimates table"), std::string::npos) << log.str();
  fs::remove_all(dir);
}

}  // namespace
