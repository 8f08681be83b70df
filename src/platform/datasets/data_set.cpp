#include "platform/datasets/data_set.h"

namespace platform::ds {
namespace {
constexpr std::uint32_t kDead = 0;
}  // namespace

DataSet::DataSet(std::string name, bool output)
    : mark_(kLive), output_(output), name_(std::move(name)) {
  handle_.host = this;
  if (output) handle_.flags |= kXoOutput;
}

DataSet::~DataSet() {
  mark_ = kDead;
}

Vector::Vector(bool output) : mark_(kLive), output_(output) {
  handle_.host = this;
  handle_.flags = kXvOwnOperation;
}

Vector::~Vector() {
  mark_ = kDead;
}

}  // namespace platform::ds
