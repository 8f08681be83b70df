// The entry of the curvature measures, the RMS curvatures and Box's bias.
// One pass gathers, per used observation with M = C·S(h) (S the symmetric
// matrix of a packed vector, h its √w-scaled second derivatives):
//   the total      tr(M)²/4 + tr(M²)/2,
//   the tangential the same with h replaced by u = T'C x, the projection of
//                  the second derivatives on the tangent plane,
//   Box's sum      b += tr(M)·x.
// Squared RMS curvatures are 4 s²/(p + 2) times the sums (the intrinsic one
// the total less the tangential); bias = −(s²/2)·C·b.
#include "results/curvature_measures.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "host/missing.h"
#include "host/services.h"
#include "linalg/packed.h"
#include "prob/t_f_beta.h"
#include "procedure/convergence_status.h"
#include "procedure/group_name.h"
#include "procedure/procedure_context.h"
#include "results/anova.h"
#include "results/diagnostics_pass.h"
#include "results/diagnostics_record.h"
#include "results/packed_full_matrices.h"
#include "results/result_output.h"

namespace {

constexpr double kSmallestRadius = 1e-15;  // without a scale of the responses
constexpr double kSmallestEstimate = 1.110223024625157e-16;
constexpr int kMsgDependentParameters = 1060;

struct Required {
  bool max_pe = false, max_in = false, rms_pe = false, rms_in = false, bias = false;
};

void take_stats(const RUVAPLOT_STATS* s, Required* r) {
  if (!s) return;
  r->max_pe = r->max_pe || s->maxpecurv_flag;
  r->max_in = r->max_in || s->maxincurv_flag;
  r->rms_pe = r->rms_pe || s->rmspecurv_flag;
  r->rms_in = r->rms_in || s->rmsincurv_flag;
}

Required required(const RUVACOM* ctx) {
  Required r;
  r.bias = ctx->boxs_bias_flag != 0;
  if (const RUVAGRAPH_CONTROL* g = ctx->graph_control) {
    if (g->ruvafit_plot) take_stats(g->ruvafit_plot->plot_stats, &r);
    if (g->ruvadiagnostics_panel) take_stats(g->ruvadiagnostics_panel->plot_stats, &r);
  }
  if (ctx->ruvameasures_table_flag) r.max_pe = r.max_in = r.rms_pe = r.rms_in = true;
  return r;
}

// 1/sqrt(F(1 − α; r, n − r)), r the rank: the tangent plane has one
// dimension per parameter the data determine, so a dependent parameter does
// not count. A parameter on an active bound does, unlike in the analysis of
// variance, since the curvatures take it as free.
double critical_value(const RUVACOM* ctx) {
  const AnovaInput in = anova_input(ctx, false);
  const int rank = in.estimated;
  double f = 0;
  if (zqf(1 - ctx->alpha, rank, static_cast<double>(in.iobs - rank), &f) != 0 || !(f > 0))
    return missing_value();
  return 1 / std::sqrt(f);
}

void set_to_missing(RUVACOM* ctx, DiagCurvature* cv) {
  cv->std_radius = cv->max_in_curv = cv->max_pe_curv = cv->rms_in_curv = cv->rms_pe_curv =
      missing_value();
  cv->curv_crit_val = critical_value(ctx);
  std::fill(cv->boxs_bias, cv->boxs_bias + ctx->nparm, missing_value());
  std::fill(cv->per_boxs_bias, cv->per_boxs_bias + ctx->nparm, missing_value());
}

bool all_estimable(const RUVACOM* ctx) {
  return std::count(ctx->parmdf, ctx->parmdf + ctx->nparm, '1') == ctx->nparm;
}

// trace(A) and trace(A²) of a dense p-by-p matrix.
double trace(const double* a, int p) {
  double t = 0;
  for (int i = 0; i < p; ++i) t += a[i * p + i];
  return t;
}
double trace_square(const double* a, int p) {
  double t = 0;
  for (int i = 0; i < p; ++i)
    for (int j = 0; j < p; ++j) t += a[i * p + j] * a[j * p + i];
  return t;
}

// tr(M) and tr(M)²/4 + tr(M²)/2 of M = C·S(h), for packed C and h; m
// receives M.
struct Curvature {
  double trace, term;
};
Curvature curvature_of(const double* C, const double* h, int p, double* m) {
  symmat_symmat(C, h, m, p, 0);
  const double t = trace(m, p);
  return {t, t * t * 0.25 + trace_square(m, p) * 0.5};
}

struct PassSums {
  double total = 0, tangential = 0;
  std::vector<double> b;  // Box's sum
};

PassSums observation_sums(RUVACOM* ctx, const Required& req) {
  RUVADIAG* d = ctx->ruvadiag;
  const int p = ctx->nparm;
  const long q = diag_packed(p);
  const double* T = d->curv_blck->temp_proj_hess;
  const double* C = d->com_blck->xpx_inv;
  std::vector<double> z(p + q), m(p * p), v(p), u(q);
  PassSums s;
  s.b.assign(p, 0.0);
  const bool rms = req.rms_pe || req.rms_in;
  observation_pass(ctx, [&](long i, bool ran) {
    if (!curvature_row(ctx, i, ran, z.data())) return;
    const double* x = z.data();
    const double* h = x + p;
    const Curvature total = curvature_of(C, h, p, m.data());
    if (req.bias)
      for (int j = 0; j < p; ++j) s.b[j] += total.trace * x[j];
    if (!rms) return;
    s.total += total.term;
    symmat_vec(C, x, v.data(), p, 0);
    std::fill(u.begin(), u.end(), 0.0);
    for (int r = 0; r < p; ++r)
      for (long c = 0; c < q; ++c) u[c] += v[r] * T[r * q + c];
    s.tangential += curvature_of(C, u.data(), p, m.data()).term;
  });
  return s;
}

void rms_curvatures(RUVACOM* ctx, DiagCurvature* cv, const PassSums& s, const Required& req) {
  const double s2 = ctx->ruvadiag->com_blck->mse, scale = s2 / (ctx->nparm + 2);
  const double tangential = s.tangential * scale;
  if (req.rms_pe && tangential >= 0) cv->rms_pe_curv = 2 * std::sqrt(tangential);
  const double normal = s.total * scale - tangential;
  if (req.rms_in && normal >= 0) cv->rms_in_curv = 2 * std::sqrt(normal);
}

void boxs_bias(RUVACOM* ctx, DiagCurvature* cv, const std::vector<double>& b) {
  const int p = ctx->nparm;
  const double* C = ctx->ruvadiag->com_blck->xpx_inv;
  const double half = ctx->ruvadiag->com_blck->mse * 0.5;
  for (int k = 0; k < p; ++k) {
    double bias = 0;
    for (int j = 0; j < p; ++j) bias -= C[zisub(k, j)] * half * b[j];
    cv->boxs_bias[k] = bias;
    const double est = ctx->parm[k];
    if (!wzmis(est) && std::fabs(est) > kSmallestEstimate) cv->per_boxs_bias[k] = bias * 100 / est;
  }
}

}  // namespace

bool curvature_row(RUVACOM* ctx, long i, bool ran, double* z) {
  const DiagObservation o = diag_observation(ctx, ran, z);
  if (!o.ran || !o.d_ok || !o.h_ok || !o.weighted() || !diag_obs_used(ctx->ruvadiag, i))
    return false;
  const double root = std::sqrt(o.w);
  for (long k = 0; k < diag_augmented(ctx->nparm); ++k) z[k] *= root;
  return true;
}

int nonlinearity_measures(RUVACOM* ctx) {
  RUVADIAG* d = ctx->ruvadiag;
  DiagCurvature* cv = d->curv_blck;
  const int p = ctx->nparm;
  set_to_missing(ctx, cv);
  const double s2 = d->com_blck->mse;
  // The measures are scaled by the radius: none for an exact fit.
  if (!wzmis(s2)) cv->std_radius = std::sqrt(p * s2);
  if (negligible_mean_square(ctx, s2, kSmallestRadius * kSmallestRadius / p)) {
    xpslog("Incorrect or missing standard radius");
    return 1;
  }
  if (!all_estimable(ctx)) {
    xpmlog(kResultMessages, kMsgDependentParameters, by_group_phrase(ctx).c_str());
    return 1;
  }
  const Required req = required(ctx);
  if (req.max_pe || req.max_in) max_inpe_curv_noacc(ctx, req.max_pe, req.max_in);
  if (!req.rms_pe && !req.rms_in && !req.bias) return 0;
  const PassSums sums = observation_sums(ctx, req);
  rms_curvatures(ctx, cv, sums, req);
  if (req.bias) boxs_bias(ctx, cv, sums.b);
  return 0;
}
