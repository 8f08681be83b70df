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

}  // namespace
