#include "procedure/pass_memo.h"

#include <cctype>
#include <cstring>

#include "host/services.h"
#include "procedure/step_memory.h"
#include "procedure/procedure_context.h"

namespace {

long bordered_size(int n) { return static_cast<long>(n + 1) * (n + 2) / 2; }

void copy(double* to, const double* from, long count) {
  if (count > 0) std::memcpy(to, from, sizeof(double) * static_cast<std::size_t>(count));
}

// The special variables whose values differ between two passes at one point.
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

bool is_name_char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// Whether `text` holds the word PUT. A variable or a quoted text of that
// name counts too: the answer errs on the side of running the last pass.
bool holds_put(const char* text, long length) {
  for (long i = 0; i + 3 <= length; ++i) {
    if ((i > 0 && is_name_char(text[i - 1])) || (i + 3 < length && is_name_char(text[i + 3]))) continue;
    if (std::toupper(static_cast<unsigned char>(text[i])) == 'P' &&
        std::toupper(static_cast<unsigned char>(text[i + 1])) == 'U' &&
        std::toupper(static_cast<unsigned char>(text[i + 2])) == 'T')
      return true;
  }
  return false;
}

// PUT statements write to the log in the last pass only.
bool program_has_put(RUVACOM* ctx) {
  CMPSTMT* cursor = nullptr;
  CMPSRC src;
  while (cmplsrc(&ctx->globcmp, &cursor, 0, 0, &src, 0))
    if (holds_put(src.text, src.length)) return true;
  return false;
}

bool allocate(KeptPass* kept, int n) {
  double* values = ruva_new<double>(2L * n + bordered_size(n));
  if (!values) return false;
  kept->parms = values;
  kept->gradient = values + n;
  kept->xpx = values + 2L * n;
  return true;
}

PassMemo* memo_of(RUVACOM* ctx) {
  if (ctx->pass_memo) return ctx->pass_memo;
  auto* memo = ruva_new<PassMemo>();
  if (!memo || !allocate(&memo->best, ctx->nparm) || !allocate(&memo->latest, ctx->nparm)) return nullptr;
  memo->quiet = -1;
  ctx->pass_memo = memo;
  return memo;
}

void keep(RUVACOM* ctx, KeptPass* kept, long iobs) {
  const int n = ctx->nparm;
  kept->iobs = iobs;
  kept->nobs = ctx->nobs;
  kept->sse = ctx->sse;
  kept->sumwy2 = ctx->sumwy2;
  kept->nonzero_y = ctx->nonzero_y;
  kept->lastobsptr = ctx->lastobsptr;
  copy(kept->parms, ctx->parm, n);
  copy(kept->gradient, ctx->gradient, n);
  copy(kept->xpx, ctx->xpx, bordered_size(n));
  kept->valid = true;
}

// Restores a kept pass made at the current parameters, when the pass it
// stands for is `alike`; used once either way.
bool restore(RUVACOM* ctx, KeptPass* kept, bool alike) {
  if (!kept->valid) return false;
  kept->valid = false;
  if (!alike) return false;
  const int n = ctx->nparm;
  if (std::memcmp(kept->parms, ctx->parm, sizeof(double) * static_cast<std::size_t>(n)) != 0) return false;
  ctx->sse = kept->sse;
  ctx->sumwy2 = kept->sumwy2;
  ctx->nonzero_y = kept->nonzero_y;
  ctx->model = 0.0;
  ctx->nobs = kept->nobs;
  ctx->iobs = kept->iobs;
  ctx->lastobsptr = kept->lastobsptr;
  copy(ctx->gradient, kept->gradient, n);
  copy(ctx->xpx, kept->xpx, bordered_size(n));
  return true;
}

}  // namespace

void forget_pass(RUVACOM* ctx) {
  if (!ctx->pass_memo) return;
  ctx->pass_memo->best.valid = false;
  ctx->pass_memo->latest.valid = false;
}

void remember_pass(RUVACOM* ctx, long iobs) {
  if (ctx->pass_memo) ctx->pass_memo->best.valid = false;
  if (iobs <= 0 || !reproducible(ctx)) return;
  if (PassMemo* memo = memo_of(ctx)) keep(ctx, &memo->best, iobs);
}

bool recall_pass(RUVACOM* ctx, long* iobs) {
  PassMemo* memo = ctx->pass_memo;
  if (!memo || !restore(ctx, &memo->best, reproducible(ctx))) return false;
  *iobs = memo->best.iobs;
  return true;
}

bool may_stand_for_last_pass(RUVACOM* ctx) {
  if (ctx->hougaard || !reproducible(ctx)) return false;
  PassMemo* memo = memo_of(ctx);
  if (!memo) return false;
  if (memo->quiet < 0) memo->quiet = program_has_put(ctx) ? 0 : 1;
  return memo->quiet == 1;
}

void note_latest_pass(RUVACOM* ctx, bool formed_last_sums) {
  PassMemo* memo = ctx->pass_memo;
  if (!memo) return;
  memo->latest.valid = false;
  if (formed_last_sums && ctx->nmissgen == 0 && ctx->iobs > 0 && ctx->obs_computable_flag)
    keep(ctx, &memo->latest, ctx->iobs);
}

const double* latest_pass_products(RUVACOM* ctx) {
  const PassMemo* memo = ctx->pass_memo;
  if (!memo || !memo->latest.valid) return nullptr;
  const std::size_t bytes = sizeof(double) * static_cast<std::size_t>(ctx->nparm);
  return std::memcmp(memo->latest.parms, ctx->parm, bytes) == 0 ? memo->latest.xpx : nullptr;
}

bool recall_last_pass(RUVACOM* ctx) {
  PassMemo* memo = ctx->pass_memo;
  return memo && restore(ctx, &memo->latest, !ctx->hougaard);
}
