#include "procedure/frozen_parameters.h"

#include <cmath>
#include <string>

#include "host/services.h"
#include "linalg/packed.h"
#include "linalg/sweep.h"
#include "optim/optimiser.h"
#include "procedure/group_name.h"
#include "procedure/iteration_history.h"
#include "procedure/procedure_context.h"

namespace {

constexpr int kMsgFrozen = 1062;

// The parameter block of the packed `a` plus, when given, that of `b`,
// scaled to diagonal entries of magnitude 1 (0 where the diagonal is 0).
// The sweep's ratio test, a pivot beside its own diagonal, is unchanged,
// and no element of a matrix of extreme scale overflows in the sweep.
std::vector<double> unit_diagonal_block(const double* a, const double* b, int n, std::vector<double>* diag) {
  std::vector<double> x(a, a + static_cast<long>(n) * (n + 1) / 2);
  if (b)
    for (std::size_t k = 0; k < x.size(); ++k) x[k] += b[k];
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

}  // namespace

std::vector<int> frozen_parameters(const RUVACOM* ctx, const double* hessian) {
  const int n = ctx->nparm;
  const ZOPTGLOBAL* g = ctx->zoptg;
  if (ctx->method != 'W' || n < 1 || !g || g->state.marqu->inumconstr != 0) return {};
  const double sing = g->opts.sing;
  std::vector<double> diag;
  std::vector<double> h = unit_diagonal_block(hessian, nullptr, n, &diag);
  std::string kept(static_cast<std::size_t>(n), '0');
  sweep_open_rows(&h, n, &kept, &diag, sing);
  if (kept.find('0') == std::string::npos) return {};
  // J'WJ: the rows the Hessian keeps first, then whichever of the others
  // it still determines given them.
  std::vector<double> jj = unit_diagonal_block(hessian, ctx->hessian2, n, &diag);
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

void warn_frozen_parameters(RUVACOM* ctx, const std::vector<int>& frozen) {
  if (frozen.empty()) return;
  std::string names;
  for (int i : frozen) names += (names.empty() ? "" : ", ") + std::string(ctx->pname[i]);
  if (!ctx->noprint) show_note(ctx, yolmsgs(305, kMsgFrozen, names.c_str(), ""));
  xpmlog(305, kMsgFrozen, names.c_str(), by_group_phrase(ctx).c_str());
  ruva_raise_rc(ctx, 4);
}
