// The compiler's view of the input data set, through the data-set services:
// its variables for name resolution (cmprslv) and an input variable vector
// that carries each observation's values into the program's cells (cmppdv).
#include <string>
#include <vector>

#include "platform/compiler/dataset_view.h"
#include "platform/service_impls.h"

namespace platform {
namespace {

bool describe(void* fiddata, std::vector<compiler::DatasetVariable>* variables) {
  auto* file = static_cast<XO_FILE*>(fiddata);
  int count = 0;
  if (svc::xvallvr(file, &count) != 0) return false;
  for (int i = 1; i <= count; ++i) {
    NAMESTR d{};
    if (svc::xvname(file, i, &d) != 0) return false;
    variables->push_back({std::string(d.name, static_cast<std::size_t>(d.namelen)), d.type == kNumeric,
                          d.length, i});
  }
  return true;
}

void* bind(void* fiddata, const std::vector<compiler::VariableBinding>& bindings) {
  auto* file = static_cast<XO_FILE*>(fiddata);
  XV_VECTOR* vector = nullptr;
  if (svc::xvgeti(file, 2, &vector) != 0) return nullptr;
  for (const compiler::VariableBinding& b : bindings)
    if (svc::xvgetd(vector, b.number, 0, b.cell, b.length, 8, 0, 0) != 0) return nullptr;
  return svc::xvgete(vector) == 0 ? vector : nullptr;
}

const bool kInstalled = (compiler::install_dataset_access({&describe, &bind}), true);

}  // namespace
}  // namespace platform
