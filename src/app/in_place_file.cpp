#include "app/in_place_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace app {

void InPlaceFile::Buffer::set(int fd, bool owned) {
  close();
  fd_ = fd;
  owned_ = owned;
  by_line_ = fd >= 0 && ::isatty(fd) == 1;
}

void InPlaceFile::Buffer::close() {
  drain();
  if (owned_ && fd_ >= 0) ::close(fd_);
  fd_ = -1;
  owned_ = false;
}

// A failed write keeps its cause and drops what is buffered: the output is
// cut short from there, and every later write fails too.
bool InPlaceFile::Buffer::drain() {
  for (const char* at = pbase(); failure_.empty() && at < pptr();) {
    const ssize_t written = ::write(fd_, at, static_cast<std::size_t>(pptr() - at));
    if (written > 0)
      at += written;
    else if (written < 0 && errno != EINTR)
      failure_ = std::strerror(errno);
    else if (written == 0)
      failure_ = std::strerror(EIO);
  }
  setp(space_, space_ + sizeof space_);
  return failure_.empty();
}

std::streamsize InPlaceFile::Buffer::xsputn(const char* text, std::streamsize size) {
  if (!failure_.empty()) return 0;
  const std::streamsize put = std::streambuf::xsputn(text, size);
  if (by_line_ && std::memchr(text, '\n', static_cast<std::size_t>(put)) && !drain()) return 0;
  return put;
}

InPlaceFile::Buffer::int_type InPlaceFile::Buffer::overflow(int_type c) {
  if (!drain()) return traits_type::eof();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

int InPlaceFile::Buffer::sync() { return drain() ? 0 : -1; }

InPlaceFile::~InPlaceFile() { buffer_.close(); }

void InPlaceFile::adopt(int fd) {
  buffer_.set(fd, true);
  clear();
}

void InPlaceFile::attach(int fd) {
  buffer_.set(fd, false);
  clear();
}

}  // namespace app
