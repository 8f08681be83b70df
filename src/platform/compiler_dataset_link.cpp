// Connects the compiler to the data-set layer: the compiler resolves the
// program's names against the input data set's variables, has each
// observation's values copied into the program's cells through an input
// variable vector, and hands the data set its WHERE condition.
#include <string>
#include <vector>

#include "platform/compiler/dataset_view.h"
#include "platform/datasets/input_data_set.h"
#include "platform/datasets/problem.h"
#include "platform/datasets/sidecar.h"
#include "platform/host.h"
#include "platform/services/service_impls.h"

namespace platform {
namespace {

bool describe(void* fiddata, std::vector<compiler::DatasetVariable>* variables) {
  auto* file = static_cast<XO_FILE*>(fiddata);
  int count = 0;
  if (!file || svc::xvallvr(file, &count) != 0) return false;
  variables->clear();
  for (int k = 1; k <= count; ++k) {
    NAMESTR n{};
    if (svc::xvname(file, k, &n) != 0) return false;
    variables->push_back({std::string(n.name, static_cast<std::size_t>(n.namelen)),
                          n.type == kNumeric, n.length, k});
  }
  return true;
}

void* bind(void* fiddata, const std::vector<compiler::VariableBinding>& bindings) {
  auto* file = static_cast<XO_FILE*>(fiddata);
  XV_VECTOR* vector = nullptr;
  if (!file || svc::xvgeti(file, 0, &vector) != 0 || !vector) return nullptr;
  for (const compiler::VariableBinding& b : bindings)
    if (svc::xvgetd(vector, b.number, 0, b.cell, b.length, 8, 0, 0) != 0) return nullptr;
  return svc::xvgete(vector) == 0 ? vector : nullptr;
}

void filter(void* fiddata, std::function<bool()> accepts) {
  if (ds::InputDataSet* in = ds::DataSet::input(static_cast<XO_FILE*>(fiddata)))
    in->set_where(std::move(accepts));
}

// Names the cell that made the variable character, or its description.
void not_a_number(void* fiddata, int number) {
  const ds::InputDataSet* in = ds::DataSet::input(static_cast<XO_FILE*>(fiddata));
  if (!in || number < 1 || number > static_cast<int>(in->table().variables.size())) return;
  const ds::Table& t = in->table();
  const ds::Variable& v = t.variables[static_cast<std::size_t>(number - 1)];
  if (v.name == t.row_name_column)
    ds::log_problem({ds::msg::kRowNamesAsNumber, {v.name, t.name, t.file.string()}});
  else if (v.text_line > 0)
    ds::log_problem({ds::msg::kCharacterFromCell,
                     {v.name, t.name, std::to_string(v.text_line), std::to_string(number),
                      t.file.string(), v.text_cell}});
  else
    ds::log_problem({ds::msg::kCharacterDescribed, {v.name, t.name, ds::sidecar_path(t.file).string()}});
}

}  // namespace

void connect_compiler_to_datasets() {
  compiler::install_dataset_access({&describe, &bind, &filter, &not_a_number});
}

}  // namespace platform
