// The value cells of a compiler block: numeric cells and character storage
// reserved once at their largest size, so that the address of a cell never
// changes while symbols are added, code is generated and the procedure holds
// raw pointers to cells. The operating system commits the pages only when
// they are first touched.
#pragma once

#include <cstddef>
#include <memory>

namespace platform::compiler {

class CellStore {
 public:
  static constexpr int kMaxCells = 1 << 20;
  static constexpr int kMaxChars = 1 << 24;

  CellStore();

  // A new numeric cell holding `value`; -1 when the store is full.
  int add_cell(double value);
  // `length` new characters, blank; their offset, or -1 when full.
  int add_chars(int length);

  double* cells() { return cells_.get(); }
  char* chars() { return chars_.get(); }
  int cells_used() const { return cells_used_; }
  int chars_used() const { return chars_used_; }

 private:
  struct Unmap {
    std::size_t bytes;
    void operator()(void* p) const;
  };
  std::unique_ptr<double[], Unmap> cells_;
  std::unique_ptr<char[], Unmap> chars_;
  int cells_used_ = 0;
  int chars_used_ = 0;
};

}  // namespace platform::compiler
