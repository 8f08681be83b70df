#include "platform/report/report_spool.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/scratch_file.h"

namespace platform::report {

Spool::Spool() : file_(platform::scratch_file()) {}

Spool::~Spool() {
  if (file_) std::fclose(file_);
}

void Spool::append(const std::string& text) {
  size_ += text.size();
  if (!file_) memory_ += text;
  else if (!failed_ && std::fwrite(text.data(), 1, text.size(), file_) != text.size()) fail();
}

void Spool::fail() const {
  if (!failed_) error_ = std::strerror(errno);
  failed_ = true;
}

bool Spool::read(std::size_t begin, std::size_t end, const Sink& sink) const {
  end = std::min(end, size_);
  if (begin >= end) return !failed_;
  if (!file_) {
    sink(memory_.data() + begin, end - begin);
    return true;
  }
  if (failed_) return false;
  if (std::fflush(file_) != 0 || std::fseek(file_, static_cast<long>(begin), SEEK_SET) != 0) {
    fail();
    return false;
  }
  char buffer[1 << 16];
  std::size_t left = end - begin;
  while (left > 0) {
    const std::size_t got = std::fread(buffer, 1, std::min(left, sizeof buffer), file_);
    if (got == 0) break;
    sink(buffer, got);
    left -= got;
  }
  if (left > 0 && !std::ferror(file_)) errno = EIO;  // the file is shorter than what was written to it
  // What is appended next goes after the end.
  if (left > 0 || std::ferror(file_) || std::fseek(file_, 0, SEEK_END) != 0) fail();
  return !failed_;
}

}  // namespace platform::report
