// The files the command line names for the run's output (--listing, --log,
// --json, --html and the --graphs folder), checked all together before any
// is opened, so that a refused run has truncated, made or replaced nothing:
// the guard (output_guard.h), then whether each can be written, found
// without making, opening or removing an output's own name, which another
// run may fill meanwhile; a refusal says why. The listing, the log and the
// JSON file are then opened where the check's look found them
// (resolved_path.h); the listing and log files are checked on their
// descriptors to be the files looked at, then held for the run
// (held_outputs.h), and only then truncated. A named pipe must have a
// reader: it is refused at once without one, and otherwise held open
// until the run ends, so that its reader waits for the whole output
// instead of taking the check's open for an empty one.
#pragma once

#include <iosfwd>
#include <vector>

#include "app/command_line.h"
#include "app/held_outputs.h"
#include "app/in_place_data_sets.h"
#include "app/in_place_file.h"
#include "app/json_file.h"
#include "app/program_file.h"

namespace app {

struct OutputFiles {
  OutputFiles() = default;
  OutputFiles(const OutputFiles&) = delete;
  OutputFiles& operator=(const OutputFiles&) = delete;
  ~OutputFiles();

  // Checks the outputs, makes the graphs folder, opens the files and holds
  // the listing and log files for the run (held_outputs.h), waiting for
  // another run that holds them; false after an ERROR on `log_default`,
  // and then no file has been written. The user's own locks of the files
  // go to `run_locks`, to be let go when the run has ended.
  // The guard reads the program files through `programs`.
  bool open(const CommandLine& cmd, ProgramTexts& programs, std::ostream& listing_default,
            std::ostream& log_default, std::vector<platform::ds::RunLock>* run_locks);
  // Empties the listing and log files the run holds, points `listing` and
  // `log` at them, and notes in the log how the run took them; false after
  // an ERROR on `log_default`.
  bool begin(std::ostream& log_default);

  InPlaceFile listing_file, log_file;
  JsonFile json_file;
  std::ostream* listing = nullptr;
  std::ostream* log = nullptr;

 private:
  using Found = platform::ds::ResolvedPath;

  bool check(const CommandLine& cmd, ProgramTexts& programs, std::ostream& log_default);
  bool check_in_place(const std::string& file, const char* what, Found* found, std::ostream& log_default);
  bool check_whole(const std::string& file, const char* what, platform::ds::AtLink at_link, Found* found,
                   std::ostream& log_default);
  bool check_graphs(const std::string& folder, std::ostream& log_default);
  bool hold_pipe(const Found& found, const std::string& file, const char* what, std::ostream& log_default);
  bool open_in_place(InPlaceFile& stream, Found found, const std::string& file, const char* what,
                     std::ostream& log_default);

  // The outputs as the check looked at them, for the opens that follow.
  Found log_found_, listing_found_, json_found_;
  std::vector<int> held_pipes_;  // descriptors of named pipes, closed when the run ends
  Holds held_;                   // the listing and log files the run holds
  bool log_on_standard_error_ = true;
  InPlaceDataSets in_place_data_sets_;  // holds the named pipes of data sets
};

}  // namespace app
