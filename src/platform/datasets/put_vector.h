// An output variable vector: each variable of an output data set is bound
// either to an address that holds its value or to a variable of an input
// data set; `gather` reads every bound value at that moment into the
// output record, which the data set's write operation then appends.
#pragma once

#include <string>
#include <vector>

#include "platform/datasets/data_set.h"
#include "platform/datasets/table.h"

namespace platform::ds {

class PutVector : public Vector {
 public:
  PutVector(OutputDataSet* target, int expected_variables);

  OutputDataSet* target() const { return target_; }
  const std::vector<Variable>& variables() const { return variables_; }
  const unsigned char* record() const {
    return reinterpret_cast<const unsigned char*>(record_.data());
  }

  // Defines a variable bound to `address` (a double, or `length` bytes of
  // text, 0 meaning the variable's length). 0 or a failure status after a message.
  int define(const NAMESTR& description, const void* address, int length);
  // Defines copies of input variables: the first `count` names of the name
  // list `names`, or with no list the first `count` variables (all when
  // count is negative). 0 or a failure status after a message.
  int copy(InputDataSet* source, const void* names, int count);
  // Ends the definition and starts the file.
  int end();
  // Gathers the bound values. Copied variables take their values from
  // `record` when it is a record of their data set, else from its current
  // record, else from the first record of its current BY group.
  int gather(const void* record);
  // Ends the data set: completes and publishes its file.
  int terminate();

 private:
  static int gather_operation(XV_VECTOR* vector, const void* record);
  int add(Variable variable, const void* address, int length, InputDataSet* source,
          int source_offset);
  int refuse(const std::string& name, const std::string& why);

  enum class State { Defining, Writing, Done };
  struct Field {
    const void* address;   // bound variables
    int bytes;             // bytes read from `address` (character)
    InputDataSet* source;  // copied variables
    int source_offset;
  };
  OutputDataSet* target_;
  std::vector<Variable> variables_;
  std::vector<Field> fields_;  // one per variable
  std::vector<double> record_;
  State state_ = State::Defining;
};

inline PutVector* Vector::put(const XV_VECTOR* vector) {
  return static_cast<PutVector*>(live(vector, true));
}

}  // namespace platform::ds
