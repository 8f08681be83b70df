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

#include <string>

#include "app/command_line.h"
#include "app/program_file.h"

namespace app {

// The numbered message (set 1) that says why an output of `cmd` would
// overwrite a file the run needs or share a file with another output;
// empty when none would.
std::string output_clash(const CommandLine& cmd, ProgramTexts& programs);

}  // namespace app
