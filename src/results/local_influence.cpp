// Local influence: the leading eigenvector of the influence matrix
// J(X - K)⁻¹J' of the √w-scaled rows J. With X = R R' and L = R⁻¹, JL' has
// orthonormal columns and J(X - K)⁻¹J' = (JL')(I - B)⁻¹(JL')' for
// B = L K L', so its leading eigenvector is JL'v for the leading
// eigenvector v of B. B, and with it the threshold on λ, does not depend on
// how the parameters are scaled.
#include "results/local_influence.h"

#include <algorithm>
#include <cmath>

#include "host/missing.h"
#include "host/services.h"
#include "linalg/packed.h"
#include "linalg/packed_matrix.h"
#include "linalg/symmetric_eigen.h"
#include "linalg/vector_kernels.h"
#include "procedure/step_memory.h"
#include "results/diagnostics_pass.h"
#include "results/diagnostics_record.h"
#include "results/packed_full_matrices.h"

namespace {

constexpr double kSmallestNorm = 1.110223024625157e-16;
constexpr double kLeastEigenvalue = 0.5;

// The leading eigenvector of B into v; false when B has no eigenvalue above
// the threshold or the solver gave nothing usable.
bool leading_direction(double* B, int p, double* v) {
  const long q = static_cast<long>(p) * (p + 1) / 2;
  double* copy = ruva_new_or_exit<double>(q);
  double* val = ruva_new_or_exit<double>(p);
  double* work = ruva_new_or_exit<double>(9L * p);
  std::copy(B, B + q, copy);
  const int rc = zeigen2(p, copy, val, 1, v, work);
  if (rc != 0) xpslog("there might be some loss of accuracy in the eigenvalue/vec computation");
  const bool found = rc != 99 && rc != 98 && val[0] > kLeastEigenvalue;
  ruva_free(work);
  ruva_free(val);
  ruva_free(copy);
  return found;
}

void normalise(double* lmax, long n) {
  double ss = 0;
  for (long i = 0; i < n; ++i)
    if (!wzmis(lmax[i])) ss += lmax[i] * lmax[i];
  const double norm = std::sqrt(ss);
  for (long i = 0; i < n; ++i)
    if (!wzmis(lmax[i])) lmax[i] = norm > kSmallestNorm ? lmax[i] / norm : missing_value();
}

}  // namespace

void compute_lmax(RUVACOM* ctx, const double* K) {
  RUVADIAG* d = ctx->ruvadiag;
  DiagInfluence* inf = d->inf_blck;
  const DiagFactor* f = d->x_qr_blck;
  const int p = ctx->nparm;
  std::fill(inf->lmax, inf->lmax + inf->n, missing_value());
  if (p <= 0 || !f->usable) return;
  double* work = ruva_new_or_exit<double>(static_cast<long>(p) * p + diag_augmented(p));
  double* z = work + static_cast<long>(p) * p;
  std::copy(K, K + diag_packed(p), inf->temp_B);
  zmxlsu(f->L, inf->temp_B, p, work);
  double* v = ruva_new_or_exit<double>(2L * p);
  double* delta = v + p;
  if (leading_direction(inf->temp_B, p, v)) {
    tri_vec_mul(f->L, v, delta, p, 0, 0);
    observation_pass(ctx, [&](long i, bool ran) {
      const DiagObservation o = diag_observation(ctx, ran, z);
      if (o.ran && o.d_ok && o.weighted() && diag_obs_used(d, i) && i < inf->n)
        inf->lmax[i] = std::sqrt(o.w) * zinner(z, delta, p);
    });
    normalise(inf->lmax, inf->n);
  }
  ruva_free(v);
  ruva_free(work);
}
