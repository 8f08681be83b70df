#include "platform/datasets/data_set.h"

#include "platform/datasets/get_vector.h"
#include "platform/datasets/input_data_set.h"
#include "platform/datasets/output_data_set.h"
#include "platform/datasets/put_vector.h"

namespace platform::ds {
namespace {
constexpr std::uint32_t kLiveDataSet = 0x44617461;  // "Data"
constexpr std::uint32_t kLiveVector = 0x56656374;   // "Vect"
constexpr std::uint32_t kDead = 0;
}  // namespace

DataSet::DataSet(std::string name, bool output)
    : mark_(kLiveDataSet), output_(output), name_(std::move(name)) {
  handle_.host = this;
  if (output) handle_.flags |= kXoOutput;
}

DataSet::~DataSet() { mark_ = kDead; }

DataSet* DataSet::from(const XO_FILE* file) {
  if (!file || !file->host) return nullptr;
  auto* ds = static_cast<DataSet*>(file->host);
  return ds->mark_ == kLiveDataSet && &ds->handle_ == file ? ds : nullptr;
}

InputDataSet* DataSet::input(const XO_FILE* file) {
  DataSet* ds = from(file);
  return ds && !ds->output_ ? static_cast<InputDataSet*>(ds) : nullptr;
}

OutputDataSet* DataSet::output(const XO_FILE* file) {
  DataSet* ds = from(file);
  return ds && ds->output_ ? static_cast<OutputDataSet*>(ds) : nullptr;
}

Vector::Vector(bool output) : mark_(kLiveVector), output_(output) {
  handle_.host = this;
  handle_.flags = kXvOwnOperation;
}

Vector::~Vector() { mark_ = kDead; }

GetVector* Vector::get(const XV_VECTOR* vector) {
  if (!vector || !vector->host) return nullptr;
  auto* v = static_cast<Vector*>(vector->host);
  if (v->mark_ != kLiveVector || &v->handle_ != vector || v->output_) return nullptr;
  return static_cast<GetVector*>(v);
}

PutVector* Vector::put(const XV_VECTOR* vector) {
  if (!vector || !vector->host) return nullptr;
  auto* v = static_cast<Vector*>(vector->host);
  if (v->mark_ != kLiveVector || &v->handle_ != vector || !v->output_) return nullptr;
  return static_cast<PutVector*>(v);
}

}  // namespace platform::ds
