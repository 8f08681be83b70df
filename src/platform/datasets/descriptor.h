// A file descriptor owned by one object and closed with it. A copy is a
// duplicate (F_DUPFD_CLOEXEC) of the same open file, so that a folder
// looked at once can be handed to each file made in it.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <utility>

namespace platform::ds {

class Descriptor {
 public:
  Descriptor() = default;
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor& other) : fd_(other.fd_ < 0 ? -1 : ::fcntl(other.fd_, F_DUPFD_CLOEXEC, 0)) {}
  Descriptor(Descriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Descriptor& operator=(Descriptor other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace platform::ds
