#include "platform/datasets/utility_file.h"

#include <cstring>

#include "platform/scratch_file.h"

namespace {
constexpr std::uint32_t kOpenMark = 0x5574696C;  // "Util"
}  // namespace

XC_FILE::XC_FILE(std::int32_t record_length, std::size_t memory_limit)
    : mark_(kOpenMark), length_(record_length), memory_limit_(memory_limit) {}

XC_FILE::~XC_FILE() {
  close();
  mark_ = 0;
}

XC_FILE* XC_FILE::open_file(XC_FILE* file) {
  return file && file->mark_ == kOpenMark && file->open_ ? file : nullptr;
}

void XC_FILE::close() {
  open_ = false;
  std::vector<unsigned char>().swap(memory_);
  if (spill_) std::fclose(spill_);
  spill_ = nullptr;
  count_ = position_ = 0;
}

int XC_FILE::check_length(int length) {
  if (length_ == 0 && length > 0) length_ = length;
  return length == length_ ? 0 : kXcBadLength;
}

// Moves the records held in memory to an unnamed temporary file.
int XC_FILE::spill() {
  spill_ = platform::scratch_file();
  if (!spill_) return kXcIoFailed;
  if (!memory_.empty() && std::fwrite(memory_.data(), 1, memory_.size(), spill_) != memory_.size())
    return kXcIoFailed;
  std::vector<unsigned char>().swap(memory_);
  return 0;
}

int XC_FILE::write(const void* record, int length) {
  if (!record || check_length(length) != 0) return kXcBadLength;
  const std::size_t bytes = static_cast<std::size_t>(length_);
  const std::size_t at = static_cast<std::size_t>(position_) * bytes;
  if (!spill_ && at + bytes > memory_limit_) {
    if (int status = spill()) return status;
  }
  if (spill_) {
    if (fseeko(spill_, static_cast<off_t>(at), SEEK_SET) != 0 ||
        std::fwrite(record, 1, bytes, spill_) != bytes)
      return kXcIoFailed;
  } else {
    if (memory_.size() < at + bytes) memory_.resize(at + bytes);
    std::memcpy(memory_.data() + at, record, bytes);
  }
  ++position_;
  if (position_ > count_) count_ = position_;
  return 0;
}

int XC_FILE::read(void* buffer, int length) {
  if (!buffer || length != length_) return kXcBadLength;
  if (position_ >= count_) return kXcEnd;
  const std::size_t bytes = static_cast<std::size_t>(length_);
  const std::size_t at = static_cast<std::size_t>(position_) * bytes;
  if (spill_) {
    if (fseeko(spill_, static_cast<off_t>(at), SEEK_SET) != 0 ||
        std::fread(buffer, 1, bytes, spill_) != bytes)
      return kXcIoFailed;
  } else {
    std::memcpy(buffer, memory_.data() + at, bytes);
  }
  ++position_;
  return 0;
}

int XC_FILE::point(long record) {
  if (record < 0 || record > count_) return kXcBadPosition;
  position_ = record;
  return 0;
}
