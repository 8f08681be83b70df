#include "platform/datasets/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
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

// A process that may write a folder may hold its lock for as long as it
// likes: a run kept waiting says so, once, before it waits. A note that
// cannot be logged (no memory left) is let go: the run waits all the same.
void say_waiting(const ResolvedPath& file) noexcept {
  try {
    log_problem({msg::kWaitsForLock, {file.shown_folder()}});
  } catch (...) {
  }
}

// Takes the lock of the folder that holds `file`, open as `fd`, waiting
// while another process holds it; closes `fd` and gives -1 when it cannot
// be had.
int locked(int fd, int operation, const ResolvedPath& file) {
  if (fd < 0) return -1;
  if (lock_waiting(fd, operation, [&file] { say_waiting(file); })) return fd;
  ::close(fd);
  return -1;
}

// The pause between two tries of a lock that is held.
constexpr int kPollStepMs = 20;
void pause_before_retry() {
  const timespec step{0, kPollStepMs * 1'000'000L};
  ::nanosleep(&step, nullptr);
}

}  // namespace

bool lock_waiting(int fd, int operation, const std::function<void()>& say_waiting) {
  struct stat folder;
  if (::fstat(fd, &folder) != 0) return false;
  constexpr int kReaderMs = 1000;
  // Polled rather than waited for in the kernel, so that a reader who
  // takes the lock as a writer lets it go keeps no waiting request there.
  for (int waited = 0, said = 0;; waited += kPollStepMs) {
    if (::flock(fd, operation | LOCK_NB) == 0) return true;
    if (errno != EWOULDBLOCK && errno != EINTR) return false;
    const bool writer = writer_holds_lock(folder);
    if (!writer && waited >= kReaderMs) return false;
    if (writer && !std::exchange(said, 1)) say_waiting();
    pause_before_retry();
  }
}

bool write_lock_waiting(int fd, const std::function<void()>& say_waiting) {
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;  // from 0 to the end, however far the file grows
  for (bool said = false;;) {
    if (::fcntl(fd, F_OFD_SETLK, &whole) == 0) return true;
    if (errno != EAGAIN && errno != EACCES && errno != EINTR) return false;
    struct flock held = whole;
    if (::fcntl(fd, F_OFD_GETLK, &held) != 0 || held.l_type == F_RDLCK) return false;
    if (held.l_type == F_WRLCK && !std::exchange(said, true)) say_waiting();
    // Polled rather than waited for in the kernel: a reader who took a read
    // lock as the writer let go would keep a waiting request there for ever.
    pause_before_retry();
  }
}

FolderLock::FolderLock(const ResolvedPath& file, Mode mode)
    : fd_(locked(open_folder_of(file), mode == Mode::Exclusive ? LOCK_EX : LOCK_SH, file)) {}

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
    if (const int fd = locked(folder.fd, LOCK_EX, *folder.file); fd >= 0) fds_.push_back(fd);
}

FolderLocks::~FolderLocks() {
  for (const int fd : fds_) ::close(fd);
}

}  // namespace platform::ds
