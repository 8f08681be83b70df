// The --listing and --log files, written in place as the run goes: a
// stream on a descriptor the run has opened and checked (output_files.h),
// which keeps why its first failed write failed, so that the ERROR which
// says the file is cut short can give the cause ("File too large").
#pragma once

#include <ext/stdio_filebuf.h>

#include <memory>
#include <ostream>
#include <string>

namespace app {

class InPlaceFile : public std::ostream {
 public:
  InPlaceFile() : std::ostream(nullptr) {}
  InPlaceFile(const InPlaceFile&) = delete;
  InPlaceFile& operator=(const InPlaceFile&) = delete;

  // Writes into the open file `fd` from now on, and closes it at the end.
  void attach(int fd);
  // The descriptor written into, or -1 before attach.
  int descriptor() { return buffer_ ? buffer_->fd() : -1; }
  // The system's words for the first failed write; empty while none has
  // failed, or when the failure left no cause.
  const std::string& failure() const;

 private:
  class Buffer : public __gnu_cxx::stdio_filebuf<char> {
   public:
    explicit Buffer(int fd) : stdio_filebuf(fd, std::ios::out) {}
    const std::string& failure() const { return failure_; }

   protected:
    // Every write goes through these two (a flush through overflow).
    std::streamsize xsputn(const char* text, std::streamsize size) override;
    int_type overflow(int_type c) override;

   private:
    // Keeps errno's text when `failed` and no failure is kept yet.
    void keep_cause(bool failed);
    std::string failure_;
  };

  std::unique_ptr<Buffer> buffer_;
};

}  // namespace app
