// The files the outputs named on the command line (--listing, --log, --json,
// --html) must leave alone, checked before any of them is opened: the
// program files, the data set files the steps read or write with the
// descriptions beside them, the graph files of --graphs, and each other. The data sets are those the
// steps name, found by the parser that runs them in the libraries the
// command line defines, so the check knows every file the run will use
// before anything is truncated. An output that exists and is not a regular
// file (/dev/null, a terminal, a pipe) replaces nothing and may be shared.
#pragma once

#include <string>

#include "app/command_line.h"

namespace app {

// Why an output of `cmd` would overwrite a file the run needs or another
// output; empty when none would.
std::string output_clash(const CommandLine& cmd);

}  // namespace app
