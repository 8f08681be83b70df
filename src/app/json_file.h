// The --json file, written as the run goes into a temporary file that
// takes the file's name only once the run has written it whole
// (whole_file.h): a run that is stopped, that fails to write it, or that
// races another run into the same name never leaves a cut or mixed file,
// and the earlier file stays until then. A stream of the process, a pipe
// or a device is written in place as the run goes.
#pragma once

#include <ostream>
#include <streambuf>
#include <string>

#include "platform/datasets/whole_file.h"

namespace app {

class JsonFile {
 public:
  JsonFile() : buffer_(file_), stream_(&buffer_) {}
  JsonFile(const JsonFile&) = delete;
  JsonFile& operator=(const JsonFile&) = delete;

  // Creates the temporary file (or opens the target written in place)
  // where the look at the target found it; false with the reason when it
  // cannot be.
  bool open(platform::ds::ResolvedPath file, std::string* why);
  // What the run writes; a failed write sets its badbit.
  std::ostream& stream() { return stream_; }
  // Ends the file: true when it was written whole and has taken its name;
  // otherwise false with the reason of the first failure, the temporary
  // file is removed and an earlier file under the name stays as it was.
  bool close(std::string* why);

 private:
  // Passes every write straight on to the file, which buffers it.
  class Buffer : public std::streambuf {
   public:
    explicit Buffer(platform::ds::WholeFile& file) : file_(file) {}
    // Why the first write that failed failed; empty while none has.
    const std::string& failure() const { return failure_; }

   protected:
    std::streamsize xsputn(const char* text, std::streamsize size) override;
    int_type overflow(int_type c) override;
    int sync() override;

   private:
    platform::ds::WholeFile& file_;
    std::string failure_;
  };

  platform::ds::WholeFile file_;
  Buffer buffer_;
  std::ostream stream_;
};

}  // namespace app
