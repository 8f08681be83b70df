// Splits a program into its steps: each step runs from a PROC RUVA
// statement up to RUN; or QUIT;, the next PROC statement or the end.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/host.h"

namespace app {

struct SplitResult {
  std::vector<platform::StepSource> steps;
  std::vector<int> stray_lines;  // lines of statements outside any step
};

SplitResult split_program(const std::string& text, const std::string& file);

// Reads a program file whole; false when it cannot be read (it does not
// exist, is a folder, may not be read, or a read fails).
bool read_program_file(const std::string& path, std::string* text);

// The program files of a run, each read once: the guard of the outputs and
// the steps see one text, even from a pipe that can be read only once
// (<(...), /dev/stdin).
class ProgramTexts {
 public:
  // Reads every file of `files` now, before any output is opened, so that a
  // program that cannot be read changes no output; the numbered message
  // (set 1) for the first that cannot be read, or empty.
  std::string read_all(const std::vector<std::string>& files);
  // The text of `file`, read when first asked for; null when it cannot be read.
  const std::string* text(const std::string& file);

 private:
  std::map<std::string, std::optional<std::string>> texts_;
  std::map<std::string, std::string> refusals_;  // why a file was not read, where the system does not say
};

}  // namespace app
