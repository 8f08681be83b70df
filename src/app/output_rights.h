// The files a run would replace that this user may not replace
// (replace_rights.h), found before the first step: the files and
// descriptions of the data sets the steps write and the graph files
// already in the --graphs folder. The checks of the JSON file and the
// report make a trial file as they will be written, which refuses them the
// same way; the listing and the log are written in place (output_files.h).
#pragma once

#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/in_place_data_sets.h"
#include "app/program_file.h"

namespace app {

// The numbered message (set 1) that names the first such file and says
// why it may not be replaced; empty when there is none. The data sets
// written in place are added to `in_place` as the check looked at them.
std::string unreplaceable_output(const CommandLine& cmd, ProgramTexts& programs,
                                 std::vector<InPlaceDataSet>* in_place);

// The numbered message (set 1) that names the first file or description of
// a data set the steps read that is a named pipe no process writes
// (input_open.h), whose read would wait for ever; empty when there is
// none. The named pipes that have a writer are left open, their
// descriptors added to `held` for the run to close when it ends, so that
// their writer, which the check's open let go on, is never left without a
// reader before the step reads them.
std::string unreadable_pipe(const CommandLine& cmd, ProgramTexts& programs, std::vector<int>* held);

}  // namespace app
