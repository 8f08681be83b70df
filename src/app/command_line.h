// The ruva command's arguments.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace app {

struct CommandLine {
  std::vector<std::string> programs;                          // program files, in order
  std::string listing;                                        // --listing FILE, empty: stdout
  std::string log;                                            // --log FILE, empty: stderr
  std::string json;                                           // --json FILE
  std::string html;                                           // --html FILE: the report
  std::string graphs;                                         // --graphs DIR: one SVG per graph
  std::string work;                                           // --work DIR
  std::vector<std::pair<std::string, std::string>> libraries; // --lib NAME=DIR
  std::vector<std::string> options;                           // --option NAME[=VALUE]
  std::vector<std::string> settings;                          // --set NAME=VALUE
  bool parse_only = false;                                    // --parse-only: show the parsed statements
  bool version = false;
  bool help = false;
};

// Parses argv; false with a message when the arguments are not valid.
bool parse_command_line(int argc, const char* const* argv, CommandLine* out, std::string* error);

const char* usage_text();

}  // namespace app
