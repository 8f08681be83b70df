// A data set is two files, its CSV and its description, which a writer
// renames into place one after the other. Writers hold this lock on the
// folder, exclusive, over both renames, and readers hold it shared while
// they open both, so that a reader never takes one run's CSV with another
// run's description. It is two locks, taken in this order: the user's own
// (run_lock.h), which keeps the user's runs apart and which no one else
// can take, and the folder's own (flock on its descriptor), which other
// programs and other users' runs see; nothing is left in the folder.
// The folder's own is waited for while a process that may write the
// folder holds it (lock_holders.h); one that only others hold (anyone who
// may read a folder may lock it; another user of a sticky folder) is
// waited for a second at most over the run and then passed by, so that no
// one else can stall it. The log says once that the run waits, and for which
// folder, and that it passes a lock by. Where a lock cannot be had (a
// folder that cannot be opened, a file system without locks) the files
// are used without it.
#pragma once

#include <functional>
#include <vector>

#include "platform/datasets/resolved_path.h"
#include "platform/datasets/run_lock.h"

namespace platform::ds {

// Held: the lock is the run's. PassedBy: only processes that may not
// write the file or folder have held it, for a second in all over the run,
// and the run now goes on without it, as its log is to say. Without: it
// cannot be had (a file system without locks), or was passed by before.
enum class Locked { Held, PassedBy, Without };

// Takes the flock `operation` (LOCK_SH or LOCK_EX) of the folder open as
// `fd`, waiting while a process that may write the folder holds it once
// `say_waiting` has said so: it is called only when the run must wait, and
// then once.
Locked lock_waiting(int fd, int operation, const std::function<void()>& say_waiting);

// Takes a write lock of the whole file open for writing as `fd` (an open
// file description's lock, which a descriptor open only for reading cannot
// take), waiting while another process holds a write lock on it once
// `say_waiting` has said so, as lock_waiting does. A read lock, which any
// process that may read the file can take, is passed by.
Locked write_lock_waiting(int fd, const std::function<void()>& say_waiting);

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
  RunLock run_lock_;
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
  std::vector<RunLock> run_locks_;
  std::vector<int> fds_;
};

}  // namespace platform::ds
