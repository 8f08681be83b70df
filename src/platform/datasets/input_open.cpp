#include "platform/datasets/input_open.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace platform::ds {
namespace {

// Whether the named pipe open (without waiting) as `fd` is, or has been
// since, written: tee(2) copies from a pipe without taking what it copies,
// and says 0 only while the pipe is empty and no process writes it; poll
// says that the pipe holds text, or that a writer came and went since the
// open (an empty data set). A writer started with the run, in the
// background of the same shell, may open the pipe a moment after it: it
// is given a second.
bool written_or_holding(int fd) {
  int scratch[2];
  if (::pipe2(scratch, O_CLOEXEC) != 0) return true;  // unknown: read as ever
  constexpr int kWaitMs = 1000, kStepMs = 10;
  bool written = false;
  for (int waited = 0; !written && waited <= kWaitMs; waited += kStepMs) {
    pollfd ready{fd, POLLIN, 0};
    written = ::tee(fd, scratch[1], 1, SPLICE_F_NONBLOCK) != 0 ||  // -1 (EAGAIN) while a writer has yet to write
              (::poll(&ready, 1, 0) > 0 && (ready.revents & (POLLIN | POLLHUP)));
    const timespec step{0, kStepMs * 1'000'000L};
    if (!written) ::nanosleep(&step, nullptr);
  }
  ::close(scratch[0]);
  ::close(scratch[1]);
  return written;
}

bool named_pipe(int fd) {
  struct stat st;
  struct statfs fs;
  return ::fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode) && ::fstatfs(fd, &fs) == 0 && fs.f_type != PIPEFS_MAGIC;
}

}  // namespace

int open_for_reading(const ResolvedPath& found, std::string* why) {
  const int fd = open_found(found, O_RDONLY | O_NONBLOCK, why);
  if (fd < 0) return -1;
  if (named_pipe(fd) && !written_or_holding(fd)) {
    ::close(fd);
    *why = kNoWriter;
    errno = ENXIO;
    return -1;
  }
  if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    const int error = errno;
    ::close(fd);
    *why = std::strerror(error);
    errno = error;
    return -1;
  }
  return fd;
}

}  // namespace platform::ds
