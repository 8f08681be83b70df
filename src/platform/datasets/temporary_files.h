// The temporary files being written, kept where a signal handler can reach
// them: a run stopped by a signal removes them before it ends, so that no
// hidden half-written file is left beside its target.
#pragma once

namespace platform::ds {

// Records `path` (copied) as a temporary file; called before the file is
// created, so that the file never exists untracked. Returns the ticket that
// releases it, or -1 when the table is full and the file goes untracked.
int track_temporary(const char* path);
// Forgets the file of `ticket`; called once the file is removed or renamed.
void release_temporary(int ticket);
// Removes every file still tracked. Async-signal-safe: atomic exchanges and
// unlink(2) only, and no memory is freed.
void remove_temporaries();

}  // namespace platform::ds
