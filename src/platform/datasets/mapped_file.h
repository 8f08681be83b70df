// A file's bytes mapped read-only into memory for as long as the object
// lives: a data set file is read once, front to back, so mapping it spares
// the copy into a buffer and the zeroing of that buffer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/datasets/resolved_path.h"

namespace platform::ds {

class MappedFile {
 public:
  MappedFile() = default;
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();

  // Maps `file`, the very file its look found; false with the reason in
  // `why` when it cannot be read.
  bool open(const ResolvedPath& file, std::string* why);
  std::string_view text() const { return {data_, size_}; }
  // When the file was last changed, in nanoseconds; 0 for a pipe or a device.
  std::int64_t modified() const { return modified_; }

 private:
  bool read_stream(int fd, std::string* why);

  std::string copy_;  // the bytes of a file that cannot be mapped
  const char* data_ = nullptr;
  std::size_t size_ = 0;
  std::int64_t modified_ = 0;
};

}  // namespace platform::ds
