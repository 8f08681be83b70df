// What ESTIMATE and CONTRAST expressions may be built from: functions of the
// parameters and of values fixed for the step, never of the observations.
#include "host/services.h"
#include "procedure/carried_values.h"
#include "procedure/procedure_context.h"
#include "procedure/setup.h"
#include "procedure/step_exit.h"

namespace {

// Message numbers, ESTIMATE first, CONTRAST second.
struct Messages {
  int dataset_var;           // 601, 621
  int unset_referenced;      // 613, 627
  int unset;                 // 614, 628
  int input_unset_referenced;  // 615, 629
  int input_unset;           // 616, 630
  int carried;               // 1010, 1011
};
constexpr Messages kEstimate{601, 613, 614, 615, 616, 1010};
constexpr Messages kContrast{621, 627, 628, 629, 630, 1011};

[[noreturn]] void fail(const CMPSYM* s, int number) {
  xpmlog(305, number, s->nameleng, s->name);
  ruva_exit(3000);
}

[[noreturn]] void fail(const CMPSYM* s, const CMPSYM* d, int number) {
  xpmlog(305, number, s->nameleng, s->name, d->nameleng, d->name);
  ruva_exit(3000);
}

// The first variable of the input data set that `s` depends on, or null.
const CMPSYM* dataset_dependency(RUVACOM* ctx, CMPSYM* s) {
  if (cmpdeps(&ctx->globcmp, s, 0, 0, 0) <= 0) return nullptr;
  for (CMPSYM* d = cmpndep(&ctx->globcmp, s, nullptr, 0, 0); d; d = cmpndep(&ctx->globcmp, s, d, 0, 0))
    if (d->dsvarno > 0) return d;
  return nullptr;
}

// A symbol that has no value of its own: not given one before the run and
// not a parameter or a value cell of the procedure.
bool lacks_value(const CMPSYM* s) {
  return s->ninit < 1 || (!cmp_has_initial(s) && s->kind != 'a' && s->kind != 'm');
}

void check_input(RUVACOM* ctx, CMPSYM* s, bool estimate) {
  const Messages& m = estimate ? kEstimate : kContrast;
  const bool dataset = estimate ? s->dsvarno > 0 : cmp_dataset_var(s);
  if (dataset) fail(s, m.dataset_var);
  // A computed variable: the message names the data set's variable.
  if (const CMPSYM* d = dataset_dependency(ctx, s)) fail(d, m.dataset_var);
  // A value that differs between observations though no data-set variable
  // is behind it: the expression would report the value at one observation
  // as if it held for all.
  if (const std::string carried = carried_input(ctx, s); !carried.empty()) {
    xpmlog(305, m.carried, carried.c_str());
    ruva_exit(3000);
  }
  if (!lacks_value(s)) return;
  if (!cmp_assigned(s)) {
    if (!cmp_marked(s)) fail(s, cmp_referenced(s) ? m.unset_referenced : m.unset);
    return;
  }
  if (cmpdeps(&ctx->globcmp, s, 0, 0, 0) <= 0) return;
  // An input with a value of its own (the constant 2 of h = 2*a, a RETAIN
  // or array initial value) is fixed for the step.
  for (CMPSYM* d = cmpndep(&ctx->globcmp, s, nullptr, 0, 0); d; d = cmpndep(&ctx->globcmp, s, d, 0, 0))
    if (!cmp_marked(d) && lacks_value(d))
      fail(s, d, cmp_referenced(d) ? m.input_unset_referenced : m.input_unset);
}

}  // namespace

void check_expression_inputs(RUVACOM* ctx, CMPSYM* const* inputs, int ninputs, bool estimate) {
  for (int i = 0; i < ninputs; ++i)
    if (!cmp_literal(inputs[i])) check_input(ctx, inputs[i], estimate);
}
