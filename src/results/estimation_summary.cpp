// The EstSummary factoid: the method, the iteration counts, the final
// convergence measures, the objective and the observation counts. With the
// GENERIC system option, convergence measures below 1e-8 show as 0 so that
// listings compare across platforms.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "host/missing.h"
#include "host/services.h"
#include "host/output_tables.h"
#include "optim/optimiser.h"
#include "procedure/procedure_context.h"
#include "results/result_output.h"
#include "results/result_tables.h"

namespace {

constexpr int kMsgConverged = 86, kMsgNotConverged = 87, kMsgMethod = 93;
constexpr int kMsgIterations = 94, kMsgSubiterations = 95, kMsgAverageSubiterations = 96, kMsgR = 97;
constexpr int kMsgPpc = 98, kMsgRpc = 99, kMsgPpcNamed = 100, kMsgRpcNamed = 101;
constexpr int kMsgObject = 102, kMsgObjective = 103, kMsgRead = 104, kMsgUsed = 105, kMsgNotUsed = 106;
constexpr double kGenericZero = 1e-8;
constexpr double kNamedChangeFloor = 1e-8;  // smaller changes are not named after a parameter
constexpr int kLongestNamedLabel = 15;  // longer parameter names keep the plain label

int method_message(char method) {
  switch (method) {
    case 'A': return 88;  // GRADIENT
    case 'R': return 90;  // MARQUARDT
    case 'W': return 91;  // NEWTON
    default: return 89;   // GAUSS
  }
}

bool generic_output() {
  int on = 0;
  return xoptbgt("GENERIC", &on) == 0 && on != 0;
}

// The five convergence measures, zeroed below 1e-8 under GENERIC.
struct Measures {
  double r, ppc, rpc, robj, objective;
};

Measures measures(const ZOPTSTATE& st, bool generic) {
  Measures m{st.r, st.ppc, st.rpc, st.robj, st.objective};
  if (generic)
    for (double* v : {&m.r, &m.ppc, &m.rpc, &m.robj, &m.objective})
      if (!wzmis(*v) && std::fabs(*v) < kGenericZero) *v = 0.0;
  return m;
}

// PPC or RPC, named after its parameter when that helps.
xobskey change_label(const RUVACOM* ctx, double value, int parameter, int plain, int named) {
  if (wzmis(value) || !(value > kNamedChangeFloor) || parameter < 0 || parameter >= ctx->nparm)
    return result_text(plain);
  const char* name = ctx->pname ? ctx->pname[parameter] : nullptr;
  const int length = name ? static_cast<int>(std::strlen(name)) : kLongestNamedLabel;
  if (length >= kLongestNamedLabel) return result_text(plain);
  return yolmsgs(kResultMessages, named, length, name);
}

void method_fact(ResultTable* t, const RUVACOM* ctx) {
  WOB_PARM_BLK_STR pb[2] = {wob_text(296, result_text(kMsgMethod)),
                            wob_text(287, result_text(method_message(ctx->method)))};
  const int rc = wobmth(t->data, nullptr, 164, 2, pb);
  if (rc < 0) {
    xprrlog(0, rc);
    t->status = rc;
  }
}

void add_counts(wobop f, const ZOPTSTATE& st) {
  const std::int64_t iters = st.iters, subiters = st.totsubiters;
  yoladdf(f, result_text(kMsgIterations), &iters, "d");
  if (subiters == 0) return;
  yoladdf(f, result_text(kMsgSubiterations), &subiters, "d");
  if (iters == 0) return;
  const double average = static_cast<double>(subiters) / static_cast<double>(iters);
  yoladdf(f, result_text(kMsgAverageSubiterations), &average, "n");
}

void add_measures(wobop f, const RUVACOM* ctx, const ZOPTSTATE& st, const Measures& m) {
  yoladdf(f, result_text(kMsgR), &m.r, "n");
  yoladdf(f, change_label(ctx, m.ppc, st.worstp, kMsgPpc, kMsgPpcNamed), &m.ppc, "n");
  yoladdf(f, change_label(ctx, m.rpc, st.worstr, kMsgRpc, kMsgRpcNamed), &m.rpc, "n");
  yoladdf(f, result_text(kMsgObject), &m.robj, "n");
  yoladdf(f, result_text(kMsgObjective), &m.objective, "n");
}

void add_observations(wobop f, const RUVACOM* ctx) {
  const std::int64_t read = ctx->nobs, used = ctx->iobs, not_used = ctx->nobs - ctx->iobs;
  yoladdf(f, result_text(kMsgRead), &read, "d");
  yoladdf(f, result_text(kMsgUsed), &used, "d");
  yoladdf(f, result_text(kMsgNotUsed), &not_used, "d");
}

}  // namespace

void print_summary(RUVACOM* ruvaptr) {
  const ZOPTSTATE& st = ruvaptr->zoptg->state;
  ResultTable t(ruvaptr->yolman);
  if (!t.create_factoid("EstSummary", result_text(ruvaptr->exerror ? kMsgConverged : kMsgNotConverged),
                        "stat.ruva.EstSummary"))
    return;
  method_fact(&t, ruvaptr);
  if (!t.ok()) return;
  add_counts(t.data, st);
  add_measures(t.data, ruvaptr, st, measures(st, generic_output()));
  add_observations(t.data, ruvaptr);
  t.close_factoid();
}
