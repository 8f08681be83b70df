#include "platform/refit/record_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "platform/scratch_file.h"

namespace platform::refit {

RecordFile::RecordFile(std::int32_t record_length, std::int64_t memory_limit)
    : length_(static_cast<std::size_t>(std::max(record_length, 0))) {
  // Records of no length take no room: all of them count as in memory.
  memory_records_ = length_ == 0 ? std::numeric_limits<std::int64_t>::max()
                                 : std::max<std::int64_t>(1, memory_limit / static_cast<std::int64_t>(length_));
}

RecordFile::~RecordFile() {
  if (spill_) std::fclose(spill_);
}

int RecordFile::add(const void* record) {
  if (!record && length_ > 0) return 1;
  if (in_memory_ < memory_records_) {
    if (length_ > 0) {
      const std::size_t end = static_cast<std::size_t>(in_memory_ + 1) * length_;
      if (end > memory_.capacity()) {
        // Grow by doubling, but never past the limit.
        const std::size_t limit = static_cast<std::size_t>(memory_records_) * length_;
        memory_.reserve(std::min(limit, std::max(end, 2 * memory_.capacity())));
      }
      const auto* bytes = static_cast<const unsigned char*>(record);
      memory_.insert(memory_.end(), bytes, bytes + length_);
    }
    ++in_memory_;
    ++count_;
    return 0;
  }
  if (!spill_ && !(spill_ = platform::scratch_file())) return write_failed();
  if (!spill_is_at_end_ && std::fseek(spill_, 0, SEEK_END) != 0) return write_failed();
  spill_is_at_end_ = true;
  if (std::fwrite(record, 1, length_, spill_) != length_) return write_failed();
  ++count_;
  return 0;
}

int RecordFile::write_failed() {
  if (write_error_ == 0) write_error_ = errno;
  return 1;
}

int RecordFile::load(std::int64_t index, void* buffer) {
  if (index < 0 || index >= count_) return 1;
  if (length_ == 0) return 0;
  if (!buffer) return 1;
  if (index < in_memory_) {
    std::memcpy(buffer, memory_.data() + static_cast<std::size_t>(index) * length_, length_);
    return 0;
  }
  const auto offset = static_cast<long long>(index - in_memory_) * static_cast<long long>(length_);
  // The records added last may wait in the stream's buffer: writing them
  // out can fail as any write does.
  if (spill_is_at_end_ && std::fflush(spill_) != 0) return write_failed();
  // Reading on from the last read needs no seek, so that a pass over the
  // records in order reads the spill file through its buffer.
  if (spill_is_at_end_ || offset != read_at_) {
    if (fseeko(spill_, static_cast<off_t>(offset), SEEK_SET) != 0) return 1;
  }
  spill_is_at_end_ = false;
  read_at_ = -1;
  if (std::fread(buffer, 1, length_, spill_) != length_) return 1;
  read_at_ = offset + static_cast<long long>(length_);
  return 0;
}

}  // namespace platform::refit
