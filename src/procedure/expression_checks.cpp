// What ESTIMATE and CONTRAST expressions may be built from: functions of the
// parameters and of values fixed for the step, never of the observations.
// An error names the statement (label, line and column) whose expression
// is refused.
#include <string>

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

bool in_deps(RUVACOM* ctx, CMPSYM* of, const CMPSYM* s) {
  if (cmpdeps(&ctx->globcmp, of, 0, 0, 0) <= 0) return false;
  for (CMPSYM* d = cmpndep(&ctx->globcmp, of, nullptr, 0, 0); d; d = cmpndep(&ctx->globcmp, of, d, 0, 0))
    if (d == s) return true;
  return false;
}

// Whether expression symbol `e` reads `s`: `s` is among its inputs, or it
// is a computed variable whose inputs all are (the data flow goes through
// it to them, so the reason `s` is refused lies among them).
bool reads(RUVACOM* ctx, CMPSYM* e, CMPSYM* s) {
  if (e == s || in_deps(ctx, e, s)) return true;
  if (cmpdeps(&ctx->globcmp, s, 0, 0, 0) <= 0) return false;
  for (CMPSYM* d = cmpndep(&ctx->globcmp, s, nullptr, 0, 0); d; d = cmpndep(&ctx->globcmp, s, d, 0, 0))
    if (!in_deps(ctx, e, d)) return false;
  return !cmp_reads_carried_array(s) || cmp_reads_carried_array(e);
}

// The statement an expression row belongs to: its label, and where it starts.
struct Statement {
  int line = 0, column = 0;
  int length = 0;
  const char* label = "";
};

// The statement of the first expression that reads `s`.
Statement statement_reading(RUVACOM* ctx, bool estimate, CMPSYM* s) {
  CMPLIST* rows = estimate ? ctx->estisym : ctx->contsym;
  int row = 0;
  while (row < rows->n - 1 && !reads(ctx, rows->s[row], s)) ++row;
  // A CONTRAST statement has contn[k] rows.
  int k = estimate ? row : 0;
  for (int first = 0; !estimate && first + ctx->contn[k] <= row; ++k) first += ctx->contn[k];
  Statement st;
  cmpspos(&ctx->globcmp, rows->s[row], &st.line, &st.column);
  st.length = estimate ? ctx->estilen[k] : ctx->contlen[k];
  st.label = estimate ? ctx->estilab[k] : ctx->contlab[k];
  return st;
}

// Logs 305/number for the statement reading `s`, with the inserts after
// the statement's, and ends the step.
template <class... Inserts>
[[noreturn]] void refuse(RUVACOM* ctx, bool estimate, CMPSYM* s, int number, Inserts... inserts) {
  const Statement st = statement_reading(ctx, estimate, s);
  xpmlog(305, number, st.line, st.column, st.length, st.label, inserts...);
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

void check_carried(RUVACOM* ctx, CMPSYM* s, bool estimate) {
  const std::string carried = carried_input(ctx, s);
  if (!carried.empty()) refuse(ctx, estimate, s, estimate ? kEstimate.carried : kContrast.carried, carried.c_str());
}

void check_input(RUVACOM* ctx, CMPSYM* s, bool estimate) {
  const Messages& m = estimate ? kEstimate : kContrast;
  const bool dataset = estimate ? s->dsvarno > 0 : cmp_dataset_var(s);
  if (dataset) refuse(ctx, estimate, s, m.dataset_var, s->nameleng, s->name);
  // A computed variable: the message names the data set's variable.
  if (const CMPSYM* d = dataset_dependency(ctx, s)) refuse(ctx, estimate, s, m.dataset_var, d->nameleng, d->name);
  // A value that differs between observations though no data-set variable
  // is behind it: the expression would report the value at one observation
  // as if it held for all.
  check_carried(ctx, s, estimate);
  if (!lacks_value(s)) return;
  if (!cmp_assigned(s)) {
    if (!cmp_marked(s))
      refuse(ctx, estimate, s, cmp_referenced(s) ? m.unset_referenced : m.unset, s->nameleng, s->name);
    return;
  }
  if (cmpdeps(&ctx->globcmp, s, 0, 0, 0) <= 0) return;
  // An input with a value of its own (the constant 2 of h = 2*a, a RETAIN
  // or array initial value) is fixed for the step.
  for (CMPSYM* d = cmpndep(&ctx->globcmp, s, nullptr, 0, 0); d; d = cmpndep(&ctx->globcmp, s, d, 0, 0))
    if (!cmp_marked(d) && lacks_value(d))
      refuse(ctx, estimate, s, cmp_referenced(d) ? m.input_unset_referenced : m.input_unset, s->nameleng, s->name,
             d->nameleng, d->name);
}

}  // namespace

void check_expression_inputs(RUVACOM* ctx, CMPSYM* const* inputs, int ninputs, bool estimate) {
  for (int i = 0; i < ninputs; ++i)
    if (!cmp_literal(inputs[i])) check_input(ctx, inputs[i], estimate);
  // A value carried between observations that the expression reads itself,
  // from a _TEMPORARY_ array, which has no variable among the inputs.
  CMPLIST* rows = estimate ? ctx->estisym : ctx->contsym;
  for (int row = 0; row < rows->n; ++row) check_carried(ctx, rows->s[row], estimate);
}
