#include "platform/datasets/get_vector.h"

#include <algorithm>
#include <cstring>

#include "platform/datasets/input_data_set.h"

namespace platform::ds {

GetVector::GetVector(InputDataSet* source) : Vector(false), source_(source) {
  handle_.source = source->handle();
  handle_.get = &GetVector::gather_operation;
}

int GetVector::bind(int varnum, void* buffer, int length) {
  if (ended_) return kXoBadState;
  const Table& t = source_->table();
  if (varnum < 1 || varnum > static_cast<int>(t.variables.size())) return kXoNoVariable;
  const Variable& v = t.variables[static_cast<std::size_t>(varnum - 1)];
  if (!buffer || length < 1 || (v.type == VarType::Numeric && length < 8)) return kXoBadArgument;
  bindings_.push_back({varnum - 1, buffer, length});
  return 0;
}

int GetVector::end() {
  if (ended_) return kXoBadState;
  const Table& t = source_->table();
  for (const Binding& b : bindings_) {
    const Variable& v = t.variables[static_cast<std::size_t>(b.variable)];
    if (v.type == VarType::Numeric) {
      numbers_.push_back({v.offset, b.buffer});
    } else {
      int n = std::min(v.length, b.length);
      texts_.push_back({v.offset, n, static_cast<char*>(b.buffer), b.length - n});
    }
  }
  // Copies in record order read the record front to back.
  std::sort(numbers_.begin(), numbers_.end(),
            [](const NumberCopy& a, const NumberCopy& b) { return a.offset < b.offset; });
  ended_ = true;
  return 0;
}

int GetVector::gather_operation(XV_VECTOR* vector, int /*flags*/) {
  GetVector* v = Vector::get(vector);
  return v ? v->gather() : kXoBadHandle;
}

}  // namespace platform::ds
