// Runs the command: sets up the host from the command line, runs every step
// of every program and turns the return codes into the exit status.
#pragma once

#include <iosfwd>
#include <vector>

#include "app/command_line.h"

namespace platform {
class Host;
}

namespace app {

// The exit status for a list of step return codes: 0 when all are 0, 1 when
// the largest is 4, 2 otherwise.
int exit_status(const std::vector<int>& return_codes);

// Applies the libraries, settings and options of the command line to the
// host; false, after logging why, when one of them is not valid.
bool configure(const CommandLine& cmd, platform::Host& host);

// Runs the programs; `listing` and `log` are the default streams.
int run(const CommandLine& cmd, std::ostream& listing, std::ostream& log);

}  // namespace app
