// The files the outputs named on the command line (--listing, --log, --json,
// --html) must leave alone, checked before any of them is opened: the
// program files, the data set files the steps read or write with the
// descriptions beside them, the graph files of --graphs, and each other.
// The data sets are those the steps' options name, read from their tokens
// so that a statement in error still names them, and found in the
// libraries the command line defines. An output that exists and is not a
// regular file (/dev/null, a terminal, a pipe) replaces nothing and may be
// shared, except a stream that another output already writes: the listing
// on standard output and the log on standard error by any name
// (/dev/stdout, /dev/fd/1, /proc/self/fd/1, or the file it is redirected
// to). A program file named as a graph file of --graphs is refused too.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/program_file.h"

namespace app {

// A data set's file or its description, which a step of the run names.
struct DataSetFile {
  std::filesystem::path path;
  bool description = false;  // the .meta.json beside the data set's file
  std::string name;          // WORK.bod
  bool written = false;      // the step writes the data set
};

// The files of the data sets the steps of `cmd`'s program files name,
// found in the libraries the command line defines.
std::vector<DataSetFile> data_set_files(const CommandLine& cmd, ProgramTexts& programs);

// Whether two paths name one file: the same file when both exist (links
// and all), the same name in the same folder when neither does yet (g, g/
// and ./g/. alike), where a link that dangles names the file that writing
// through it would make.
bool same_file(const std::filesystem::path& a, const std::filesystem::path& b);

// Whether `file` is named as the graph files in the folder `graphs` are
// (step1_FitPlot.svg, step2_by3_ResidualPlot_x.svg).
bool graph_file_name(const std::filesystem::path& file, const std::string& graphs);

// The numbered message (set 1) that says why an output of `cmd` would
// overwrite a file the run needs or share a file with another output;
// empty when none would.
std::string output_clash(const CommandLine& cmd, ProgramTexts& programs);

}  // namespace app
