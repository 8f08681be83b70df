#include "platform/scratch_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace platform {
namespace {

// TMPDIR when it names a folder by an absolute path, else /tmp.
std::string scratch_folder() {
  const char* named = std::getenv("TMPDIR");
  return named && named[0] == '/' ? named : "/tmp";
}

// A file with a name that is removed at once, where the file system takes
// no unnamed file.
int named_then_removed(const std::string& folder) {
  std::string name = folder + "/.ruva-scratch-XXXXXX";
  const int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd >= 0) ::unlink(name.c_str());
  return fd;
}

}  // namespace

std::FILE* scratch_file() {
  const std::string folder = scratch_folder();
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) fd = named_then_removed(folder);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, "w+b");
  if (!file) {
    const int error = errno;
    ::close(fd);
    errno = error;
  }
  return file;
}

}  // namespace platform
