// The ruva command.
#include <unistd.h>

#include <iostream>
#include <new>

#include "app/command_line.h"
#include "app/in_place_file.h"
#include "app/runner.h"
#include "platform/datasets/descriptor_name.h"
#include "platform/memory_reserve.h"

namespace {

int run_command(int argc, char** argv) {
  app::CommandLine cmd;
  std::string error;
  if (!app::parse_command_line(argc, argv, &cmd, &error)) {
    std::cerr << "ruva: " << error << "\n\n" << app::usage_text();
    return 2;
  }
  if (cmd.help) {
    std::cout << app::usage_text();
    return 0;
  }
  if (cmd.version) {
    std::cout << "ruva " RUVA_VERSION "\n";
    return 0;
  }
  // The listing on standard output keeps why a write failed, as a
  // listing file does.
  app::InPlaceFile standard_output;
  standard_output.attach(STDOUT_FILENO);
  return app::run(cmd, standard_output, std::cerr);
}

constexpr const char* kNoMemoryToStart = "ruva: there is not enough memory to start.\n";

}  // namespace

int main(int argc, char** argv) {
  platform::ds::hold_closed_standard_streams();
  // Without the reserve, a failed allocation could not even raise its
  // exception (its object is allocated too), and the process would end in
  // std::terminate: a start without room for it stops here instead.
  platform::arm_memory_reserve();
  if (!platform::memory_reserve_held()) {
    std::cerr << kNoMemoryToStart;
    return 2;
  }
  // The run itself reports a shortage of memory once its log is open; this
  // is for the command line read before it and for a run that could not
  // say so in its log.
  try {
    return run_command(argc, argv);
  } catch (const std::bad_alloc&) {
    std::cerr << kNoMemoryToStart;
    return 2;
  }
}
