#include "app/in_place_file.h"

#include <cerrno>
#include <cstring>

namespace app {

// errno is read at once: the failed write(2) was the file's last call.
void InPlaceFile::Buffer::keep_cause(bool failed) {
  const int error = errno;
  if (failed && failure_.empty() && error != 0) failure_ = std::strerror(error);
}

std::streamsize InPlaceFile::Buffer::xsputn(const char* text, std::streamsize size) {
  errno = 0;
  const std::streamsize written = stdio_filebuf::xsputn(text, size);
  keep_cause(written < size);
  return written;
}

InPlaceFile::Buffer::int_type InPlaceFile::Buffer::overflow(int_type c) {
  errno = 0;
  const int_type result = stdio_filebuf::overflow(c);
  keep_cause(traits_type::eq_int_type(result, traits_type::eof()));
  return result;
}

void InPlaceFile::attach(int fd) {
  buffer_ = std::make_unique<Buffer>(fd);
  rdbuf(buffer_.get());
}

const std::string& InPlaceFile::failure() const {
  static const std::string none;
  return buffer_ ? buffer_->failure() : none;
}

}  // namespace app
