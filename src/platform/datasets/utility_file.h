// Utility files: scratch files of fixed-length records that a step writes
// and reads back, addressed by record number. Records are held in memory
// until they exceed a limit, then in an unnamed temporary file. A closed
// file keeps its (empty) handle until the step ends, so a stale pointer
// gets a status, not a crash.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "host/dataset_types.h"

struct XC_FILE {
 public:
  explicit XC_FILE(std::int32_t record_length, std::size_t memory_limit);
  ~XC_FILE();
  XC_FILE(const XC_FILE&) = delete;
  XC_FILE& operator=(const XC_FILE&) = delete;

  // The file behind a handle, or null when it is not an open one.
  static XC_FILE* open_file(XC_FILE* file);

  int write(const void* record, int length);
  int read(void* buffer, int length);
  int point(long record);
  void close();

  std::int64_t records() const { return count_; }
  bool in_memory() const { return spill_ == nullptr; }

 private:
  int check_length(int length);
  int spill();

  std::uint32_t mark_;
  bool open_ = true;
  std::int32_t length_;       // 0 until the first write fixes it
  std::size_t memory_limit_;  // bytes held in memory before spilling
  std::vector<unsigned char> memory_;
  std::FILE* spill_ = nullptr;
  std::int64_t count_ = 0;     // records in the file
  std::int64_t position_ = 0;  // the next record read or written
};
