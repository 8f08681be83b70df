// The listing and log files a run writes in place are held by the run, from
// before it truncates them until it ends, so that each is one run's, whole,
// however many runs name it at once. Each is held by two locks: the user's
// own (run_lock.h), which keeps the user's runs apart and which no one else
// can take, and a write lock of the file (an open file description's, which
// only a descriptor open for writing can take), which other programs and
// other users' runs see. That one is waited for while another process holds
// a write lock on the file; a read lock, which any process that may read
// the file can take, is waited for a second at most and then passed by, so
// that no reader can stall the run. A run kept waiting says so once, naming
// the first file it waits for, on the default log (standard error), for
// the log file may be the very file it waits for; the log file says so too
// once it begins, with each lock passed by. The locks are taken in one
// order (by device and inode), so that two runs that name the same two
// files in other roles never wait in a circle, and all of them before any
// file is truncated, so that a run stopped while it waits has changed none.
// Only a regular file is held: a device or a pipe is written as it stands,
// and so is a stream of the process (/dev/stdout), which the caller leaves
// out. Where a lock cannot be had (a file system without locks) the file is
// written without it. The log's locks last as long as the run's stop line
// may still be written into it (run_signals.h).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "app/in_place_file.h"
#include "platform/datasets/run_lock.h"

namespace app {

struct HeldOutput {
  InPlaceFile* stream;  // open on the file
  std::string file;     // as named
  const char* what;     // "listing file"
};

// What the run holds of its listing and log files, and what its log is to
// say of how it took them.
struct Holds {
  std::vector<HeldOutput> files;
  std::vector<platform::ds::RunLock> locks;  // the user's own, to be let go when the run ends
  std::string waited;                        // the note said when the run waited, or empty
  std::vector<std::string> passed_by;        // the notes of the locks passed by
};

// Of `outputs` (none a stream of the process), those the run holds, once
// it holds them; says on `log` that it must wait, when it must.
Holds hold_for_run(const std::vector<HeldOutput>& outputs, std::ostream& log);

// Empties the `held` files, which the run then writes from their start;
// the numbered message (set 1) that says why one cannot be, or empty.
std::string truncate_held(const std::vector<HeldOutput>& held);

}  // namespace app
