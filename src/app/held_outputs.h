// The listing and log files a run writes in place are held by the run, from
// before it truncates them until it ends, so that each is one run's, whole,
// however many runs name it at once: every run takes a write lock (an open
// file description's, which only a descriptor open for writing can take)
// on the file's own descriptor before it truncates the file, so that a
// process that may only read the file cannot keep the run waiting. A run
// kept waiting says so once, naming the first file it waits for, on the
// default log (standard error), for the log file may be the very file it
// waits for. The locks are taken in one order (by device and inode), so
// that two runs that name the same two files in other roles never wait in
// a circle, and all of them before any file is truncated, so that a run
// stopped while it waits has changed none. Only a regular file is held: a
// device or a pipe is written as it stands, and so is a stream of the
// process (/dev/stdout), which the caller leaves out. Where the lock
// cannot be had (a file system without locks, a reader's read lock on the
// file) the file is written without it. The log's lock lasts as long as
// the run's stop line may still be written into it (run_signals.h).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/in_place_file.h"

namespace app {

struct HeldOutput {
  InPlaceFile* stream;  // open on the file
  std::string file;     // as named
  const char* what;     // "listing file"
};

// Of `outputs` (none a stream of the process), those the run holds, once
// it holds them; notes on `log` each that it must wait for.
std::vector<HeldOutput> hold_for_run(const std::vector<HeldOutput>& outputs, std::ostream& log);

// Empties the `held` files, which the run then writes from their start;
// the numbered message (set 1) that says why one cannot be, or empty.
std::string truncate_held(const std::vector<HeldOutput>& held);

}  // namespace app
