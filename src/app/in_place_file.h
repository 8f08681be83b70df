// The listing and the log as the run writes them in place: the --listing
// and --log files, opened where the check looked at them, and the listing
// on standard output. A stream over a descriptor that keeps why its first
// failed write failed, so that the ERROR which says the output is cut
// short can give the cause ("File too large", "No space left on device"),
// whether the output is named or the shell sent standard output there.
// Its descriptor is the file's own, on which the run holds the file
// (held_outputs.h) and writes the line that names a stopping signal.
#pragma once

#include <ostream>
#include <streambuf>
#include <string>

namespace app {

class InPlaceFile : public std::ostream {
 public:
  InPlaceFile() : std::ostream(&buffer_) {}
  ~InPlaceFile() override;
  InPlaceFile(const InPlaceFile&) = delete;
  InPlaceFile& operator=(const InPlaceFile&) = delete;

  // Writes on `fd`, a file the run has opened and checked
  // (output_files.h), after what it holds, and closes it at the end. The
  // file is not truncated here: it may be another run's until this one
  // holds it.
  void adopt(int fd);
  // Writes on the process's descriptor `fd` (standard output), which stays
  // open after the stream.
  void attach(int fd);
  // The descriptor written on; -1 before adopt or attach.
  int descriptor() const { return buffer_.descriptor(); }
  // The system's words for the first failed write; empty while none has
  // failed.
  const std::string& failure() const { return buffer_.failure(); }

 private:
  class Buffer : public std::streambuf {
   public:
    Buffer() { setp(space_, space_ + sizeof space_); }
    // Writes on `fd` from now on, closing it at the end when `owned`. A
    // terminal takes each line as it is written, as it would from stdio.
    void set(int fd, bool owned);
    // Passes on what is buffered and closes an owned descriptor.
    void close();
    int descriptor() const { return fd_; }
    const std::string& failure() const { return failure_; }

   protected:
    std::streamsize xsputn(const char* text, std::streamsize size) override;
    int_type overflow(int_type c) override;
    int sync() override;

   private:
    // Writes what is buffered; false once a write has failed.
    bool drain();

    int fd_ = -1;
    bool owned_ = false;
    bool by_line_ = false;  // a terminal
    std::string failure_;
    char space_[1 << 13];
  };

  Buffer buffer_;
};

}  // namespace app
