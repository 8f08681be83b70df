#include "platform/datasets/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <map>
#include <mutex>
#include <tuple>
#include <utility>

#include "platform/datasets/lock_holders.h"
#include "platform/datasets/problem.h"

namespace platform::ds {
namespace {

// The folder that holds `file`, open for its lock (which a descriptor
// that only locates it cannot take); -1 when it cannot be.
int open_folder_of(const ResolvedPath& file) {
  return ::openat(file.folder.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Notes on the folder that holds `file`. One that cannot be logged (no
// memory left) is let go: the run goes on all the same.
void say_waiting(const ResolvedPath& file) noexcept {
  try {
    log_problem({msg::kWaitsForLock, {file.shown_folder()}});
  } catch (...) {
  }
}

// The folder's own lock passed by; `own` whether the user's own is held.
void say_passed_by(const ResolvedPath& file, bool own) noexcept {
  try {
    log_problem({msg::kPassesByFolderLock, {file.shown_folder()}});
    if (!own)
      log_problem({msg::kRunsNotKeptApart,
                   {"the data sets of the folder " + file.shown_folder(), lock_folder_problem()}});
  } catch (...) {
  }
}

// Takes this user's lock (into `run_lock`) and the folder's own lock of the
// folder that holds `file`, open as `fd`, waiting while another run, or a
// process that may write the folder, holds either; closes `fd` and gives
// -1 when the folder's own cannot be had, or is passed by.
int locked(int fd, int operation, const ResolvedPath& file, RunLock* run_lock) {
  if (fd < 0) return -1;
  bool said = false;
  const auto say_once = [&] {
    if (!std::exchange(said, true)) say_waiting(file);
  };
  struct stat folder;
  const bool own =
      ::fstat(fd, &folder) == 0 && run_lock->take(folder, operation == LOCK_EX, say_once);
  const Locked lock = lock_waiting(fd, operation, say_once);
  if (lock == Locked::Held) return fd;
  if (lock == Locked::PassedBy) say_passed_by(file, own);
  ::close(fd);
  return -1;
}

// The pause between two tries of a lock that is held.
constexpr int kPollStepMs = 20;
void pause_before_retry() {
  const timespec step{0, kPollStepMs * 1'000'000L};
  ::nanosleep(&step, nullptr);
}

// How long the run may still wait for others' locks of one file or
// folder: a second in all over the run, so that a reader who holds the
// lock as the run goes keeps it waiting once, not at each step, and the
// log says once that the run passes the lock by.
struct OthersWait {
  int left_ms = 1000;
  bool passed_by = false;
};

// The run's wait for others' locks of the file or folder `of`; null when
// there is no memory left to track it.
OthersWait* others_wait(const struct stat& of) noexcept {
  static std::mutex mutex;
  static std::map<std::pair<dev_t, ino_t>, OthersWait> waits;
  const std::lock_guard<std::mutex> hold(mutex);
  try {
    return &waits[{of.st_dev, of.st_ino}];
  } catch (...) {
    return nullptr;
  }
}

// Tries `try_lock` (0 when it took the lock, else errno) on the file or
// folder `of` until it takes it: for as long as `writer_holds` says a
// writer holds it, once `say_waiting` has said so, and while only others
// hold it for what is left of their second. Polled rather than waited for
// in the kernel, so that a reader who takes the lock as the run's holder
// lets it go keeps no waiting request there for ever.
Locked poll_lock(const struct stat& of, const std::function<int()>& try_lock,
                 const std::function<bool()>& writer_holds,
                 const std::function<void()>& say_waiting) {
  OthersWait untracked;
  OthersWait* const wait = others_wait(of);
  OthersWait& others = wait ? *wait : untracked;
  for (bool said = false;;) {
    const int error = try_lock();
    if (error == 0) return Locked::Held;
    if (error != EWOULDBLOCK && error != EACCES && error != EINTR) return Locked::Without;
    if (writer_holds()) {
      if (!std::exchange(said, true)) say_waiting();
    } else if (others.left_ms <= 0) {
      return std::exchange(others.passed_by, true) ? Locked::Without : Locked::PassedBy;
    } else {
      others.left_ms -= kPollStepMs;
    }
    pause_before_retry();
  }
}

}  // namespace

Locked lock_waiting(int fd, int operation, const std::function<void()>& say_waiting) {
  struct stat folder;
  if (::fstat(fd, &folder) != 0) return Locked::Without;
  return poll_lock(
      folder, [&] { return ::flock(fd, operation | LOCK_NB) == 0 ? 0 : errno; },
      [&] { return writer_holds_lock(folder); }, say_waiting);
}

Locked write_lock_waiting(int fd, const std::function<void()>& say_waiting) {
  struct stat file;
  if (::fstat(fd, &file) != 0) return Locked::Without;
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;  // from 0 to the end, however far the file grows
  const auto writer_holds = [&] {
    struct flock held = whole;
    return ::fcntl(fd, F_OFD_GETLK, &held) == 0 && held.l_type == F_WRLCK;
  };
  return poll_lock(
      file, [&] { return ::fcntl(fd, F_OFD_SETLK, &whole) == 0 ? 0 : errno; }, writer_holds,
      say_waiting);
}

FolderLock::FolderLock(const ResolvedPath& file, Mode mode)
    : fd_(locked(open_folder_of(file), mode == Mode::Exclusive ? LOCK_EX : LOCK_SH, file,
                 &run_lock_)) {}

FolderLock::~FolderLock() {
  if (fd_ >= 0) ::close(fd_);  // closing the descriptor releases the lock
}

FolderLocks::FolderLocks(const std::vector<const ResolvedPath*>& files) {
  struct Folder {
    dev_t device;
    ino_t inode;
    int fd;
    const ResolvedPath* file;  // one that it holds
  };
  // Room made first: nothing may throw while a descriptor or a lock is
  // held only here.
  std::vector<Folder> folders;
  folders.reserve(files.size());
  run_locks_.reserve(files.size());
  fds_.reserve(files.size());
  for (const ResolvedPath* file : files) {
    const int fd = open_folder_of(*file);
    if (fd < 0) continue;
    struct stat st;
    auto same = [&st](const Folder& f) { return f.device == st.st_dev && f.inode == st.st_ino; };
    // A second lock of one folder would wait for the first for ever.
    if (::fstat(fd, &st) != 0 || std::any_of(folders.begin(), folders.end(), same))
      ::close(fd);
    else
      folders.push_back({st.st_dev, st.st_ino, fd, file});
  }
  std::sort(folders.begin(), folders.end(), [](const Folder& a, const Folder& b) {
    return std::tie(a.device, a.inode) < std::tie(b.device, b.inode);
  });
  for (const Folder& folder : folders)
    if (const int fd = locked(folder.fd, LOCK_EX, *folder.file, &run_locks_.emplace_back());
        fd >= 0)
      fds_.push_back(fd);
}

FolderLocks::~FolderLocks() {
  for (const int fd : fds_) ::close(fd);
}

}  // namespace platform::ds
