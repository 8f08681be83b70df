// The host side of the records the module holds: a data set behind each
// XO_FILE and a variable vector behind each XV_VECTOR. Each carries a mark
// that the services check, so a null, foreign or finished handle gives a
// status instead of a crash.
#pragma once

#include <cstdint>
#include <string>

#include "host/dataset_types.h"

namespace platform::ds {

class InputDataSet;
class OutputDataSet;

class DataSet {
 public:
  DataSet(std::string name, bool output);
  virtual ~DataSet();
  DataSet(const DataSet&) = delete;
  DataSet& operator=(const DataSet&) = delete;

  XO_FILE* handle() { return &handle_; }
  const std::string& name() const { return name_; }

  // The data set behind a handle, or null when it is not a live one.
  static DataSet* from(const XO_FILE* file);
  static InputDataSet* input(const XO_FILE* file);
  static OutputDataSet* output(const XO_FILE* file);

 protected:
  XO_FILE handle_{};

 private:
  std::uint32_t mark_;
  bool output_;
  std::string name_;
};

class GetVector;
class PutVector;

class Vector {
 public:
  explicit Vector(bool output);
  virtual ~Vector();
  Vector(const Vector&) = delete;
  Vector& operator=(const Vector&) = delete;

  XV_VECTOR* handle() { return &handle_; }

  static GetVector* get(const XV_VECTOR* vector);
  static PutVector* put(const XV_VECTOR* vector);

 protected:
  XV_VECTOR handle_{};

 private:
  std::uint32_t mark_;
  bool output_;
};

}  // namespace platform::ds
