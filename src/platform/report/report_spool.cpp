#include "platform/report/report_spool.h"

#include <algorithm>

namespace platform::report {

Spool::Spool() : file_(std::tmpfile()) {}

Spool::~Spool() {
  if (file_) std::fclose(file_);
}

void Spool::append(const std::string& text) {
  size_ += text.size();
  if (!file_) memory_ += text;
  else if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) failed_ = true;
}

bool Spool::read(std::size_t begin, std::size_t end, const Sink& sink) const {
  end = std::min(end, size_);
  if (begin >= end) return !failed_;
  if (!file_) {
    sink(memory_.data() + begin, end - begin);
    return true;
  }
  if (failed_ || std::fflush(file_) != 0 || std::fseek(file_, static_cast<long>(begin), SEEK_SET) != 0) return false;
  char buffer[1 << 16];
  for (std::size_t left = end - begin; left > 0;) {
    const std::size_t got = std::fread(buffer, 1, std::min(left, sizeof buffer), file_);
    if (got == 0) break;
    sink(buffer, got);
    left -= got;
  }
  const bool ok = !std::ferror(file_);
  // What is appended next goes after the end.
  return std::fseek(file_, 0, SEEK_END) == 0 && ok;
}

}  // namespace platform::report
