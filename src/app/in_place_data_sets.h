// The files of the data sets the steps write into a device, a stream or a
// named pipe (written in place, whole_file.h), opened before the first
// step as their step will open them: one that cannot be (a pipe that no
// process reads, /dev/tty without a terminal, a descriptor of the process
// that is not open) refuses the run before it begins, instead of failing
// its step once the step has run. A pipe is held open until the run ends,
// so that its reader waits for the whole output instead of taking the
// check's open for an empty one.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/program_file.h"
#include "platform/datasets/whole_file.h"

namespace app {

class InPlaceDataSets {
 public:
  // The numbered message (set 1) that says why the first of them cannot be
  // written; empty when every one can.
  std::string check(const CommandLine& cmd, ProgramTexts& programs);

 private:
  std::vector<std::unique_ptr<platform::ds::WholeFile>> held_pipes_;
};

}  // namespace app
