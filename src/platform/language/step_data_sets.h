// The data sets a step names in its options (DATA=, OUTEST=, OUT=, PDATA=,
// PROFDATA=, BOOTDATA=), read from the tokens alone: a statement with an
// error in it still names its data sets, so that whatever guards those
// files does not depend on the statements being valid.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform::language {

struct StepDataSet {
  std::string name;      // as written: "bod", "in.s"
  bool written = false;  // the option names a data set the step writes
};

// Every `OPTION = name` of `text` whose OPTION is a data-set option of the
// statement it stands in, or of any statement when that one is not known.
std::vector<StepDataSet> step_data_sets(std::string_view text, int first_line);

}  // namespace platform::language
