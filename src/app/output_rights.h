// The files a run would replace that this user may not replace
// (replace_rights.h), found before the first step: the files and
// descriptions of the data sets the steps write, the graph files already
// in the --graphs folder, and the listing, log and JSON files, which are
// written in place but are held to the same rule, so that every output is
// refused alike. The report's own check opens it as it will be written,
// which refuses it the same way.
#pragma once

#include <string>

#include "app/command_line.h"
#include "app/program_file.h"

namespace app {

// The numbered message (set 1) that names the first such file and says
// why it may not be replaced; empty when there is none.
std::string unreplaceable_output(const CommandLine& cmd, ProgramTexts& programs);

// The same for the file `file` that the `what` ("log file") of the command
// line names; empty for one of the process's streams (/dev/stdout), which
// is written on as it stands.
std::string unreplaceable_stream(const std::string& file, const char* what);

}  // namespace app
