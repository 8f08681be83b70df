#include "app/command_line.h"

#include <cstring>
#include <filesystem>

namespace app {
namespace {

// Whether two paths name one file, whether or not it exists yet.
bool same_file(const std::string& a, const std::string& b) {
  std::error_code ea, eb;
  const auto pa = std::filesystem::weakly_canonical(std::filesystem::absolute(a, ea), ea);
  const auto pb = std::filesystem::weakly_canonical(std::filesystem::absolute(b, eb), eb);
  return ea || eb ? a == b : pa == pb;
}

// Two outputs sent to one file would overwrite each other, and an output
// sent to a program file would overwrite the program: empty when neither.
std::string output_clash(const CommandLine& c) {
  const std::pair<const char*, const std::string*> outputs[] = {
      {"--listing", &c.listing}, {"--log", &c.log}, {"--json", &c.json}, {"--html", &c.html}};
  for (std::size_t i = 0; i < std::size(outputs); ++i) {
    const std::string& file = *outputs[i].second;
    if (file.empty()) continue;
    for (std::size_t j = i + 1; j < std::size(outputs); ++j)
      if (!outputs[j].second->empty() && same_file(file, *outputs[j].second))
        return std::string(outputs[i].first) + " and " + outputs[j].first + " name the same file " + file;
    for (const std::string& program : c.programs)
      if (same_file(file, program)) return std::string(outputs[i].first) + " names the program file " + program;
  }
  return {};
}

}  // namespace

const char* usage_text() {
  return "usage: ruva [options] PROGRAM...\n"
         "\n"
         "Runs the PROC RUVA steps of each program file in turn.\n"
         "\n"
         "options:\n"
         "  --listing FILE       write the listing to FILE (default: standard output)\n"
         "  --log FILE           write the log to FILE (default: standard error)\n"
         "  --json FILE          write every output table to FILE, one JSON object a line\n"
         "  --html FILE          write the report to FILE: every table and graph of the\n"
         "                       run on one self-contained HTML page\n"
         "  --graphs DIR         draw every graph as an SVG file in DIR (made if need be)\n"
         "  --work DIR           the WORK library: where one-level data set names live\n"
         "                       (default: the current directory)\n"
         "  --lib NAME=DIR       define library NAME; data set NAME.x is DIR/x.csv\n"
         "  --option NAME[=VAL]  set a system option (LINESIZE, PAGESIZE, CENTER,\n"
         "                       NOCENTER, DEBUG, FORMCHAR, STIMER, GENERIC)\n"
         "  --set NAME=VALUE     set a named value of the kernel library\n"
         "  --parse-only         parse each step and show its statements, options\n"
         "                       and program as the procedure sees them; run nothing\n"
         "  --version            print the version and exit\n"
         "  --help               print this text and exit\n"
         "\n"
         "Exit status: 0 when every step ended with return code 0, 1 when the\n"
         "largest return code is 4, 2 otherwise.\n";
}

bool parse_command_line(int argc, const char* const* argv, CommandLine* out, std::string* error) {
  auto fail = [&](const std::string& why) {
    *error = why;
    return false;
  };
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool has_value = false;
    // Options take their value as --name=value or as the next argument.
    auto take = [&](const char* name) {
      std::string flag = std::string("--") + name;
      if (arg == flag) {
        if (i + 1 >= argc) return false;
        value = argv[++i];
        has_value = true;
        return true;
      }
      if (arg.rfind(flag + "=", 0) == 0) {
        value = arg.substr(flag.size() + 1);
        has_value = true;
        return true;
      }
      return false;
    };
    if (arg == "--help" || arg == "-h") out->help = true;
    else if (arg == "--version") out->version = true;
    else if (arg == "--parse-only") out->parse_only = true;
    else if (take("listing")) out->listing = value;
    else if (take("log")) out->log = value;
    else if (take("json")) out->json = value;
    else if (take("html")) out->html = value;
    else if (take("graphs")) out->graphs = value;
    else if (take("work")) out->work = value;
    else if (take("option")) out->options.push_back(value);
    else if (take("set")) {
      if (value.find('=') == std::string::npos) return fail("--set needs NAME=VALUE, not " + value);
      out->settings.push_back(value);
    } else if (take("lib")) {
      auto eq = value.find('=');
      if (eq == std::string::npos || eq == 0 || eq + 1 == value.size())
        return fail("--lib needs NAME=DIR, not " + value);
      out->libraries.emplace_back(value.substr(0, eq), value.substr(eq + 1));
    } else if (arg.rfind("--", 0) == 0) {
      if (!has_value && (arg == "--listing" || arg == "--log" || arg == "--json" || arg == "--html" || arg == "--graphs" ||
                         arg == "--work" || arg == "--lib" || arg == "--option" || arg == "--set"))
        return fail(arg + " needs a value");
      return fail("unknown option " + arg);
    } else {
      out->programs.push_back(arg);
    }
  }
  if (!out->help && !out->version && out->programs.empty()) return fail("no program file given");
  if (std::string clash = output_clash(*out); !clash.empty()) return fail(clash);
  return true;
}

}  // namespace app
