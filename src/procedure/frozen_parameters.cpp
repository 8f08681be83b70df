#include "procedure/frozen_parameters.h"

#include <cmath>
#include <string>

#include "host/services.h"
#include "linalg/constants.h"
#include "linalg/dense_products.h"
#include "linalg/packed.h"
#include "linalg/sweep.h"
#include "optim/optimiser.h"
#include "procedure/group_name.h"
#include "procedure/iteration_history.h"
#include "procedure/procedure_context.h"

namespace {

constexpr int kMsgFrozen = 1062;

// The parameter block of the packed `a` scaled to diagonal entries of
// magnitude 1 (0 where the diagonal is 0).
// The sweep's ratio test, a pivot beside its own diagonal, is unchanged,
// and no element of a matrix of extreme scale overflows in the sweep.
std::vector<double> unit_diagonal_block(const double* a, int n, std::vector<double>* diag) {
  std::vector<double> x(a, a + static_cast<long>(n) * (n + 1) / 2);
  std::vector<double> scale(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const double d = std::fabs(x[zisub(i, i)]);
    scale[i] = d > 0 && std::isfinite(d) ? 1 / std::sqrt(d) : 0.0;
  }
  for (int i = 0; i < n; ++i)
    for (int j = 0; j <= i; ++j) x[zisub(i, j)] *= scale[i] * scale[j];
  diag->resize(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) (*diag)[i] = x[zisub(i, i)];
  return x;
}

// Sweeps the rows of `a` whose status is '0' as the optimiser's sweep
// chooses them: largest pivot beside its diagonal first, only positive
// ones above SINGULAR=; they become '1'.
void sweep_open_rows(std::vector<double>* a, int n, std::string* status, std::vector<double>* diag,
                     double sing) {
  std::vector<double> work(static_cast<std::size_t>(n) + 1);
  zsweepr(a->data(), 0, n - 1, n, status->data(), diag->data(), work.data(), sing, nullptr, "  ", nullptr, 1);
}

// The rows of the order-n packed blocks `hessian` and `jwj` (its J'WJ)
// that the Hessian's sweep leaves out while J'WJ determines them given the
// rows the Hessian keeps.
std::vector<int> frozen_rows(const double* hessian, const double* jwj, int n, double sing) {
  std::vector<double> diag;
  std::vector<double> h = unit_diagonal_block(hessian, n, &diag);
  std::string kept(static_cast<std::size_t>(n), '0');
  sweep_open_rows(&h, n, &kept, &diag, sing);
  if (kept.find('0') == std::string::npos) return {};
  // J'WJ: the rows the Hessian keeps first, then whichever of the others
  // it still determines given them.
  std::vector<double> jj = unit_diagonal_block(jwj, n, &diag);
  std::string status(kept);
  for (char& s : status) s = s == '1' ? '0' : '2';
  sweep_open_rows(&jj, n, &status, &diag, sing);
  for (int i = 0; i < n; ++i)
    if (kept[i] != '1') status[i] = '0';
  sweep_open_rows(&jj, n, &status, &diag, sing);
  std::vector<int> frozen;
  for (int i = 0; i < n; ++i)
    if (kept[i] != '1' && status[i] == '1') frozen.push_back(i);
  return frozen;
}

// With constraints in the working set the steps are taken on the free
// directions, the rows of the null-space basis Z: the Hessian is judged as
// the step's sweep sees it, Z H Z', and so is J'WJ. The basis is formed
// afresh, as bounds that bind where the iterations stop join the working
// set after the last step. A frozen direction names the parameters it
// moves.
std::vector<int> frozen_on_free_directions(const RUVACOM* ctx, const double* hessian) {
  const int n = ctx->nparm;
  ZOPTGLOBAL* g = ctx->zoptg;
  const int m = null_space_basis(g);
  if (m < 1) return {};
  const ZOPTMARQU& mq = *g->state.marqu;
  std::vector<double> work(static_cast<std::size_t>(n));
  std::vector<double> h(static_cast<std::size_t>(m) * (m + 1) / 2), jwj(h.size());
  zqform(hessian, n, mq.z[0], m, h.data(), work.data(), 0);
  zqform(ctx->jwj, n, mq.z[0], m, jwj.data(), work.data(), 0);
  std::vector<char> moved(static_cast<std::size_t>(n), 0);
  for (int i : frozen_rows(h.data(), jwj.data(), m, g->opts.sing))
    for (int j = 0; j < n; ++j)
      if (basis_moves(mq.z[i][j])) moved[j] = 1;
  std::vector<int> frozen;
  for (int j = 0; j < n; ++j)
    if (moved[j]) frozen.push_back(j);
  return frozen;
}

}  // namespace

std::vector<int> frozen_parameters(const RUVACOM* ctx, const double* hessian) {
  const int n = ctx->nparm;
  const ZOPTGLOBAL* g = ctx->zoptg;
  if (ctx->method != 'W' || n < 1 || !g) return {};
  if (g->state.marqu->inumconstr != 0) return frozen_on_free_directions(ctx, hessian);
  return frozen_rows(hessian, ctx->jwj, n, g->opts.sing);
}

void warn_frozen_parameters(RUVACOM* ctx, const std::vector<int>& frozen) {
  if (frozen.empty()) return;
  std::string names;
  for (int i : frozen) names += (names.empty() ? "" : ", ") + std::string(ctx->pname[i]);
  if (!ctx->noprint) show_note(ctx, yolmsgs(305, kMsgFrozen, names.c_str(), ""));
  xpmlog(305, kMsgFrozen, names.c_str(), by_group_phrase(ctx).c_str());
  ruva_raise_rc(ctx, 4);
}
