#include "platform/datasets/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/datasets/input_open.h"

namespace platform::ds {

bool MappedFile::read_stream(int fd, std::string* why) {
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      *why = std::strerror(errno);
      return false;
    }
    copy_.append(buffer, static_cast<std::size_t>(got));
  }
  data_ = copy_.data();
  size_ = copy_.size();
  return true;
}

MappedFile::~MappedFile() {
  if (size_ > 0 && data_ != copy_.data()) munmap(const_cast<char*>(data_), size_);
}

bool MappedFile::open(const ResolvedPath& file, std::string* why) {
  if (!file.ok()) {
    *why = file.failure();
    return false;
  }
  const int fd = open_for_reading(file, why);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = fstat(fd, &st) == 0;
  if (ok && S_ISREG(st.st_mode)) modified_ = std::int64_t{st.st_mtim.tv_sec} * 1'000'000'000 + st.st_mtim.tv_nsec;
  if (ok && S_ISDIR(st.st_mode)) {
    *why = "it is a folder";
    ok = false;
  } else if (ok && !S_ISREG(st.st_mode)) {
    ok = read_stream(fd, why);  // a pipe or a device: no size to map
  } else if (ok && st.st_size > 0) {
    void* p = mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (p == MAP_FAILED) {
      ok = read_stream(fd, why);  // a file system without mapping: read it instead
    } else {
      data_ = static_cast<const char*>(p);
      size_ = static_cast<std::size_t>(st.st_size);
      madvise(p, size_, MADV_SEQUENTIAL);
    }
  }
  if (!ok && why->empty()) *why = std::strerror(errno);
  close(fd);
  return ok;
}

}  // namespace platform::ds
