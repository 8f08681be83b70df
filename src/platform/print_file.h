// The print file of a step: the listing stream and the line records the
// module builds its lines in (output, print, log and message lines).
#pragma once

#include <array>
#include <ostream>
#include <string>

#include "host/linestr.h"

namespace platform {

class SystemOptions;

class PrintFile {
 public:
  PrintFile(std::ostream& listing, const SystemOptions& options);
  PrintFile(const PrintFile&) = delete;
  PrintFile& operator=(const PrintFile&) = delete;

  enum Line { Output, Print, LogLine, MessageLine, kLines };
  LINESTR* line(Line which) { return &lines_[which]; }
  std::ostream& listing() { return *listing_; }
  const SystemOptions& options() const { return *options_; }

  // Where printing goes: 0 the listing, otherwise as selected by `xpselec`.
  int destination = 0;
  bool open = false;

 private:
  static constexpr int kLineCapacity = 512;
  std::ostream* listing_;
  const SystemOptions* options_;
  std::array<LINESTR, kLines> lines_{};
  std::array<std::array<char, kLineCapacity>, kLines> buffers_{};
};

}  // namespace platform
