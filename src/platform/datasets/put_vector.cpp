#include "platform/datasets/put_vector.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "host/missing.h"
#include "host/narrow_strings.h"
#include "platform/datasets/input_data_set.h"
#include "platform/datasets/name_list.h"
#include "platform/datasets/output_data_set.h"
#include "platform/datasets/problem.h"
#include "platform/names.h"

namespace platform::ds {
namespace {
constexpr int kMaxLabel = 256;
}  // namespace

PutVector::PutVector(OutputDataSet* target, int expected_variables)
    : Vector(true), target_(target) {
  handle_.source = target->handle();
  handle_.put = &PutVector::gather_operation;
  if (expected_variables > 0) {
    variables_.reserve(static_cast<std::size_t>(expected_variables));
    fields_.reserve(static_cast<std::size_t>(expected_variables));
  }
}

int PutVector::refuse(const std::string& name, const std::string& why) {
  log_problem({msg::kCannotDefine, {name, target_->name(), why}});
  return kXoBadArgument;
}

int PutVector::add(Variable v, const void* address, int length, InputDataSet* source,
                   int source_offset) {
  if (state_ != State::Defining) return refuse(v.name, "its definition has ended");
  if (!valid_name(v.name))
    return refuse(v.name,
                  "the name is not valid (a letter or underscore, then letters, digits "
                  "or underscores, at most 32 characters)");
  for (const Variable& other : variables_)
    if (same_name(other.name, v.name)) return refuse(v.name, "it is defined already");
  const int label_length = static_cast<int>(std::min<std::size_t>(v.label.size(), INT_MAX));
  v.label.resize(static_cast<std::size_t>(utf8_cut_length(v.label.data(), label_length, kMaxLabel)));
  int bytes = length > 0 ? std::min(length, v.length) : v.length;
  variables_.push_back(std::move(v));
  fields_.push_back({address, bytes, source, source_offset});
  return 0;
}

int PutVector::define(const NAMESTR& d, const void* address, int length) {
  std::string name =
      d.name && d.namelen > 0 ? std::string(d.name, static_cast<std::size_t>(d.namelen)) : "";
  Variable v;
  v.name = name;
  if (d.label && d.labellen > 0) v.label.assign(d.label, static_cast<std::size_t>(d.labellen));
  if (d.type == kNumeric) {
    v.type = VarType::Numeric;
    v.length = 8;
  } else if (d.type == kCharacter) {
    if (d.length < 1 || d.length > kMaxCharLength)
      return refuse(name, "a character length must be from 1 to 32767");
    v.type = VarType::Character;
    v.length = d.length;
  } else {
    return refuse(name, "its type must be 1 (numeric) or 2 (character)");
  }
  if (!address) return refuse(name, "no storage is bound to it");
  return add(std::move(v), address, length, nullptr, 0);
}

int PutVector::copy(InputDataSet* source, const void* names, int count) {
  const Table& t = source->table();
  std::vector<int> chosen;
  if (names) {
    for (const std::string& n : read_name_list(names, count)) {
      int i = t.find(n);
      if (i < 0) {
        log_problem({msg::kNoVariable, {n, source->name()}});
        return kXoNoVariable;
      }
      chosen.push_back(i);
    }
  } else {
    int n = count < 0 ? static_cast<int>(t.variables.size())
                      : std::min(count, static_cast<int>(t.variables.size()));
    for (int i = 0; i < n; ++i) chosen.push_back(i);
  }
  int status = 0;
  for (int i : chosen) {
    const Variable& v = t.variables[static_cast<std::size_t>(i)];
    status |= add(v, nullptr, 0, source, v.offset);
  }
  return status;
}

int PutVector::end() {
  if (state_ != State::Defining) return kXoBadState;
  std::size_t length = lay_out_record(variables_);
  record_.assign(length / 8, 0.0);
  state_ = State::Writing;
  return target_->begin_rows();
}

int PutVector::gather(const void* record) {
  if (state_ != State::Writing) return kXoBadState;
  auto* out = reinterpret_cast<unsigned char*>(record_.data());
  for (std::size_t i = 0; i < variables_.size(); ++i) {
    const Variable& v = variables_[i];
    const Field& f = fields_[i];
    const unsigned char* from = static_cast<const unsigned char*>(f.address);
    int bytes = f.bytes;
    if (f.source) {
      const unsigned char* rec = f.source->table().row_of(record) >= 0
                                     ? static_cast<const unsigned char*>(record)
                                     : f.source->current();
      if (!rec) rec = f.source->group_record();
      from = rec ? rec + f.source_offset : nullptr;
    }
    if (v.type == VarType::Numeric) {
      double value = from ? 0.0 : missing_value();
      if (from) std::memcpy(&value, from, 8);
      std::memcpy(out + v.offset, &value, 8);
    } else {
      if (!from) bytes = 0;
      if (bytes) std::memcpy(out + v.offset, from, static_cast<std::size_t>(bytes));
      std::memset(out + v.offset + bytes, ' ', static_cast<std::size_t>(v.length - bytes));
    }
  }
  return 0;
}

int PutVector::terminate() {
  if (state_ == State::Done) return kXoBadState;
  if (state_ == State::Defining) end();
  state_ = State::Done;
  return target_->finish();
}

int PutVector::gather_operation(XV_VECTOR* vector, const void* record) {
  PutVector* v = Vector::put(vector);
  return v ? v->gather(record) : kXoBadHandle;
}

}  // namespace platform::ds
