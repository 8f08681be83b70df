// The files of the data sets the steps write into a device, a stream or a
// named pipe (written in place, whole_file.h), opened before the first
// step as their step will open them, from the look that the check of the
// outputs took at each (output_rights.h): one that cannot be (a pipe that
// no process reads, /dev/tty without a terminal) refuses the run before it
// begins, instead of failing its step once the step has run. A pipe is
// held open until the run ends, so that its reader waits for the whole
// output instead of taking the check's open for an empty one. (A
// descriptor of the process that is not open names no file, and is
// refused with the other new files among the devices.)
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/datasets/resolved_path.h"
#include "platform/datasets/whole_file.h"

namespace app {

// A data set's file written in place, as the check looked at it.
struct InPlaceDataSet {
  std::string name;  // WORK.pred
  platform::ds::ResolvedPath found;
};

class InPlaceDataSets {
 public:
  // The numbered message (set 1) that says why the first of `data_sets`
  // cannot be written; empty when every one can.
  std::string check(std::vector<InPlaceDataSet> data_sets);

 private:
  std::vector<std::unique_ptr<platform::ds::WholeFile>> held_pipes_;
};

}  // namespace app
