#include "platform/refit/refit_model.h"

#include <new>

#include "host/services.h"
#include "platform/compiler/compiler.h"
#include "platform/compiler/executor.h"
#include "platform/refit/refit_pass_frame.h"

namespace platform::refit {

RefitModel::RefitModel() = default;
RefitModel::~RefitModel() = default;

RefitModel::Compiled::~Compiled() {
  if (initialised) cmppurg(&cmp);
}

int RefitModel::Compiled::compile(const std::string& text, const std::vector<compiler::DatasetVariable>& inputs,
                                  const std::vector<std::string>& parms, const std::string& objective,
                                  const compiler::ObjectiveOptions& options,
                                  const std::vector<std::string>& var_names) {
  if (initialised) return 1;
  CMPINIT init{&nretain, &vnum, &seg, 0, nullptr};
  const bool made = cmpinit(&init, &cmp) == 0;
  initialised = made;
  const bool compiled =
      made && compiler::compile_objective_text(&cmp, text, inputs, parms, objective, options, &program) == 0;
  // The compiler reports a shortage as a shortfall (vnum), which is no
  // fault of the text: it ends the step as any other shortage does.
  if (vnum > 0) throw std::bad_alloc();
  if (!compiled || nretain) return 1;
  compiler::Compiler* c = compiler::compiler_of(&cmp);
  for (const std::string& name : var_names) {
    compiler::Symbol* s = c->symbols.find(name);
    var_syms.push_back(s ? &s->pub : nullptr);
  }
  return 0;
}

std::unique_ptr<compiler::Executor> RefitModel::Compiled::new_executor() {
  return compiler::new_executor(&cmp);
}

int RefitModel::compile(const std::string& text, const std::string& objective, const std::vector<std::string>& parms,
                        const std::vector<QXPROF_VAR_INFO>& vars, const std::vector<std::string>& var_names) {
  std::vector<compiler::DatasetVariable> inputs;
  // A lagged variable is retained by the program, as the fit's pass retains
  // it: its value reaches the next observation (where its row sets it to
  // that same value) and so does its derivative, which an input would not carry.
  std::string retained;
  for (std::size_t i = 0; i < vars.size(); ++i) {
    const bool numeric = vars[i].numeric || vars[i].type == COMPUTED_VAR;
    if (!numeric && vars[i].byte_len < 1) return 1;
    if (vars[i].type == COMPUTED_VAR && vars[i].lag_on) {
      retained += " " + var_names[i];
      continue;
    }
    inputs.push_back({var_names[i], numeric, numeric ? 8 : vars[i].byte_len, static_cast<int>(i) + 1});
  }
  const std::string program = retained.empty() ? text : "retain" + retained + " ; " + text;
  // The notes of the text are logged once, by the first compile.
  if (first_.compile(program, inputs, parms, objective, {false, true}, var_names) != 0 ||
      second_.compile(program, inputs, parms, objective, {true, false}, var_names) != 0)
    return 1;
  vars_ = vars;
  return 0;
}

std::unique_ptr<Frame> RefitModel::new_frame() { return Frame::make(first_, second_, vars_); }

}  // namespace platform::refit
