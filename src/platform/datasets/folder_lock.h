// A data set is two files, its CSV and its description, which a writer
// renames into place one after the other. Writers hold this lock on the
// folder, exclusive, over both renames, and readers hold it shared while
// they open both, so that a reader never takes one run's CSV with another
// run's description. The lock is the folder's own (flock on its
// descriptor): nothing is left in the folder. Where it cannot be taken (a
// folder that cannot be opened, a file system without locks) the files are
// used without it. A lock that another process that may write the folder
// holds is waited for, and the log says once that the run waits, and for
// which folder. Anyone who may read a folder may lock it too: a lock held
// only by processes that may not write the folder (lock_holders.h) is
// waited for a second at most, as long as a run that reads data sets there
// holds it, and then passed by, so that no reader can stall the run.
#pragma once

#include <functional>
#include <vector>

#include "platform/datasets/resolved_path.h"

namespace platform::ds {

// Takes the flock `operation` (LOCK_SH or LOCK_EX) of the folder open as
// `fd`, waiting while a process that may write the folder holds it once
// `say_waiting` has said so: it is called only when the run must wait, and
// then once. False when the lock cannot be had (a file system without
// locks), or is held only by readers of the folder for a second.
bool lock_waiting(int fd, int operation, const std::function<void()>& say_waiting);

// Takes a write lock of the whole file open for writing as `fd` (an open
// file description's lock, which a descriptor open only for reading cannot
// take), waiting while another writer holds one once `say_waiting` has
// said so, as lock_waiting does. A process that may only read the file can
// still hold a read lock on it, but never for a run that writes it, which
// takes write locks alone: the file is then written without the lock
// rather than waited for, so that no reader can stall the run. False when
// the lock is not had.
bool write_lock_waiting(int fd, const std::function<void()>& say_waiting);

class FolderLock {
 public:
  enum class Mode { Shared, Exclusive };
  // Takes the lock of the folder that holds `file` (the folder its look
  // found), waiting if need be.
  FolderLock(const ResolvedPath& file, Mode mode);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_ = -1;
};

// The exclusive locks of the folders that hold `files`, for a step's data
// sets, which are put in place together: each folder's once, however
// many names lead to it, and all in one order (by device and inode), so
// that two runs that wait for each other's folders never wait in a circle.
class FolderLocks {
 public:
  explicit FolderLocks(const std::vector<const ResolvedPath*>& files);
  ~FolderLocks();
  FolderLocks(const FolderLocks&) = delete;
  FolderLocks& operator=(const FolderLocks&) = delete;

 private:
  std::vector<int> fds_;
};

}  // namespace platform::ds
