// The maximum curvatures: f(h) = −ρ²·N(h)/d(h)² is minimised over
// directions h, with q_i = h'H_i h, d = h'Gh, u = Σ q_i x_i and N = u'Cu
// (parameter effects, the tangential part of the vector q) or q'q − u'Cu
// (intrinsic, the normal part); the curvature is sqrt(−f). Each new
// direction costs one pass over the BY group that gathers the sums (nothing
// is stored per observation). f does not change when h is scaled, so its
// Hessian is singular along h; the search adds μ(h'h − 1)², which holds h
// on the unit sphere without moving the optimum, and the maxima are taken
// from f itself.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "host/ext_newton_minimiser_qxznlo.h"
#include "host/missing.h"
#include "host/services.h"
#include "linalg/packed.h"
#include "procedure/group_name.h"
#include "procedure/procedure_context.h"
#include "results/curvature_measures.h"
#include "results/diagnostics_pass.h"
#include "results/diagnostics_record.h"
#include "results/packed_full_matrices.h"

namespace {

constexpr int kMsgPeNotConverged = 157, kMsgInNotConverged = 158;

using Matrix = std::vector<double>;  // dense p-by-p, row-major

// The sums of one direction, gathered by `fill`.
struct DirectionSums {
  int p = 0;
  bool intrinsic = false;
  double d = 0, S = 0, mu = 1;
  double second = 0;  // Σ of the squared second derivatives over the observations
  std::vector<double> u, Hq, h_prev;
  Matrix A;                    // A(r, c) = Σ (H_i h)_r x_c
  std::vector<double> Hk;      // packed Σ (H_i h)(H_i h)'
  std::vector<double> Hq_mat;  // packed Σ q_i H_i
  const double* G;             // packed Σ x x'
  const double* C_packed;      // and its inverse, packed
  Matrix C;                    // and in full
  long fills = 0;

  DirectionSums(int np, const double* xpx, const double* xpx_inv)
      : p(np),
        u(np),
        Hq(np),
        h_prev(np),
        A(np * np),
        Hk(diag_packed(np)),
        Hq_mat(diag_packed(np)),
        G(xpx),
        C_packed(xpx_inv),
        C(np * np) {
    copyfrom_symmetric(xpx_inv, C.data(), np);
  }
};

double dot(const double* a, const double* b, int n) {
  double s = 0;
  for (int i = 0; i < n; ++i) s += a[i] * b[i];
  return s;
}
// r = M·v
void times(const Matrix& m, const double* v, double* r, int p) {
  for (int i = 0; i < p; ++i) r[i] = dot(&m[i * p], v, p);
}

void fill(RUVACOM* ctx, DirectionSums* t, const double* h) {
  const int p = t->p;
  for (auto* v : {&t->u, &t->Hq}) std::fill(v->begin(), v->end(), 0.0);
  for (auto* m : {&t->A, &t->Hk, &t->Hq_mat}) std::fill(m->begin(), m->end(), 0.0);
  t->S = 0;
  t->second = 0;
  std::vector<double> g(p), z(diag_augmented(p)), k(p);
  symmat_vec(t->G, h, g.data(), p, 0);
  t->d = dot(h, g.data(), p);
  observation_pass(ctx, [&](long i, bool ran) {
    if (!curvature_row(ctx, i, ran, z.data())) return;
    const double* x = z.data();
    const double* H = x + p;
    for (long k = 0; k < diag_packed(p); ++k) t->second += H[k] * H[k];
    symmat_vec(H, h, k.data(), p, 0);
    const double qi = dot(h, k.data(), p);
    for (int r = 0; r < p; ++r) {
      t->u[r] += qi * x[r];
      for (int c = 0; c < p; ++c) t->A[r * p + c] += k[r] * x[c];
    }
    if (!t->intrinsic) return;
    t->S += qi * qi;
    for (int r = 0; r < p; ++r) {
      t->Hq[r] += qi * k[r];
      for (int c = 0; c <= r; ++c) {
        t->Hk[zisub(r, c)] += k[r] * k[c];
        t->Hq_mat[zisub(r, c)] += qi * H[zisub(r, c)];
      }
    }
  });
  std::copy(h, h + p, t->h_prev.begin());
  ++t->fills;
}

RUVACOM* context(QXMemPtr instance) {
  return static_cast<RUVACOM*>(static_cast<NLOSTR*>(instance)->UserOptionsPtr->comstr);
}

DirectionSums& sums(RUVACOM* ctx) {
  return *static_cast<DirectionSums*>(ctx->ruvadiag->curv_blck->curv_noacc_temps);
}

// The sums for the current direction, gathering them when it moved.
DirectionSums& current(RUVACOM* ctx) {
  DirectionSums& t = sums(ctx);
  const double* h = ctx->ruvadiag->curv_blck->h_dir;
  if (t.fills == 0 || !std::equal(h, h + t.p, t.h_prev.begin())) fill(ctx, &t, h);
  return t;
}

double rho2(const RUVACOM* ctx) {
  const double r = ctx->ruvadiag->curv_blck->std_radius;
  return r * r;
}

// N and u'Cu for the current sums; Cu receives C·u.
double numerator(const DirectionSums& t, double* Cu, double* T1) {
  symmat_vec(t.C_packed, t.u.data(), Cu, t.p, 0);
  *T1 = dot(t.u.data(), Cu, t.p);
  return t.intrinsic ? t.S - *T1 : *T1;
}

double curvature_objective(RUVACOM* ctx, const DirectionSums& t) {
  std::vector<double> Cu(t.p);
  double T1 = 0;
  const double N = numerator(t, Cu.data(), &T1);
  return t.d > 0 ? -N * rho2(ctx) / (t.d * t.d) : 0.0;
}

double penalty(const DirectionSums& t, const double* h, double* radius_error) {
  *radius_error = dot(h, h, t.p) - 1;
  return t.mu * *radius_error * *radius_error;
}

int objective_value(QXMemPtr instance) {
  auto* nlo = static_cast<NLOSTR*>(instance);
  RUVACOM* ctx = context(instance);
  const DirectionSums& t = current(ctx);
  double e = 0;
  const double f = curvature_objective(ctx, t) + penalty(t, ctx->ruvadiag->curv_blck->h_dir, &e);
  nlo->ObjectivePtr->crit = f;
  if (nlo->WorkPtr->func) *nlo->WorkPtr->func = f;
  nlo->WorkPtr->nfct += 1;
  return 0;
}

// The gradient, and the Hessian (dense) when `hess` is not null.
void derivatives(RUVACOM* ctx, const DirectionSums& t, double* grad, double* hess) {
  const int p = t.p;
  const double* h = ctx->ruvadiag->curv_blck->h_dir;
  const double r2 = rho2(ctx), d = t.d, d2 = d * d, d3 = d2 * d;
  std::vector<double> Cu(p), g(p), a(p);
  double T1 = 0;
  const double N = numerator(t, Cu.data(), &T1);
  symmat_vec(t.G, h, g.data(), p, 0);
  times(t.A, Cu.data(), a.data(), p);
  if (t.intrinsic)
    for (int r = 0; r < p; ++r) a[r] = t.Hq[r] - a[r];
  double e = 0;
  penalty(t, h, &e);
  for (int r = 0; r < p; ++r)
    grad[r] = r2 * (-4 * a[r] / d2 + 4 * N * g[r] / d3) + 4 * t.mu * e * h[r];
  if (!hess) return;
  // m = Σ (x_i'Cu) H_i = S(T'Cu); K = A C A'.
  const long q = diag_packed(p);
  const double* T = ctx->ruvadiag->curv_blck->temp_proj_hess;
  std::vector<double> mv(q, 0.0);
  for (int r = 0; r < p; ++r)
    for (long c = 0; c < q; ++c) mv[c] += Cu[r] * T[r * q + c];
  Matrix M(p * p), AC(p * p, 0.0);
  copyfrom_symmetric(mv.data(), M.data(), p);
  for (int r = 0; r < p; ++r)
    for (int c = 0; c < p; ++c) AC[r * p + c] = dot(&t.A[r * p], &t.C[c * p], p);  // C symmetric
  const double sign = t.intrinsic ? -1 : 1;
  for (int r = 0; r < p; ++r)
    for (int c = 0; c < p; ++c) {
      const double K = dot(&AC[r * p], &t.A[c * p], p);
      double v = sign * (-4 * M[r * p + c] - 8 * K) / d2;
      if (t.intrinsic) v += (-4 * t.Hq_mat[zisub(r, c)] - 8 * t.Hk[zisub(r, c)]) / d2;
      v += 16 * (a[r] * g[c] + g[r] * a[c]) / d3 + 4 * N * t.G[zisub(r, c)] / d3 -
           24 * N * g[r] * g[c] / (d3 * d);
      hess[r * p + c] = r2 * v + 8 * t.mu * h[r] * h[c] + (r == c ? 4 * t.mu * e : 0.0);
    }
}

int objective_gradient(QXMemPtr instance) {
  objective_value(instance);
  RUVACOM* ctx = context(instance);
  const DirectionSums& t = current(ctx);
  double* grad = static_cast<NLOSTR*>(instance)->ObjectivePtr->grad;
  std::fill(grad, grad + t.p, 0.0);
  if (t.d > 0) derivatives(ctx, t, grad, nullptr);
  return 0;
}

int objective_gradient_hessian(QXMemPtr instance) {
  auto* nlo = static_cast<NLOSTR*>(instance);
  objective_value(instance);
  RUVACOM* ctx = context(instance);
  const DirectionSums& t = current(ctx);
  const int p = t.p;
  Matrix H(p * p, 0.0);
  std::fill(nlo->ObjectivePtr->grad, nlo->ObjectivePtr->grad + p, 0.0);
  if (t.d > 0) derivatives(ctx, t, nlo->ObjectivePtr->grad, H.data());
  move_tritosym(H.data(), nlo->HessianPtr->hess, p, 1);
  return 0;
}

void init_nlo(NLOSTR* nlo, RUVACOM* ctx) {
  NLOTYPE_USER_OPTIONS* o = nlo->UserOptionsPtr;
  nlo->FactoryPtr->ResetTheUserOptions(nlo, o);
  o->comstr = ctx;
  o->xest = ctx->ruvadiag->curv_blck->h_dir;
  o->bounds = 0;
  o->nvar = ctx->nparm;
  o->mfun = 1;
  o->tech = 3;
  o->mini = 3;
  o->maxi = 200;
  o->maxf = 400;
  o->aftl = 1e-4;
  *nlo->ExternalPtr = {&objective_value, &objective_gradient, &objective_gradient_hessian, nullptr};
  nlo->FactoryPtr->TransferTheOptions(nlo);
}

// The last row of L = R⁻¹ (X = R R'), normalised: the direction in which
// the derivative matrix is least determined.
void start_direction(const RUVADIAG* d, int p, double* h) {
  const double* L = d->x_qr_blck->L;
  for (int j = 0; j < p; ++j) h[j] = d->x_qr_blck->usable ? L[zisub(p - 1, j)] : 0.0;
  const double norm = std::sqrt(dot(h, h, p));
  if (norm > 0) {
    for (int j = 0; j < p; ++j) h[j] /= norm;
  } else {
    std::fill(h, h + p, 0.0);
    h[p - 1] = 1;
  }
}

NLOSTR* instance(RUVACOM* ctx) {
  auto* nlo = static_cast<NLOSTR*>(ctx->insts.qxznlo_inst_h);
  if (nlo) {
    nlo->FactoryPtr->ResetTheObject(nlo);
    return nlo;
  }
  auto* ext = static_cast<NLOExtension*>(ctx->exts.qxznlo_ext_h);
  if (!ext || !ext->gen.name || std::strcmp(ext->gen.name, "qxznlo") != 0) return nullptr;
  if (ext->CreateInstance) ctx->insts.qxznlo_inst_h = nlo = ext->CreateInstance(ext, 0);
  return nlo;
}

// One search; the maximum, or missing.
double search(RUVACOM* ctx, NLOSTR* nlo, DirectionSums* t, bool intrinsic) {
  DiagCurvature* cv = ctx->ruvadiag->curv_blck;
  const int p = ctx->nparm;
  t->intrinsic = intrinsic;
  t->fills = 0;
  t->mu = 1;
  cv->current_flag = intrinsic ? 'I' : 'P';
  start_direction(ctx->ruvadiag, p, cv->h_dir);
  const double f0 = curvature_objective(ctx, current(ctx));
  // No second derivative anywhere (a model linear in its parameters): the
  // curvature is zero in every direction, so the zero found at the first
  // one is the maximum, and the search has converged there.
  if (t->second == 0 && f0 == 0) return 0.0;
  if (f0 != 0) t->mu = std::fabs(f0);
  init_nlo(nlo, ctx);
  const int rc =
      nlo->FactoryPtr->RunTheOptimization ? nlo->FactoryPtr->RunTheOptimization(nlo) : kNloBadSetup;
  if (rc < 0) xpmlog(305, intrinsic ? kMsgInNotConverged : kMsgPeNotConverged, by_group_phrase(ctx).c_str());
  nlo->FactoryPtr->ResetTheObject(nlo);
  const double f = curvature_objective(ctx, current(ctx));
  return f <= 0 ? std::sqrt(-f) : missing_value();
}

}  // namespace

void max_inpe_curv_noacc(RUVACOM* ctx, bool pe, bool in) {
  NLOSTR* nlo = instance(ctx);
  if (!nlo || ctx->nparm <= 0) return;
  DiagCurvature* cv = ctx->ruvadiag->curv_blck;
  DirectionSums t(ctx->nparm, ctx->ruvadiag->com_blck->xpx, ctx->ruvadiag->com_blck->xpx_inv);
  cv->curv_noacc_temps = &t;
  if (pe) cv->max_pe_curv = search(ctx, nlo, &t, false);
  if (in) cv->max_in_curv = search(ctx, nlo, &t, true);
  cv->curv_noacc_temps = nullptr;
}
