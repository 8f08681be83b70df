// Who holds the lock of a folder (flock), as the system lists the locks
// it holds (/proc/locks): anyone who may read a folder may lock it, so a
// lock held by a process that may not write the folder is no run's that
// writes data sets there; nor, in a sticky folder (/tmp), one of another
// user than this one or the folder's owner, who may not replace this
// user's files there.
#pragma once

#include <sys/stat.h>

namespace platform::ds {

// Whether a process that may write the folder `folder` (by its file
// system ids and the folder's mode, sticky or not) holds a flock of it.
// False when every holder listed may not, or cannot be told (it has
// ended, or its ids are hidden from this user).
bool writer_holds_lock(const struct stat& folder);

}  // namespace platform::ds
