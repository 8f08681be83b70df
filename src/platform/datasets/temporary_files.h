// The temporary files being written, kept where a signal handler can reach
// them: a run stopped by a signal removes them before it ends, so that no
// hidden half-written file is left beside its target.
#pragma once

#include <cstdio>

namespace platform::ds {

// Creates the file `name` (which must not exist) in the folder open as
// `folder` for writing and tracks it; sets `ticket` to what releases it.
// Null with errno set when it cannot be created or tracked, ECANCELED once
// the run is being stopped.
std::FILE* create_temporary(int folder, const char* name, int* ticket);
// Forgets the file of `ticket`; called once the file is removed or renamed.
void release_temporary(int ticket);
// Renames the tracked file `name` to `target`, both in `folder`; false
// with errno set, to ECANCELED once the run is being stopped (the file is
// then removed with the others).
bool rename_temporary(int folder, const char* name, const char* target);
// Removes every file still tracked, once no thread is halfway through
// creating or renaming one. Async-signal-safe: atomics, nanosleep(2) and
// unlinkat(2), and no memory is freed. Only for a run that ends next.
void remove_temporaries();

}  // namespace platform::ds
