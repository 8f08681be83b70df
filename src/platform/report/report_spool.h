// Text appended to an unnamed temporary file and read back in pieces, so
// that a long report is never held in memory whole; in memory only when no
// temporary file can be made.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>

namespace platform::report {

class Spool {
 public:
  Spool();
  ~Spool();
  Spool(const Spool&) = delete;
  Spool& operator=(const Spool&) = delete;

  void append(const std::string& text);
  // The length written so far.
  std::size_t size() const { return size_; }
  using Sink = std::function<void(const char* data, std::size_t size)>;
  // Hands the text from `begin` to `end` to `sink` in pieces; false when it
  // could not be written or read back.
  bool read(std::size_t begin, std::size_t end, const Sink& sink) const;
  // Why the first write or read that failed did: "" while none has.
  const std::string& error() const { return error_; }

 private:
  std::FILE* file_ = nullptr;
  std::string memory_;  // the text when there is no file
  std::size_t size_ = 0;
  // Set by a failed write, or by a failed read, which `read` may meet.
  mutable bool failed_ = false;
  mutable std::string error_;
  void fail() const;
};

}  // namespace platform::report
