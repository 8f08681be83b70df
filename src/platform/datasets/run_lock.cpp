#include "platform/datasets/run_lock.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/datasets/descriptor.h"

namespace platform::ds {
namespace {

struct LockFolder {
  Descriptor fd;        // O_PATH; none when the user has no folder of their own
  std::string problem;  // why not
};

// The folder `name` in `base`, made 0700 where missing, when it is a folder
// of this user's that no one else may enter; else none, and why.
Descriptor own_folder(const std::string& base, const std::string& name, std::string* why) {
  const std::string path = base + "/" + name;
  const Descriptor at(::open(base.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!at || (::mkdirat(at.get(), name.c_str(), 0700) != 0 && errno != EEXIST)) {
    *why = "the folder " + path + " cannot be made: " + std::strerror(errno);
    return {};
  }
  Descriptor folder(
      ::openat(at.get(), name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st;
  if (!folder || ::fstat(folder.get(), &st) != 0) {
    *why = "the folder " + path + " cannot be opened: " + std::strerror(errno);
    return {};
  }
  if (st.st_uid != ::geteuid() || (st.st_mode & (S_IRWXG | S_IRWXO))) {
    *why = "the folder " + path + " is not this user's alone";
    return {};
  }
  return folder;
}

// Whether `base` is a folder of this user's that no one else may write.
bool users_own(const char* base) {
  struct stat st;
  return ::stat(base, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
         !(st.st_mode & (S_IWGRP | S_IWOTH));
}

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Removes the lock file `name` of `folder` when no one holds it, as its
// last holder does: one whose run was stopped by a signal, or crashed, is
// left behind, and goes here.
void remove_if_free(int folder, const char* name) {
  const int fd = ::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return;
  struct stat mine, named;
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &mine) == 0 && S_ISREG(mine.st_mode) &&
      ::fstatat(folder, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && same_file(mine, named))
    ::unlinkat(folder, name, 0);
  ::close(fd);
}

void remove_free_lock_files(int folder) {
  const int listed = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* entries = listed < 0 ? nullptr : ::fdopendir(listed);
  if (!entries) {
    if (listed >= 0) ::close(listed);
    return;
  }
  while (const dirent* entry = ::readdir(entries))
    if (entry->d_name[0] != '.') remove_if_free(folder, entry->d_name);
  ::closedir(entries);
}

LockFolder find_lock_folder() {
  const std::string uid = std::to_string(::geteuid());
  const std::string runtime = "/run/user/" + uid;
  LockFolder found;
  if (users_own(runtime.c_str()))
    found.fd = own_folder(runtime, "ruva-locks", &found.problem);
  else if (::geteuid() == 0 && users_own("/run"))
    found.fd = own_folder("/run", "ruva-locks", &found.problem);
  if (!found.fd) found.fd = own_folder("/tmp", "ruva-locks-" + uid, &found.problem);
  if (found.fd) found.problem.clear();
  if (found.fd) remove_free_lock_files(found.fd.get());
  return found;
}

// Found once, by the first lock the run takes; none when no memory was
// left to look for it.
const LockFolder& lock_folder() noexcept {
  static const LockFolder folder = [] {
    try {
      return find_lock_folder();
    } catch (...) {
      return LockFolder{};
    }
  }();
  return folder;
}

}  // namespace

const std::string& lock_folder_problem() {
  return lock_folder().problem;
}

RunLock::~RunLock() {
  release();
}

RunLock::RunLock(RunLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {
  std::memcpy(name_, other.name_, sizeof name_);
}

RunLock& RunLock::operator=(RunLock&& other) noexcept {
  if (this != &other) {
    release();
    fd_ = std::exchange(other.fd_, -1);
    std::memcpy(name_, other.name_, sizeof name_);
  }
  return *this;
}

bool RunLock::take(const struct stat& of, bool exclusive,
                   const std::function<void()>& say_waiting) noexcept {
  release();
  const LockFolder& folder = lock_folder();
  if (!folder.fd) return false;
  // Nothing allocated, and no exception, while a descriptor is held here.
  char name[64];
  std::snprintf(name, sizeof name, "%ju-%ju", static_cast<std::uintmax_t>(of.st_dev),
                static_cast<std::uintmax_t>(of.st_ino));
  const int operation = exclusive ? LOCK_EX : LOCK_SH;
  for (bool said = false;;) {
    const int fd = ::openat(folder.fd.get(), name, O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    int locked = ::flock(fd, operation | LOCK_NB);
    if (locked != 0 && errno == EWOULDBLOCK) {
      if (!std::exchange(said, true)) say_waiting();
      // Waited for in the kernel: only the user's own runs hold it, and
      // each lets it go as it ends.
      while ((locked = ::flock(fd, operation)) != 0 && errno == EINTR) {
      }
    }
    struct stat mine, named;
    if (locked == 0 && ::fstat(fd, &mine) == 0 &&
        ::fstatat(folder.fd.get(), name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        same_file(mine, named)) {
      fd_ = fd;
      std::memcpy(name_, name, sizeof name_);
      return true;
    }
    ::close(fd);
    if (locked != 0) return false;
    // The holder before removed the file as it left: another run may have
    // made it anew, and holds it.
  }
}

void RunLock::release() noexcept {
  if (fd_ < 0) return;
  // Only a holder that has it alone removes the file; a run that waits for
  // it then finds it gone, and makes it anew.
  if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) ::unlinkat(lock_folder().fd.get(), name_, 0);
  ::close(fd_);
  fd_ = -1;
}

}  // namespace platform::ds
