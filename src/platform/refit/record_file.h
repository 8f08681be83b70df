// The record file of the extension "qxrec": fixed-length records kept in
// memory up to a byte limit and appended to an unnamed temporary file
// beyond it. Records are read back by index in the order they were added.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

namespace platform::refit {

class RecordFile {
 public:
  // `memory_limit` bytes of records stay in memory (at least one record).
  RecordFile(std::int32_t record_length, std::int64_t memory_limit);
  ~RecordFile();
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;

  // 0, or 1 when the spill file cannot be made or written (a record of no
  // length may be null).
  int add(const void* record);
  // 0, or 1 when there is no record `index` or the records added last
  // cannot be written out to be read.
  int load(std::int64_t index, void* buffer);
  // The error number of the first write to the spill file that failed, 0
  // when none has.
  int write_error() const { return write_error_; }

  std::int64_t count() const { return count_; }
  std::size_t record_length() const { return length_; }
  std::int64_t in_memory() const { return in_memory_; }
  std::size_t memory_bytes() const { return memory_.capacity(); }

 private:
  std::size_t length_;
  std::int64_t memory_records_;  // how many records the memory part holds
  std::vector<unsigned char> memory_;
  std::int64_t in_memory_ = 0;
  std::int64_t count_ = 0;
  std::FILE* spill_ = nullptr;
  bool spill_is_at_end_ = true;  // no read since the last append
  long long read_at_ = -1;       // spill offset after the last read, -1 when unknown
  int write_error_ = 0;
  int write_failed();  // keeps errno as the write error; 1
};

}  // namespace platform::refit
