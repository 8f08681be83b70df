#include "platform/compiler/cell_store.h"

#include <sys/mman.h>

#include <cstring>
#include <new>

namespace platform::compiler {
namespace {

constexpr std::size_t kCellBytes = CellStore::kMaxCells * sizeof(double);

// Zeroed memory mapped straight from the system, so that its pages are
// committed only when touched in every build: a sanitizer's calloc would
// fill and poison all of it for every compiler block.
void* reserve(std::size_t bytes) {
  void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  if (p == MAP_FAILED) throw std::bad_alloc();
  return p;
}

}  // namespace

void CellStore::Unmap::operator()(void* p) const { munmap(p, bytes); }

CellStore::CellStore()
    : cells_(static_cast<double*>(reserve(kCellBytes)), Unmap{kCellBytes}),
      chars_(static_cast<char*>(reserve(kMaxChars)), Unmap{kMaxChars}) {}

int CellStore::add_cell(double value) {
  if (cells_used_ >= kMaxCells) return -1;
  cells_[cells_used_] = value;
  return cells_used_++;
}

int CellStore::add_chars(int length) {
  if (length < 0 || chars_used_ > kMaxChars - length) return -1;
  std::memset(chars_.get() + chars_used_, ' ', static_cast<std::size_t>(length));
  const int offset = chars_used_;
  chars_used_ += length;
  return offset;
}

}  // namespace platform::compiler
