// Splits a program into its steps: each step runs from a PROC RUVA
// statement up to RUN; or QUIT;, the next PROC statement or the end.
#pragma once

#include <string>
#include <vector>

#include "platform/host.h"

namespace app {

struct SplitResult {
  std::vector<platform::StepSource> steps;
  std::vector<int> stray_lines;  // lines of statements outside any step
};

SplitResult split_program(const std::string& text, const std::string& file);

// Reads a program file whole; false when it cannot be read.
bool read_program_file(const std::string& path, std::string* text);

}  // namespace app
