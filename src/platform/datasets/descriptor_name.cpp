#include "platform/datasets/descriptor_name.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <string>

namespace platform::ds {
namespace {

namespace fs = std::filesystem;

// Whether `folder` (canonical) lists this process's descriptors:
// /proc/<pid>/fd, or /proc/<pid>/task/<tid>/fd of one of its threads.
bool descriptor_folder(const fs::path& folder) {
  const fs::path own = fs::path("/proc") / std::to_string(::getpid());
  if (folder.filename() != "fd") return false;
  const fs::path above = folder.parent_path();
  return above == own || above.parent_path() == own / "task";
}

int descriptor_number(const std::string& name) {
  int fd = -1;
  const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), fd);
  return ec == std::errc() && end == name.data() + name.size() && !name.empty() ? fd : -1;
}

constexpr const char* kStandardStreams[] = {"standard input", "standard output", "standard error"};
bool closed_at_start[3] = {};

}  // namespace

void hold_closed_standard_streams() {
  for (int fd = 0; fd <= 2; ++fd)
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF)
      closed_at_start[fd] = ::open("/dev/null", O_RDONLY) == fd;
}

const char* closed_standard_stream(int fd) {
  return fd >= 0 && fd <= 2 && closed_at_start[fd] ? kStandardStreams[fd] : nullptr;
}

int descriptor_in(const fs::path& folder, const std::string& name) {
  return descriptor_folder(folder) ? descriptor_number(name) : -1;
}

int descriptor_named(const fs::path& path) {
  constexpr int kMostLinks = 40;  // as the kernel follows at most
  std::error_code ec;
  fs::path at = fs::absolute(path, ec);
  // Each link is followed one step at a time: the last one, into
  // /proc/<pid>/fd, is what tells a stream from a file.
  for (int links = 0; !ec && links < kMostLinks; ++links) {
    const fs::path folder = fs::canonical(at.parent_path(), ec);
    if (ec) return -1;
    if (descriptor_folder(folder)) return descriptor_in(folder, at.filename().string());
    at = folder / at.filename();
    if (!fs::is_symlink(at, ec)) return -1;
    const fs::path target = fs::read_symlink(at, ec);
    at = target.is_absolute() ? target : folder / target;
  }
  return -1;
}

}  // namespace platform::ds
