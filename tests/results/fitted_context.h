// The state a finished fit leaves in the procedure context, built without
// the procedure's estimation: the optimiser minimises a least-squares
// problem through small callbacks, then the context gets what the last
// data pass and the covariance step leave (the cross products swept into
// their inverse, the status letters, the intercept sums and the weighted
// sums of the responses), and the result tables run on it in a host step.
#pragma once

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "host/globals.h"
#include "host/services.h"
#include "linalg/packed.h"
#include "linalg/sweep_inverse.h"
#include "optim/least_squares.h"
#include "procedure/ruva_memory.h"
#include "procedure/ruvacom.h"
#include "procedure/statement_parsing.h"
#include "results/result_tables.h"

namespace results_test {

// A model f(b, x_i) with its gradient in b.
using Model = std::function<void(const double* b, int i, double* f, double* df)>;

struct Problem {
  std::vector<std::string> names;
  std::vector<double> start;
  std::vector<double> y;
  std::vector<double> w;  // weights; empty for none
  Model model;
  std::string dependent = "y";
};

// A bound on one parameter, declared as the procedure declares BOUNDS:
// value = c - x (upper) or x - c (lower) >= 0, with a compiler-like symbol
// carrying the constraint's label as its user data.
struct Bound {
  int parm = 0;
  bool upper = true;
  double value = 0;
  std::string name, label;
};

// The constraint rows of a run: values, coefficient cells and symbols.
class BoundRows {
 public:
  void declare(const std::vector<Bound>& bounds, lsq::Options& o, lsq::Fit& fit) {
    bounds_ = bounds;
    const std::size_t k = bounds_.size();
    values_.assign(k, 0.0);
    coefs_.assign(k, 0.0);
    cells_.assign(k, nullptr);
    cols_.assign(k, 0);
    syms_.assign(k, CMPSYM{});
    infos_.assign(k, CMPSYMINFO{});
    for (std::size_t i = 0; i < k; ++i) {
      coefs_[i] = bounds_[i].upper ? -1.0 : 1.0;
      cells_[i] = &coefs_[i];
      cols_[i] = bounds_[i].parm;
      infos_[i].label = bounds_[i].label.data();
      infos_[i].labeleng = static_cast<std::int16_t>(bounds_[i].label.size());
      syms_[i].name = bounds_[i].name.c_str();
      syms_[i].nameleng = static_cast<std::int16_t>(bounds_[i].name.size());
      syms_[i].info = &infos_[i];
    }
    o.inequalities = static_cast<int>(k);
    o.declare = [this](ZOPTGLOBAL* g) {
      for (std::size_t i = 0; i < bounds_.size(); ++i)
        if (zoptac(&cols_[i], &cells_[i], 1, &values_[i], 1, nullptr, nullptr, nullptr, 0, bounds_[i].name.data(),
                   &syms_[i], g) != 0)
          return 1;
      return 0;
    };
    fit.constraints = [this](const double* x) {
      for (std::size_t i = 0; i < bounds_.size(); ++i)
        values_[i] = bounds_[i].upper ? bounds_[i].value - x[cols_[i]] : x[cols_[i]] - bounds_[i].value;
    };
  }

 private:
  std::vector<Bound> bounds_;
  std::vector<double> values_, coefs_;
  std::vector<double*> cells_;
  std::vector<int> cols_;
  std::vector<CMPSYM> syms_;
  std::vector<CMPSYMINFO> infos_;
};

// What a test sets before the tables run.
struct FitOptions {
  std::vector<Bound> bounds;
  char method = 'R';
  char noprint = 0;
  char totalss = 0;
  char lossflag = 0;
  char g4 = 0;
  bool converged = true;
  bool intercept_sums = true;     // fill the intercept sums from the derivatives
  std::vector<double> stop_at;    // where the fit stopped, when not at the optimiser's point
  std::function<void(RUVACOM*)> before;  // last changes before jovtab
};

inline double weight(const Problem& p, int i) { return p.w.empty() ? 1.0 : p.w[i]; }

// The derivatives (m by n) and residuals at b.
inline void evaluate(const Problem& p, const double* b, std::vector<double>* jac, std::vector<double>* r) {
  const int n = static_cast<int>(p.names.size()), m = static_cast<int>(p.y.size());
  jac->assign(static_cast<std::size_t>(m) * n, 0.0);
  r->assign(m, 0.0);
  for (int i = 0; i < m; ++i) {
    double f = 0;
    p.model(b, i, &f, jac->data() + static_cast<std::size_t>(i) * n);
    (*r)[i] = p.y[i] - f;
  }
}

inline lsq::Problem least_squares(const Problem& p) {
  lsq::Problem q;
  q.name = "fit";
  q.n = static_cast<int>(p.names.size());
  q.m = static_cast<int>(p.y.size());
  q.eval = [&p](const double* b, double* r, double* jac) {
    std::vector<double> J, res;
    evaluate(p, b, &J, &res);
    const int n = static_cast<int>(p.names.size());
    for (std::size_t i = 0; i < res.size(); ++i) {
      const double s = std::sqrt(weight(p, static_cast<int>(i)));
      r[i] = s * res[i];
      for (int j = 0; j < n; ++j) jac[i * n + j] = -s * J[i * n + j];
    }
    return true;
  };
  return q;
}

inline CMPLIST* parameter_symbols(const Problem& p) {
  auto* list = ruva_new<CMPLIST>();
  const int n = static_cast<int>(p.names.size());
  list->n = list->k = n;
  list->s = ruva_new<CMPSYM*>(n);
  for (int i = 0; i < n; ++i) {
    auto* s = ruva_new<CMPSYM>();
    s->name = p.names[i].c_str();
    s->nameleng = static_cast<std::int16_t>(p.names[i].size());
    s->kind = 'a';
    s->type = 'n';
    list->s[i] = s;
  }
  return list;
}

// The context before the fit: parameters, names, options.
inline RUVACOM* new_context(const Problem& p, const FitOptions& s) {
  RUVACOM* ctx = ruva_new_context();
  if (create_output_manager(ctx) != 0) xexit(120, 0);
  const int n = static_cast<int>(p.names.size());
  ctx->nparm = n;
  ctx->parmsym = parameter_symbols(p);
  ctx->pname = ruva_new<char*>(n + 1);
  for (int i = 0; i < n; ++i) {
    ctx->pname[i] = const_cast<char*>(p.names[i].c_str());
    ctx->maxnamelen = std::max(ctx->maxnamelen, static_cast<std::int32_t>(p.names[i].size()));
  }
  ctx->parmlast = ruva_new<double>(n + 1);
  ctx->depname = VARSTRING{0, static_cast<std::int64_t>(p.dependent.size()), const_cast<char*>(p.dependent.c_str())};
  ctx->epsilon = 1.110223024625157e-12;
  ctx->alpha = 0.05;
  ctx->sigsq = 1.0;
  ctx->estdf = -1;
  ctx->method = s.method;
  ctx->noprint = s.noprint;
  ctx->noitprint = 1;
  ctx->totalss = s.totalss;
  ctx->lossflag = s.lossflag;
  ctx->weightflag = p.w.empty() ? 0 : 1;
  ctx->g4 = s.g4;
  ctx->exerror = s.converged ? 1 : 0;
  return ctx;
}

// What the last data pass and the covariance step leave.
inline void last_pass(RUVACOM* ctx, const Problem& p, const FitOptions& s) {
  const int n = ctx->nparm, m = static_cast<int>(p.y.size());
  std::vector<double> J, r;
  evaluate(p, ctx->parm, &J, &r);
  double* x = ctx->xpx;
  std::memset(x, 0, sizeof(double) * static_cast<std::size_t>(zisub(n, n) + 1));
  ctx->xpx2 = ruva_new<double>(zisub(n + 1, 0));
  ctx->intcep = ctx->xpx2 + zisub(n, 0);
  ctx->sumw = ctx->sumy = ctx->sumy2 = ctx->sumwsse = 0;
  for (int i = 0; i < m; ++i) {
    const double w = weight(p, i);
    const double* d = J.data() + static_cast<std::size_t>(i) * n;
    for (int a = 0; a < n; ++a) {
      for (int b = 0; b <= a; ++b) x[zisub(a, b)] += w * d[a] * d[b];
      x[zisub(n, a)] += w * d[a] * r[i];
      if (s.intercept_sums) ctx->intcep[a] += w * d[a];
    }
    x[zisub(n, n)] += w * r[i] * r[i];
    if (s.intercept_sums) ctx->intcep[n] += w;
    ctx->sumw += w;
    ctx->sumy += w * p.y[i];
    ctx->sumy2 += w * p.y[i] * p.y[i];
    ctx->sumwsse += w * r[i] * r[i];
  }
  std::copy_n(x, zisub(n, 0), ctx->xpx2);
  ZOPTGLOBAL* g = ctx->zoptg;
  ZSWPN* swpi = g->state.swpi;
  ctx->parmdf = swpi->sweepx;
  if (g->state.marqu->inumconstr > 0) {
    // The covariance under the active constraints, from the cross products.
    std::copy_n(x, zisub(n, 0), g->state.marqu->savhes);
    zoptcv(g);
  } else {
    std::memset(swpi->sweepx, '0', static_cast<std::size_t>(n + 1));
    zswpn(x, nullptr, n, n + 1, swpi);
  }
  for (int i = 0; i < n; ++i)
    if (ctx->parmdf[i] != '1')
      for (int j = 0; j < n; ++j) x[zisub(i, j)] = 0;
  ctx->nobs = ctx->iobs = m;
  ctx->sse = ctx->zoptg->state.objective;
}

// Fits the problem and runs the result tables; call inside a host step.
inline RUVACOM* fit_and_tabulate(const Problem& p, const FitOptions& s = {}) {
  RUVACOM* ctx = new_context(p, s);
  static lsq::Problem q;
  static lsq::Fit fit;
  static BoundRows bounds;
  q = least_squares(p);
  fit = lsq::Fit(&q);
  lsq::Options o;
  o.atol = 1e-12;
  if (!s.bounds.empty()) bounds.declare(s.bounds, o, fit);
  ZOPTGLOBAL* g = lsq::make_run(task_pool(), &fit, o);
  if (!g) xexit(1016, 0);
  ctx->zoptg = g;
  ctx->xpx = g->state.hes;
  lsq::run(g, p.start);
  ctx->parm = g->state.parms;
  if (!s.stop_at.empty()) std::copy(s.stop_at.begin(), s.stop_at.end(), ctx->parm);
  last_pass(ctx, p, s);
  if (s.before) s.before(ctx);
  jovtab(ctx, nullptr);
  return ctx;
}

}  // namespace results_test
