// The per-group quantities of the observation-level diagnostics (see
// diagnostics_record.h): a first pass sums X, K, Σ w z z' and Σ w e z over
// the used observations (and T = Σ w d h' for the curvature measures), the
// inverses follow, a second pass factors X and
// sums the residual expectation and the projection's variance, and a last
// one forms the local influence. An observation whose model run fails is
// skipped by every pass.
#include <algorithm>
#include <cmath>

#include "host/missing.h"
#include "linalg/givens_update.h"
#include "linalg/packed.h"
#include "linalg/packed_matrix.h"
#include "linalg/sweep.h"
#include "linalg/triangular_inverse.h"
#include "linalg/vector_kernels.h"
#include "procedure/convergence_status.h"
#include "procedure/data_pass_parts.h"
#include "procedure/inverse_in_use.h"
#include "procedure/step_memory.h"
#include "results/diagnostics_pass.h"
#include "results/diagnostics_record.h"
#include "results/local_influence.h"
#include "results/packed_full_matrices.h"

namespace {

constexpr double kSweepTolerance = 1.110223024625157e-9;
constexpr double kPivotTolerance = 1.110223024625157e-12;

bool present(double x) { return !wzmis(x) && std::isfinite(x); }

// Work arrays of one function, returned to the pool when it ends.
struct Work {
  double* v;
  explicit Work(std::int64_t count) : v(count > 0 ? ruva_new_or_exit<double>(count) : nullptr) {}
  ~Work() { ruva_free(v); }
  Work(const Work&) = delete;
  Work& operator=(const Work&) = delete;
};

double error_variance(RUVACOM* ctx) {
  const double mse = error_mean_square(ctx);
  return present(mse) && mse >= 0 ? mse : missing_value();
}

// The residual variance whatever SIGSQ= says; missing unless positive.
double residual_variance(RUVACOM* ctx) {
  const double var = residual_mean_square(ctx);
  return present(var) && var > 0 ? var : missing_value();
}

struct Sums {
  RUVADIAG* d;
  int p;
  std::int64_t q, m;
  double* K;  // Σ w e H

  void add(const DiagObservation& o, const double* z) const {
    zscp(z, p, o.w, d->com_blck->xpx);
    if (!o.h_ok) return;
    if (DiagCurvature* cv = d->curv_blck; cv && d->required[kCurvatureBlock])
      for (int r = 0; r < p; ++r) zvxay11(cv->temp_proj_hess + r * q, z + p, q, o.w * z[r]);
    if (!present(o.e)) return;
    if (K) zvxay11(K, z + p, q, o.w * o.e);
    if (DiagProjected* pr = d->proj_resd_blck; pr && d->required[kProjectedBlock]) {
      zscp(z, static_cast<int>(m), o.w, pr->temp_WpW_inv);
      zvxay11(pr->temp_proj_e, z, m, o.w * o.e);
    }
  }
};

// The range of each regressor over the observations whose model run gave
// derivatives, kept only for the one or two that a fit graph can show. A
// regressor missing on the first such observation keeps no range.
struct Ranges {
  DiagRegressors* r;
  bool first = true;

  void add() {
    if (!r || r->num_regressors >= 3) return;
    for (int k = 0; k < r->num_regressors; ++k) {
      const double x = *r->regressors[k];
      double &low = r->xmins[k], &high = r->xmaxs[k];
      if (first) {
        low = high = x;
      } else if (present(x) && present(low) && present(high)) {
        low = std::min(low, x);
        high = std::max(high, x);
      }
    }
    first = false;
  }
};

void first_pass(RUVACOM* ctx, double* K) {
  RUVADIAG* d = ctx->ruvadiag;
  const Sums sums{d, ctx->nparm, diag_packed(ctx->nparm), diag_augmented(ctx->nparm), K};
  Ranges ranges{d->required[kRegressorsBlock] ? d->regs_blck : nullptr};
  Work z(sums.m);
  observation_pass(ctx, [&](long i, bool ran) {
    const DiagObservation o = diag_observation(ctx, ran, z.v);
    if (o.ran && o.d_ok && o.h_ok) ranges.add();
    if (o.ran && o.d_ok && o.weighted() && diag_obs_used(d, i)) sums.add(o, z.v);
  });
}

// R with R R' = X from the rows sqrt(w) d of the used observations, folded
// in one at a time by square-root-free Givens rotations, and L = R⁻¹.
void compute_RL(RUVACOM* ctx) {
  RUVADIAG* d = ctx->ruvadiag;
  const int p = ctx->nparm;
  if (p <= 0) return;
  Work u(static_cast<std::int64_t>(p) * p), scale(p), size(p), x(p), z(diag_augmented(p)), column(p);
  std::fill(scale.v, scale.v + p, 1.0);
  std::fill(column.v, column.v + p, 0.0);
  observation_pass(ctx, [&](long i, bool ran) {
    const DiagObservation o = diag_observation(ctx, ran, z.v);
    if (!o.ran || !o.d_ok || !o.weighted() || !diag_obs_used(d, i)) return;
    std::copy(z.v, z.v + p, x.v);
    double row_scale = o.w;
    for (int j = 0; j < p; ++j) {
      size.v[j] = std::max(size.v[j], 500 * std::sqrt(o.w) * std::fabs(x.v[j]));
      column.v[j] += o.w * x.v[j] * x.v[j];
    }
    for (int k = 0; k < p; ++k)
      zgg(k, p, &scale.v[k], &row_scale, u.v + static_cast<std::int64_t>(k) * p, x.v, size.v[k], 0, 0, nullptr,
          nullptr);
  });
  DiagFactor* f = d->x_qr_blck;
  for (int k = 0; k < p; ++k) {
    double* row = u.v + static_cast<std::int64_t>(k) * p;
    const double root = std::sqrt(scale.v[k]);
    for (int j = k; j < p; ++j) row[j] *= root;
  }
  move_tritosym(u.v, f->R, p, 0);
  std::copy(f->R, f->R + diag_packed(p), f->L);
  // A pivot of R that is rounding beside the length of its column of
  // derivatives leaves R singular, whatever the unit of the parameter or of
  // the response.
  f->usable = true;
  for (int k = 0; k < p; ++k)
    f->usable = f->usable && std::fabs(f->L[diag_packed(k + 1) - 1]) > kPivotTolerance * std::sqrt(column.v[k]);
  f->usable = f->usable && zinvlo(f->L, p, x.v, 0) == 0;
}

// u = G Σ w e z in place of the sum.
void projection_coefficients(RUVADIAG* d, int m) {
  DiagProjected* pr = d->proj_resd_blck;
  Work sum(m);
  std::copy(pr->temp_proj_e, pr->temp_proj_e + m, sum.v);
  symmat_vec(pr->temp_WpW_inv, sum.v, pr->temp_proj_e, m, 0);
}

void second_pass(RUVACOM* ctx) {
  RUVADIAG* d = ctx->ruvadiag;
  const int p = ctx->nparm, m = static_cast<int>(diag_augmented(p));
  const double mse = d->com_blck->mse;
  DiagRaw* raw = d->required[kRawBlock] && d->raw_expectation ? d->raw_resd_blck : nullptr;
  DiagProjected* pr = d->required[kProjectedBlock] ? d->proj_resd_blck : nullptr;
  double ss = 0, trace = 0;
  long used = 0;
  Work z(m);
  observation_pass(ctx, [&](long i, bool ran) {
    const DiagObservation o = diag_observation(ctx, ran, z.v);
    if (!o.ran || !o.d_ok || !o.weighted() || !diag_obs_used(d, i)) return;
    ++used;
    if (raw && o.h_ok && present(mse)) {
      const double s = zmxins(z.v + p, d->com_blck->xpx_inv, p);
      zvxay11(raw->temp_raw_expec, z.v, p, o.w * s * mse * 0.5);
    }
    if (pr && o.h_ok && present(o.e)) {
      const double r = o.e - zinner(z.v, pr->temp_proj_e, m);
      ss += o.w * r * r;
      trace += o.w * zmxq1(z.v, pr->temp_WpW_inv, m, 1);
    }
  });
  if (!pr) return;
  pr->dim_Pxh_null = static_cast<double>(used) - trace;
  const bool usable = pr->dim_Pxh_null >= 0.0001 && pr->dim_Pxh_null <= static_cast<double>(ctx->iobs);
  pr->proj_variance = usable ? ss / pr->dim_Pxh_null : missing_value();
}

}  // namespace

void invert(double* mat, int dim) {
  if (dim <= 0) return;
  char* df = ruva_new_or_exit<char>(dim);
  Work diag(dim), work(dim);
  std::fill(df, df + dim, '0');
  zsweepr(mat, 0, dim - 1, dim, df, diag.v, work.v, kSweepTolerance, nullptr, "dz", nullptr, -1);
  ruva_free(df);
}

bool DiagObservation::weighted() const { return present(w) && w > 0; }

DiagObservation diag_observation(RUVACOM* ctx, bool ran, double* z) {
  const int p = ctx->nparm;
  const long q = diag_packed(p);
  DiagObservation o{*ctx->depval, *ctx->dephat, missing_value(), *ctx->weight, ran, false, false};
  if (present(o.y) && present(o.yhat)) o.e = o.y - o.yhat;
  if (!ran) return o;
  o.d_ok = present(o.yhat);
  for (int j = 0; j < p; ++j) {
    z[j] = *ctx->derloc[j];
    o.d_ok = o.d_ok && present(z[j]) && std::fabs(z[j]) < kLargestDerivative;
  }
  o.h_ok = ctx->hessptr != nullptr;
  for (long k = 0; k < q; ++k) {
    z[p + k] = o.h_ok ? *ctx->hessptr[k] : missing_value();
    o.h_ok = o.h_ok && present(z[p + k]);
  }
  return o;
}

void intermediates(RUVACOM* ctx) {
  RUVADIAG* d = ctx->ruvadiag;
  const int p = ctx->nparm, m = static_cast<int>(diag_augmented(p));
  const std::int64_t q = diag_packed(p);
  DiagCommon* c = d->com_blck;
  c->mse = error_variance(ctx);
  c->var = residual_variance(ctx);
  const bool needs_k = d->required[kLeverageBlock] || d->required[kInfluenceBlock];
  Work k(needs_k ? q : 0);
  first_pass(ctx, k.v);
  std::copy(c->xpx, c->xpx + q, c->xpx_inv);
  invert(c->xpx_inv, p);
  if (d->required[kLeverageBlock]) {
    double* a = d->lev_blck->xpx_eh_inv;
    for (std::int64_t j = 0; j < q; ++j) a[j] = c->xpx[j] - k.v[j];
    invert(a, p);
  }
  if (d->required[kProjectedBlock]) {
    invert(d->proj_resd_blck->temp_WpW_inv, m);
    projection_coefficients(d, m);
  }
  compute_RL(ctx);
  second_pass(ctx);
  if (d->required[kInfluenceBlock]) compute_lmax(ctx, k.v);
}

void leverages(RUVACOM* ctx, double* tan_leverage, double* jac_leverage, int flag) {
  RUVADIAG* d = ctx->ruvadiag;
  const int p = ctx->nparm;
  Work z(diag_augmented(p));
  const DiagObservation o = diag_observation(ctx, true, z.v);
  std::copy(z.v, z.v + p, ctx->der);
  const bool usable = o.d_ok && o.weighted();
  // The tangential leverage is OUTPUT H=: w d'Cd with C the fit's own
  // covariance over s², so parameters held by active bounds drop out.
  if (flag != 1 && tan_leverage)
    *tan_leverage = usable ? o.w * zmxq1(z.v, inverse_in_use(ctx), p, 1) : missing_value();
  if (flag != 0 && jac_leverage)
    *jac_leverage = usable && d && d->required[kLeverageBlock] && present(o.y)
                        ? o.w * zmxq1(z.v, d->lev_blck->xpx_eh_inv, p, 1)
                        : missing_value();
}
