#include "app/output_guard.h"

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "app/program_file.h"
#include "platform/datasets/descriptor_name.h"
#include "platform/datasets/link_chain.h"
#include "platform/datasets/resolved_path.h"
#include "platform/datasets/sidecar.h"
#include "platform/datasets/whole_file.h"
#include "platform/language/step_data_sets.h"
#include "platform/libraries.h"
#include "platform/listing/message_catalog.h"
#include "platform/names.h"

namespace app {
namespace {

namespace fs = std::filesystem;

constexpr int kMsgSameFile = 230;
constexpr int kMsgProgramFile = 231;
constexpr int kMsgDataSetFile = 232;
constexpr int kMsgDescription = 233;
constexpr int kMsgGraphFile = 234;
constexpr int kMsgProgramIsGraph = 235;
constexpr int kMsgLinkToGraphFile = 270;
constexpr int kMsgDataSetAtProgram = 271;
constexpr int kMsgStreamIsDataSet = 272;

// A data set's file or description the run uses.
struct UsedFile {
  fs::path path;
  int message;       // kMsgDataSetFile or kMsgDescription
  std::string name;  // WORK.bod
  const char* use;   // "reads" or "writes"
};

UsedFile used_file(const DataSetFile& f) {
  return {f.path, f.description ? kMsgDescription : kMsgDataSetFile, f.name, f.written ? "writes" : "reads"};
}

// "The file d.csv of the data set WORK.d", as messages name it.
std::string subject_of(const UsedFile& u) {
  return std::string(u.message == kMsgDataSetFile ? "The file " : "The description ") + u.path.string() +
         " of the data set " + u.name;
}

// An output as the guard compares it: the stream it reaches, and the file
// it names when it names one.
struct Output {
  std::string option;   // "--json", or "the log on standard error" for a default
  std::string file;     // as named; empty for a default stream
  int descriptor = -1;  // the stream it reaches (1 standard output), or -1
  std::optional<struct stat> status;  // of the file, when it exists
};

std::optional<struct stat> status_of(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? std::optional(st) : std::nullopt;
}

Output named_output(const char* option, const std::string& file) {
  return {option, file, platform::ds::descriptor_named(file), status_of(file)};
}

Output default_stream(const char* what, int descriptor) {
  struct stat st;
  return {what, "", descriptor, ::fstat(descriptor, &st) == 0 ? std::optional(st) : std::nullopt};
}

bool regular(const Output& o) { return o.status && S_ISREG(o.status->st_mode); }
bool named_pipe(const Output& o) { return o.status && S_ISFIFO(o.status->st_mode); }

// Two streams clash when they are one descriptor; otherwise two outputs
// clash when they would replace one regular file, or make one new one, or
// write into one pipe, where their lines would interleave.
bool one_file(const Output& a, const Output& b) {
  if (a.descriptor >= 0 && b.descriptor >= 0) return a.descriptor == b.descriptor;
  if ((regular(a) && regular(b)) || (named_pipe(a) && named_pipe(b)))
    return a.status->st_dev == b.status->st_dev && a.status->st_ino == b.status->st_ino;
  return !a.status && !b.status && !a.file.empty() && !b.file.empty() && same_file(a.file, b.file);
}

// Whether `output` would stand beside `used` under its name in another
// case: the data sets would then find two files for one name.
bool same_name_any_case(const fs::path& output, const fs::path& used) {
  auto folder = [](const fs::path& p) { return p.has_parent_path() ? p.parent_path() : fs::path("."); };
  return platform::same_name(output.filename().string(), used.filename().string()) &&
         same_file(folder(output), folder(used));
}

// The graph file of --graphs that `file` reaches through symbolic links,
// or empty. Writing the graph replaces the link at the graph's name, and
// what `file` stands for would go with it.
fs::path linked_graph_file(const fs::path& file, const std::string& graphs) {
  if (graphs.empty()) return {};
  for (const fs::path& at : platform::ds::link_chain(file))
    if (graph_file_name(at, graphs)) return at;
  return {};
}

// The message for `file`, which `subject` names ("The program file
// p.ruva"), when it leads to a graph file; empty when it does not.
std::string link_to_graph_file(const std::string& subject, const fs::path& file, const std::string& graphs) {
  const fs::path graph = linked_graph_file(file, graphs);
  if (graph.empty()) return {};
  return platform::message_text(1, kMsgLinkToGraphFile, subject.c_str(), graph.c_str(), graphs.c_str());
}

platform::Libraries libraries_of(const CommandLine& cmd) {
  platform::Libraries libraries;
  if (!cmd.work.empty()) libraries.set_work(cmd.work);
  for (const auto& [name, dir] : cmd.libraries) libraries.define(name, dir);
  return libraries;
}

// The files of the data sets every step of a program file names, valid
// statements or not; a name that does not resolve is left to the run to
// report, as is a file that cannot be read (ProgramTexts::read_all).
void add_data_sets(const std::string& program, ProgramTexts& programs, const platform::Libraries& libraries,
                   std::vector<DataSetFile>* used) {
  const std::string* text = programs.text(program);
  if (!text) return;
  for (const platform::StepSource& step : split_program(*text, program).steps) {
    for (const auto& data_set : platform::language::step_data_sets(step.text, step.first_line)) {
      platform::DatasetName name;
      fs::path csv;
      if (!platform::Libraries::parse(data_set.name, &name, nullptr) || !libraries.resolve(data_set.name, &csv, nullptr))
        continue;
      used->push_back({csv, false, name.display(), data_set.written});
      // A data set written to a device or a stream has no description.
      if (!data_set.written || !platform::ds::written_in_place(csv))
        used->push_back({platform::ds::sidecar_path(csv), true, name.display(), data_set.written});
    }
  }
}

// The outputs of the command line: those it names, then the default
// streams that the listing and the log keep when it names no file for them.
std::vector<Output> outputs_of(const CommandLine& c) {
  std::vector<Output> outputs;
  const std::pair<const char*, const std::string*> named[] = {
      {"--listing", &c.listing}, {"--log", &c.log}, {"--json", &c.json}, {"--html", &c.html}};
  for (const auto& [option, file] : named)
    if (!file->empty()) outputs.push_back(named_output(option, *file));
  if (c.listing.empty()) outputs.push_back(default_stream("the listing on standard output", 1));
  if (c.log.empty()) outputs.push_back(default_stream("the log on standard error", 2));
  return outputs;
}

std::string shared_file(const std::vector<Output>& outputs) {
  for (std::size_t i = 0; i < outputs.size(); ++i)
    for (std::size_t j = i + 1; j < outputs.size(); ++j)
      if (!outputs[i].file.empty() && one_file(outputs[i], outputs[j]))
        return platform::message_text(1, kMsgSameFile, outputs[i].option.c_str(), outputs[j].option.c_str(),
                                      outputs[i].file.c_str());
  return {};
}

// What an output that would replace a file (not a device, nor a pipe)
// would replace of what the run uses.
std::string replaced_file(const Output& o, const CommandLine& c, const std::vector<UsedFile>& used) {
  const char* option = o.option.c_str();
  const char* file = o.file.c_str();
  if (graph_file_name(o.file, c.graphs)) return platform::message_text(1, kMsgGraphFile, option, file, c.graphs.c_str());
  for (const std::string& program : c.programs)
    if (same_file(o.file, program)) return platform::message_text(1, kMsgProgramFile, option, file);
  for (const UsedFile& u : used)
    if (same_file(o.file, u.path) || same_name_any_case(o.file, u.path))
      return platform::message_text(1, u.message, option, file, u.name.c_str(), u.use);
  return {};
}

// The message for a data set that a step writes whose file or description
// is a program file, or leads to one through links; empty when none is.
std::string written_program(const std::vector<UsedFile>& used, const std::vector<std::string>& programs) {
  for (const UsedFile& u : used)
    for (const std::string& program : programs)
      if (std::string_view(u.use) == "writes" && same_file(u.path, program))
        return platform::message_text(1, kMsgDataSetAtProgram, subject_of(u).c_str(), program.c_str());
  return {};
}

// Whether the data set file `path` reaches the stream that the output `o`
// writes (the listing on standard output, --json /dev/stdout): its
// descriptor by any name, or the file, pipe or socket behind it. A device
// (/dev/null, a terminal) may take several outputs.
bool reaches_stream(const Output& o, const fs::path& path) {
  if (platform::ds::descriptor_named(path) == o.descriptor) return true;
  const std::optional<struct stat> st = status_of(path);
  return st && o.status && !S_ISCHR(st->st_mode) && !S_ISBLK(st->st_mode) &&
         st->st_dev == o.status->st_dev && st->st_ino == o.status->st_ino;
}

// The message for a stream that an output writes (the listing on standard
// output, the log on standard error, an output named /dev/stdout) which a
// data set a step writes would reach too, or replace when the shell sent
// the stream into its file; empty when there is none.
std::string stream_at_written_data_set(const std::vector<Output>& outputs, const std::vector<UsedFile>& used) {
  for (const Output& o : outputs) {
    if (o.descriptor < 0) continue;
    for (const UsedFile& u : used) {
      if (std::string_view(u.use) != "writes" || !reaches_stream(o, u.path)) continue;
      if (!o.file.empty())
        return platform::message_text(1, u.message, o.option.c_str(), u.path.c_str(),
                                      u.name.c_str(), u.use);
      return platform::message_text(1, kMsgStreamIsDataSet, ("T" + o.option.substr(1)).c_str(),
                                    u.path.c_str(), u.name.c_str());
    }
  }
  return {};
}

// Whether two looks found one file: the same file where both found one,
// else the same name in the same folder, which writing would make.
bool same_found(const platform::ds::ResolvedPath& a, const platform::ds::ResolvedPath& b) {
  if (a.exists != b.exists) return false;
  if (a.exists) return a.status.st_dev == b.status.st_dev && a.status.st_ino == b.status.st_ino;
  struct stat folder_a, folder_b;
  return a.name == b.name && ::fstat(a.folder.get(), &folder_a) == 0 && ::fstat(b.folder.get(), &folder_b) == 0 &&
         folder_a.st_dev == folder_b.st_dev && folder_a.st_ino == folder_b.st_ino;
}

}  // namespace

bool same_file(const fs::path& a, const fs::path& b) {
  // Looked at name by name, as the run opens them, so that a path longer
  // than the system takes whole compares too; by name where a walk stops
  // short (a folder yet to be made, a link in a loop).
  const platform::ds::ResolvedPath found_a = platform::ds::resolve_path(a), found_b = platform::ds::resolve_path(b);
  if (found_a.ok() && found_b.ok()) return same_found(found_a, found_b);
  std::error_code ec;
  const bool a_exists = fs::exists(a, ec), b_exists = fs::exists(b, ec);
  if (a_exists != b_exists) return false;
  if (a_exists) return fs::equivalent(a, b, ec);
  const fs::path pa = platform::ds::made_path(a), pb = platform::ds::made_path(b);
  return pa.empty() || pb.empty() ? a == b : pa == pb;
}

bool graph_file_name(const fs::path& file, const std::string& graphs) {
  const std::string name = file.filename().string();
  const std::size_t digits = name.find_first_not_of("0123456789", 4);
  const bool named = name.rfind("step", 0) == 0 && digits > 4 && digits != std::string::npos && name[digits] == '_' &&
                     file.extension() == ".svg";
  return named && !graphs.empty() && same_file(file.has_parent_path() ? file.parent_path() : ".", graphs);
}

std::vector<DataSetFile> data_set_files(const CommandLine& cmd, ProgramTexts& programs) {
  std::vector<DataSetFile> files;
  const platform::Libraries libraries = libraries_of(cmd);
  for (const std::string& program : cmd.programs) add_data_sets(program, programs, libraries, &files);
  return files;
}

std::string output_clash(const CommandLine& c, ProgramTexts& programs) {
  const std::vector<Output> outputs = outputs_of(c);
  if (std::string clash = shared_file(outputs); !clash.empty()) return clash;
  for (const std::string& program : c.programs) {
    if (graph_file_name(program, c.graphs))
      return platform::message_text(1, kMsgProgramIsGraph, program.c_str(), c.graphs.c_str());
    if (std::string clash = link_to_graph_file("The program file " + program, program, c.graphs); !clash.empty())
      return clash;
  }
  std::vector<UsedFile> used;
  for (const DataSetFile& f : data_set_files(c, programs)) used.push_back(used_file(f));
  if (std::string clash = written_program(used, c.programs); !clash.empty()) return clash;
  if (std::string clash = stream_at_written_data_set(outputs, used); !clash.empty()) return clash;
  std::vector<const Output*> replacing;  // named, and neither a device nor a pipe
  for (const Output& o : outputs)
    if (!o.file.empty() && (!o.status || regular(o))) replacing.push_back(&o);
  for (const Output* o : replacing) {
    if (std::string clash = replaced_file(*o, c, used); !clash.empty()) return clash;
    const std::string subject = "The " + o->option + " file " + o->file;
    if (std::string clash = link_to_graph_file(subject, o->file, c.graphs); !clash.empty()) return clash;
  }
  for (const UsedFile& u : used)
    if (std::string clash = link_to_graph_file(subject_of(u), u.path, c.graphs); !clash.empty()) return clash;
  return {};
}

}  // namespace app
