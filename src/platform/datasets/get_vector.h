// An input variable vector: variables of an input data set bound to the
// reader's buffers. Ending the bindings precomputes the gather, so each
// `gather` copies only the bound variables of the current record.
#pragma once

#include <cstring>
#include <vector>

#include "platform/datasets/data_set.h"
#include "platform/datasets/input_data_set.h"

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
  // no record is current or the bindings are not ended. Inline: it runs for
  // every observation of every data pass.
  int gather() {
    const unsigned char* record = current_record();
    if (!record) return kXoNoRecord;
    if (!ended_) return kXoBadState;
    for (const NumberCopy& c : numbers_) std::memcpy(c.to, record + c.offset, 8);
    for (const TextCopy& c : texts_) {
      std::memcpy(c.to, record + c.offset, static_cast<std::size_t>(c.length));
      std::memset(c.to + c.length, ' ', static_cast<std::size_t>(c.pad));
    }
    return 0;
  }

  // A numeric variable's copy: 8 bytes at `offset` of a record to `to`.
  struct NumberCopy {
    int offset;
    void* to;
  };
  // The numeric copies gather() makes, once the bindings are ended.
  const std::vector<NumberCopy>& number_copies() const { return numbers_; }

 private:
  static int gather_operation(XV_VECTOR* vector, int flags);
  const unsigned char* current_record() const;

  struct Binding {
    int variable;
    void* buffer;
    int length;
  };
  struct TextCopy {
    int offset;
    int length;  // bytes copied
    char* to;
    int pad;  // blanks after them
  };
  InputDataSet* source_;
  std::vector<Binding> bindings_;
  std::vector<NumberCopy> numbers_;
  std::vector<TextCopy> texts_;
  bool ended_ = false;
};

inline const unsigned char* GetVector::current_record() const {
  return source_->current();
}

inline GetVector* Vector::get(const XV_VECTOR* vector) {
  return static_cast<GetVector*>(live(vector, false));
}

}  // namespace platform::ds
