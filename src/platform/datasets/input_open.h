// Opens an input (a data set file, its description, a program file) for
// reading without waiting for a writer: the open of a named pipe that no
// process writes would wait for ever, and a data set's open would hold its
// folder's lock (folder_lock.h) all that time, keeping the runs that write
// there waiting too. Such a pipe is refused, as an output pipe that no
// process reads is.
#pragma once

#include <string>

#include "platform/datasets/resolved_path.h"

namespace platform::ds {

// Why a named pipe is not read: no process writes it, nor opens it to
// write within a second, and it holds nothing.
inline constexpr char kNoWriter[] = "it is a named pipe that no process writes";

// Opens the file the look `found` saw for reading (open_found), for reads
// that wait as usual; -1 with `why` when it cannot be opened, or is a
// named pipe that no process writes and that holds nothing (kNoWriter). A
// pipe of a process (/dev/fd/63 of `<(...)`) is read as it is: one whose
// writer has ended is read to its end.
int open_for_reading(const ResolvedPath& found, std::string* why);

}  // namespace platform::ds
