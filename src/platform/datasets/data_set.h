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

  // The data set behind a handle, or null when it is not a live one. (The
  // typed forms are defined inline beside their classes: they are on every
  // read of a data pass.)
  static DataSet* from(const XO_FILE* file) {
    if (!file || !file->host) return nullptr;
    auto* ds = static_cast<DataSet*>(file->host);
    return ds->mark_ == kLive && &ds->handle_ == file ? ds : nullptr;
  }
  static InputDataSet* input(const XO_FILE* file);
  static OutputDataSet* output(const XO_FILE* file);

 protected:
  static constexpr std::uint32_t kLive = 0x44617461;  // "Data"
  XO_FILE handle_{};
  std::uint32_t mark_;
  bool output_;

 private:
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

  // The vector behind a handle when it is a live one of that kind, else
  // null (defined inline beside their classes).
  static GetVector* get(const XV_VECTOR* vector);
  static PutVector* put(const XV_VECTOR* vector);

 protected:
  static constexpr std::uint32_t kLive = 0x56656374;  // "Vect"
  static Vector* live(const XV_VECTOR* vector, bool output) {
    if (!vector || !vector->host) return nullptr;
    auto* v = static_cast<Vector*>(vector->host);
    return v->mark_ == kLive && &v->handle_ == vector && v->output_ == output ? v : nullptr;
  }
  XV_VECTOR handle_{};

 private:
  std::uint32_t mark_;
  bool output_;
};

}  // namespace platform::ds
