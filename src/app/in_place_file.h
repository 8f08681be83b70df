// The --listing and --log files, written in place as the run goes: a file
// stream that keeps why its first failed write failed, so that the ERROR
// which says the file is cut short can give the cause ("File too large").
#pragma once

#include <fstream>
#include <ostream>
#include <string>

namespace app {

class InPlaceFile : public std::ostream {
 public:
  InPlaceFile() : std::ostream(&buffer_) {}
  InPlaceFile(const InPlaceFile&) = delete;
  InPlaceFile& operator=(const InPlaceFile&) = delete;

  // As std::ofstream::open: the failbit is set when the file cannot be.
  void open(const std::string& file, std::ios::openmode mode);
  // The system's words for the first failed write; empty while none has
  // failed, or when the failure left no cause.
  const std::string& failure() const { return buffer_.failure(); }

 private:
  class Buffer : public std::filebuf {
   public:
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

  Buffer buffer_;
};

}  // namespace app
