// Vector 212 (and xvname of vector 48): variables of an input data set and
// the vectors that bind them to a reader's buffers.
#include <cstring>
#include <memory>
#include <string_view>

#include "platform/datasets/get_vector.h"
#include "platform/datasets/input_data_set.h"
#include "platform/datasets/output_data_set.h"
#include "platform/datasets/put_vector.h"
#include "platform/host.h"
#include "platform/names.h"
#include "platform/services/service_impls.h"

namespace platform::svc {
namespace {

using ds::DataSet;
using ds::InputDataSet;

// The variables of an input or output data set.
const std::vector<ds::Variable>* variables_of(const XO_FILE* file) {
  if (InputDataSet* in = DataSet::input(file)) return &in->table().variables;
  if (ds::OutputDataSet* out = DataSet::output(file))
    return out->vector() ? &out->vector()->variables() : nullptr;
  return nullptr;
}

}  // namespace

int xvfind(XO_FILE* file, const char* name, int length, int* varnum, int /*flags*/) {
  const std::vector<ds::Variable>* vars = variables_of(file);
  if (!vars || !name || !varnum) return kXoBadArgument;
  std::string_view wanted(name, length < 0 ? std::strlen(name) : static_cast<std::size_t>(length));
  while (!wanted.empty() && wanted.back() == ' ') wanted.remove_suffix(1);
  for (std::size_t i = 0; i < vars->size(); ++i)
    if (same_name((*vars)[i].name, wanted)) {
      *varnum = static_cast<int>(i) + 1;
      return 0;
    }
  return kXoNoVariable;
}

int xvname(XO_FILE* file, int varnum, NAMESTR* record) {
  const std::vector<ds::Variable>* vars = variables_of(file);
  if (!vars || !record) return kXoBadArgument;
  if (varnum < 1 || varnum > static_cast<int>(vars->size())) return kXoNoVariable;
  const ds::Variable& v = (*vars)[static_cast<std::size_t>(varnum - 1)];
  record->type = v.type == ds::VarType::Numeric ? kNumeric : kCharacter;
  record->length = v.length;
  record->name = v.name.data();
  record->namelen = static_cast<std::int32_t>(v.name.size());
  record->label = v.label.data();
  record->labellen = static_cast<std::int32_t>(v.label.size());
  record->varnum = varnum;
  return 0;
}

// Every variable of a data set held in memory can be read, so selecting
// them is only a count.
int xvallvr(XO_FILE* file, int* count) {
  const std::vector<ds::Variable>* vars = variables_of(file);
  if (!vars) return kXoBadHandle;
  if (count) *count = static_cast<int>(vars->size());
  return 0;
}

int xvsele(XO_FILE* file) {
  return DataSet::input(file) ? 0 : kXoNotInput;
}

int xvgeti(XO_FILE* file, int /*mode*/, XV_VECTOR** vector) {
  if (!vector) return kXoBadArgument;
  *vector = nullptr;
  InputDataSet* in = DataSet::input(file);
  if (!in) return DataSet::from(file) ? kXoNotInput : kXoBadHandle;
  *vector = Host::current().datasets().adopt(std::make_unique<ds::GetVector>(in));
  return 0;
}

int xvgetd(XV_VECTOR* vector, int varnum, int /*flags*/, void* buffer, int length, int numeric_size,
           int /*reserved1*/, int /*reserved2*/) {
  ds::GetVector* v = ds::Vector::get(vector);
  if (!v) return kXoBadHandle;
  if (numeric_size != 0 && numeric_size != 8) return kXoBadArgument;
  return v->bind(varnum, buffer, length);
}

int xvgete(XV_VECTOR* vector) {
  ds::GetVector* v = ds::Vector::get(vector);
  return v ? v->end() : kXoBadHandle;
}

int xyvget(XV_VECTOR* vector, int /*flags*/) {
  ds::GetVector* v = ds::Vector::get(vector);
  return v ? v->gather() : kXoBadHandle;
}

}  // namespace platform::svc
