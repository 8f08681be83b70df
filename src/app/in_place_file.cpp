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
  const std::streamsize written = std::filebuf::xsputn(text, size);
  keep_cause(written < size);
  return written;
}

InPlaceFile::Buffer::int_type InPlaceFile::Buffer::overflow(int_type c) {
  errno = 0;
  const int_type result = std::filebuf::overflow(c);
  keep_cause(traits_type::eq_int_type(result, traits_type::eof()));
  return result;
}

void InPlaceFile::open(const std::string& file, std::ios::openmode mode) {
  if (buffer_.open(file, mode | std::ios::out))
    clear();
  else
    setstate(std::ios::failbit);
}

}  // namespace app
