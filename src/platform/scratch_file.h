// Unnamed scratch files for what the run holds on disk until it needs it
// (a data set for a pipe, a large utility file, the report's pages). They
// go in the folder TMPDIR names, as other programs' scratch files do, or
// in /tmp, and vanish when closed or when the process ends.
#pragma once

#include <cstdio>

namespace platform {

// A new scratch file open for reading and writing; null with errno set
// when none can be made.
std::FILE* scratch_file();

}  // namespace platform
