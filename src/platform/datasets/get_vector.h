// An input variable vector: variables of an input data set bound to the
// reader's buffers. Ending the bindings precomputes the gather, so each
// `gather` copies only the bound variables of the current record.
#pragma once

#include <vector>

#include "platform/datasets/data_set.h"

namespace platform::ds {

class GetVector : public Vector {
 public:
  explicit GetVector(InputDataSet* source);

  InputDataSet* source() const { return source_; }
  // Binds 1-based variable `varnum` to `length` bytes at `buffer`: a double
  // for a numeric variable (length at least 8), the blank-padded text for a
  // character one. 0 or a failure status.
  int bind(int varnum, void* buffer, int length);
  // Ends the bindings; 0 or kXoBadState when already ended.
  int end();
  // Copies the current record's bound values; 0, or a negative status when
  // no record is current or the bindings are not ended.
  int gather();

 private:
  static int gather_operation(XV_VECTOR* vector, int flags);

  struct Binding {
    int variable;
    void* buffer;
    int length;
  };
  struct NumberCopy {
    int offset;
    void* to;
  };
  struct TextCopy {
    int offset;
    int length;  // bytes copied
    char* to;
    int pad;     // blanks after them
  };
  InputDataSet* source_;
  std::vector<Binding> bindings_;
  std::vector<NumberCopy> numbers_;
  std::vector<TextCopy> texts_;
  bool ended_ = false;
};

}  // namespace platform::ds
