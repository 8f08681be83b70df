#include "platform/compiler/cell_store.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace platform::compiler {

void CellStore::Free::operator()(void* p) const { std::free(p); }

CellStore::CellStore()
    : cells_(static_cast<double*>(std::calloc(kMaxCells, sizeof(double)))),
      chars_(static_cast<char*>(std::calloc(kMaxChars, 1))) {
  if (!cells_ || !chars_) throw std::bad_alloc();
}

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
