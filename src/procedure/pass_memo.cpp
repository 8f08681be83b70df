#include "procedure/pass_memo.h"

#include <cstring>

#include "host/services.h"
#include "procedure/ruva_memory.h"
#include "procedure/ruvacom.h"

namespace {

long bordered_size(int n) { return static_cast<long>(n + 1) * (n + 2) / 2; }

void copy(double* to, const double* from, long count) {
  if (count > 0) std::memcpy(to, from, sizeof(double) * static_cast<std::size_t>(count));
}

// The special variables whose values differ between the grid's pass and the
// optimiser's first one.
constexpr const char* kPassVarying[] = {"_ITER_", "_HALVE_", "_SSE_", "_N_"};

bool reads_pass_varying(RUVACOM* ctx) {
  for (const char* name : kPassVarying) {
    CMPSYM* sym = cmpsyms(name, static_cast<int>(std::strlen(name)), &ctx->globcmp);
    if (sym && cmp_referenced(sym)) return true;
  }
  return false;
}

// A pass whose sums a later pass at the same point reproduces: derivatives
// without second derivatives, outside the last pass, and a program whose
// only state across passes is what each pass starts afresh. CONTROL
// variables keep what the program assigns them from pass to pass.
bool reproducible(RUVACOM* ctx) {
  if (ctx->lastpass || !ctx->do_der || ctx->method == 'W') return false;
  if (ctx->control && ctx->control->n > 0) return false;
  return !reads_pass_varying(ctx);
}

PassMemo* memo_of(RUVACOM* ctx) {
  if (ctx->pass_memo) return ctx->pass_memo;
  const int n = ctx->nparm;
  auto* memo = ruva_new<PassMemo>();
  double* values = ruva_new<double>(2L * n + bordered_size(n));
  if (!memo || !values) return nullptr;
  memo->parms = values;
  memo->gradient = values + n;
  memo->xpx = values + 2L * n;
  ctx->pass_memo = memo;
  return memo;
}

}  // namespace

void forget_pass(RUVACOM* ctx) {
  if (ctx->pass_memo) ctx->pass_memo->valid = false;
}

void remember_pass(RUVACOM* ctx, long iobs) {
  forget_pass(ctx);
  if (iobs <= 0 || !reproducible(ctx)) return;
  PassMemo* memo = memo_of(ctx);
  if (!memo) return;
  const int n = ctx->nparm;
  memo->iobs = iobs;
  memo->nobs = ctx->nobs;
  memo->sse = ctx->sse;
  memo->lastobsptr = ctx->lastobsptr;
  copy(memo->parms, ctx->parm, n);
  copy(memo->gradient, ctx->gradient, n);
  copy(memo->xpx, ctx->xpx, bordered_size(n));
  memo->valid = true;
}

bool recall_pass(RUVACOM* ctx, long* iobs) {
  PassMemo* memo = ctx->pass_memo;
  if (!memo || !memo->valid) return false;
  memo->valid = false;
  const int n = ctx->nparm;
  if (!reproducible(ctx) ||
      std::memcmp(memo->parms, ctx->parm, sizeof(double) * static_cast<std::size_t>(n)) != 0)
    return false;
  ctx->sse = memo->sse;
  ctx->model = 0.0;
  ctx->nobs = memo->nobs;
  ctx->iobs = memo->iobs;
  ctx->lastobsptr = memo->lastobsptr;
  copy(ctx->gradient, memo->gradient, n);
  copy(ctx->xpx, memo->xpx, bordered_size(n));
  *iobs = memo->iobs;
  return true;
}
