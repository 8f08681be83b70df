#include "app/output_guard.h"

#include <sys/stat.h>

#include <filesystem>
#include <utility>
#include <vector>

#include "app/program_file.h"
#include "host/statement_records.h"
#include "platform/datasets/sidecar.h"
#include "platform/language/step_parser.h"
#include "platform/libraries.h"
#include "platform/names.h"
#include "platform/threads/large_stack.h"

namespace app {
namespace {

namespace fs = std::filesystem;

// A file the run uses and what it is, as a message says it: "the program
// file p.ruva", "the file w/bod.csv of the data set WORK.bod, which the run
// reads", where the name is the output's.
struct UsedFile {
  fs::path path;
  std::string kind;
  std::string of;
  bool any_case = false;  // a data set's: its name matches without regard to case
};

// A file that exists and is not a regular file cannot be replaced.
bool replaces_nothing(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
}

// Whether two paths name one file: the same file when both exist (links
// and all), the same absolute path when neither does yet.
bool same_file(const fs::path& a, const fs::path& b) {
  std::error_code ec;
  const bool a_exists = fs::exists(a, ec), b_exists = fs::exists(b, ec);
  if (a_exists != b_exists) return false;
  if (a_exists) return fs::equivalent(a, b, ec);
  std::error_code ea, eb;
  const fs::path pa = fs::weakly_canonical(fs::absolute(a, ea), ea);
  const fs::path pb = fs::weakly_canonical(fs::absolute(b, eb), eb);
  return ea || eb ? a == b : pa == pb;
}

// Whether `output` would stand beside `used` under its name in another
// case: the data sets would then find two files for one name.
bool same_name_any_case(const fs::path& output, const fs::path& used) {
  auto folder = [](const fs::path& p) { return p.has_parent_path() ? p.parent_path() : fs::path("."); };
  return platform::same_name(output.filename().string(), used.filename().string()) &&
         same_file(folder(output), folder(used));
}

// Whether `output` is named as the graph files in the folder `graphs` are
// (step1_FitPlot.svg, step2_by3_ResidualPlot_x.svg).
bool graph_file_name(const fs::path& output, const std::string& graphs) {
  const std::string name = output.filename().string();
  const std::size_t digits = name.find_first_not_of("0123456789", 4);
  const bool named = name.rfind("step", 0) == 0 && digits > 4 && digits != std::string::npos && name[digits] == '_' &&
                     output.extension() == ".svg";
  return named && !graphs.empty() && same_file(output.has_parent_path() ? output.parent_path() : ".", graphs);
}

platform::Libraries libraries_of(const CommandLine& cmd) {
  platform::Libraries libraries;
  if (!cmd.work.empty()) libraries.set_work(cmd.work);
  for (const auto& [name, dir] : cmd.libraries) libraries.define(name, dir);
  return libraries;
}

// A data set a step names, with its description; a name that does not
// resolve is left to the step to report.
void add_data_set(const platform::language::FieldValue& f, const platform::Libraries& libraries,
                  std::vector<UsedFile>* used) {
  platform::DatasetName name;
  fs::path csv;
  if (!platform::Libraries::parse(f.text, &name, nullptr) || !libraries.resolve(f.text, &csv, nullptr)) return;
  const std::string of = " of the data set " + name.display() + ", which the run " + (f.mode == 2 ? "writes" : "reads");
  used->push_back({csv, "the file", of, true});
  used->push_back({platform::ds::sidecar_path(csv), "the description", of, true});
}

// The data sets of every step of a program file, read by the parser that
// runs the steps; a file that cannot be read is left to the run to report.
void add_data_sets(const std::string& program, const platform::Libraries& libraries, std::vector<UsedFile>* used) {
  std::error_code ec;
  std::string text;
  if (fs::is_directory(program, ec) || !read_program_file(program, &text)) return;
  for (const platform::StepSource& step : split_program(text, program).steps) {
    platform::run_with_stack(platform::kTreeStackBytes, [&] {
      const auto parsed = platform::language::parse_step(step.text, step.first_line);
      for (const platform::language::ProcStatement& statement : parsed->statements)
        for (const auto& [number, field] : statement.fields)
          if (field.type == stfield::kDataset) add_data_set(field, libraries, used);
    });
  }
}

}  // namespace

std::string output_clash(const CommandLine& c) {
  const std::pair<const char*, const std::string*> options[] = {
      {"--listing", &c.listing}, {"--log", &c.log}, {"--json", &c.json}, {"--html", &c.html}};
  std::vector<std::pair<std::string, std::string>> outputs;  // option, file
  for (const auto& [option, file] : options)
    if (!file->empty() && !replaces_nothing(*file)) outputs.emplace_back(option, *file);
  if (outputs.empty()) return {};
  for (std::size_t i = 0; i < outputs.size(); ++i)
    for (std::size_t j = i + 1; j < outputs.size(); ++j)
      if (same_file(outputs[i].second, outputs[j].second))
        return outputs[i].first + " and " + outputs[j].first + " name the same file " + outputs[i].second;
  for (const auto& [option, file] : outputs)
    if (graph_file_name(file, c.graphs)) return option + " names " + file + ", a graph file of --graphs " + c.graphs;
  std::vector<UsedFile> used;
  const platform::Libraries libraries = libraries_of(c);
  for (const std::string& program : c.programs) {
    used.push_back({program, "the program file", ""});
    add_data_sets(program, libraries, &used);
  }
  for (const auto& [option, file] : outputs)
    for (const UsedFile& u : used)
      if (same_file(file, u.path) || (u.any_case && same_name_any_case(file, u.path)))
        return option + " names " + u.kind + " " + file + u.of;
  return {};
}

}  // namespace app
