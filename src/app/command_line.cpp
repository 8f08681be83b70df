#include "app/command_line.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace app {
namespace {

// A library's folder as an option gives it.
struct LibraryFolder {
  std::string library;  // upper case
  std::string folder;
  std::string option;  // "--work X", "--lib name=X"
};

std::string upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

// A folder's name made absolute and plain (no ".", "..", link or final /).
std::filesystem::path plain_folder(const std::string& folder) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::weakly_canonical(std::filesystem::absolute(folder, ec), ec);
  if (ec) p = std::filesystem::path(folder).lexically_normal();
  return p.has_filename() ? p : p.parent_path();
}

// One folder however it is spelled (X, ./X, X/, a link to X).
bool same_folder(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (std::filesystem::exists(a, ec) && std::filesystem::exists(b, ec)) return std::filesystem::equivalent(a, b, ec);
  return plain_folder(a) == plain_folder(b);
}

// A library given two folders would read one of them and never say which:
// the message names both.
bool one_folder_each(const std::vector<LibraryFolder>& given, std::string* error) {
  for (std::size_t i = 0; i < given.size(); ++i)
    for (std::size_t j = i + 1; j < given.size(); ++j)
      if (given[i].library == given[j].library && !same_folder(given[i].folder, given[j].folder)) {
        *error = given[i].option + " and " + given[j].option + " give the library " + given[i].library +
                 " two folders, " + given[i].folder + " and " + given[j].folder + "; give it one";
        return false;
      }
  return true;
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
  // The options that name a file or a folder: an empty name would quietly
  // mean none, so it is refused.
  struct PathOption {
    const char* name;
    std::string* value;
    const char* what;
  };
  const PathOption paths[] = {{"listing", &out->listing, "file"}, {"log", &out->log, "file"},
                              {"json", &out->json, "file"},       {"html", &out->html, "file"},
                              {"graphs", &out->graphs, "folder"}, {"work", &out->work, "folder"}};
  std::vector<LibraryFolder> folders;
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
    auto path_option = [&]() -> const PathOption* {
      for (const PathOption& p : paths)
        if (take(p.name)) return &p;
      return nullptr;
    };
    if (arg == "--help" || arg == "-h") out->help = true;
    else if (arg == "--version") out->version = true;
    else if (arg == "--parse-only") out->parse_only = true;
    else if (const PathOption* p = path_option()) {
      if (value.empty()) return fail(std::string("--") + p->name + " needs a " + p->what + " name, not an empty one");
      *p->value = value;
      if (p->value == &out->work) folders.push_back({"WORK", value, "--work " + value});
    } else if (take("option")) {
      out->options.push_back(value);
    } else if (take("set")) {
      if (value.find('=') == std::string::npos) return fail("--set needs NAME=VALUE, not " + value);
      out->settings.push_back(value);
    } else if (take("lib")) {
      auto eq = value.find('=');
      if (eq == std::string::npos || eq == 0 || eq + 1 == value.size())
        return fail("--lib needs NAME=DIR, not " + value);
      out->libraries.emplace_back(value.substr(0, eq), value.substr(eq + 1));
      folders.push_back({upper(value.substr(0, eq)), value.substr(eq + 1), "--lib " + value});
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
  return one_folder_each(folders, error);
}

}  // namespace app
