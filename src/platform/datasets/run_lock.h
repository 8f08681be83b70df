// The lock that keeps one user's runs apart on a file or folder they share
// (a listing, a log, a data sets' folder): an empty lock file in a folder
// that only the user may enter, named by the device and inode of what it
// stands for, and locked with flock. Any process that may read a file or
// folder may lock it too, so the lock of the file itself (folder_lock.h)
// cannot both keep runs apart and leave readers unable to stall them; this
// one no other user can take or hold. It is let go with its process, so a
// run that ends leaves no lock behind, and its last holder removes the lock
// file (the first lock a run takes removes those left by runs stopped
// before they could): each holder checks, once it has the lock, that its
// file still has its name, and takes the lock anew when it was removed.
//
// The folder is the user's runtime folder (/run/user/UID, which only the
// user may enter), or /run for root, else /tmp/ruva-locks-UID, the same for
// every run of the user whatever its environment: made 0700 where missing
// and used only when it is a folder of the user's own that no one else may
// enter (another user may have made one at the name in /tmp).
#pragma once

#include <sys/stat.h>

#include <functional>
#include <string>

namespace platform::ds {

class RunLock {
 public:
  RunLock() = default;
  ~RunLock();
  RunLock(RunLock&& other) noexcept;
  RunLock& operator=(RunLock&& other) noexcept;
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  // Takes the lock of the file or folder whose status is `of`, shared or
  // exclusive, waiting while another run of the user holds it once
  // `say_waiting` has said so (called only when the run must wait). False
  // when it cannot be had: the user has no folder of their own for it
  // (lock_folder_problem), or the system refuses the lock file.
  // `say_waiting` must not throw.
  bool take(const struct stat& of, bool exclusive,
            const std::function<void()>& say_waiting) noexcept;
  bool held() const { return fd_ >= 0; }

 private:
  void release() noexcept;

  int fd_ = -1;
  char name_[64] = {};  // in the lock folder
};

// Why the user has no folder of their own for the locks of runs (a clause),
// or empty.
const std::string& lock_folder_problem();

}  // namespace platform::ds
