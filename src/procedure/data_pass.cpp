// The data pass: one run of the model program per observation of the BY
// group, the screening of each observation, and the accumulation of the
// objective and of the derivative information the optimiser asks for.
//
// Sign: the optimiser takes g = +1/2 dF/dtheta = sum w d (f - y). The border
// row is accumulated from the row (d, -r), r = y - f, which gives it that
// sign and leaves the corner, sum w r^2, as it is.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "host/missing.h"
#include "host/services.h"
#include "linalg/cross_product_block.h"
#include "linalg/packed.h"
#include "linalg/vector_kernels.h"
#include "procedure/data_pass.h"
#include "procedure/data_pass_parts.h"
#include "procedure/loss_terms.h"
#include "procedure/model_run.h"
#include "procedure/observation_values.h"
#include "procedure/pass_memo.h"
#include "procedure/procedure_context.h"

namespace {

constexpr int kLastRecordItem = 18;

long packed_size(int n) { return static_cast<long>(n) * (n + 1) / 2; }
long bordered_size(int n) { return packed_size(n + 1); }

void zero(double* a, long count) {
  if (a && count > 0) std::memset(a, 0, sizeof(double) * static_cast<std::size_t>(count));
}

bool newton(const RUVACOM* ctx) { return ctx->method == 'W'; }
bool second_derivatives_read(const RUVACOM* ctx) {
  return ctx->hessptr && (newton(ctx) || (ctx->lastpass && ctx->hougaard));
}

void start_pass(RUVACOM* ctx, bool last_sums) {
  const int n = ctx->nparm;
  ctx->sse = ctx->sumwy2 = 0.0;
  ctx->nonzero_y = 0;
  ctx->model = 1.0;
  if (last_sums) start_last_pass(ctx);
  if (ctx->do_der) {
    ctx->model = 0.0;
    zero(ctx->xpx, bordered_size(n));
    if (newton(ctx) || (ctx->lastpass && ctx->hougaard)) zero(ctx->hessian2, bordered_size(n));
  }
  // The last pass needs the derivatives for its sums even without a matrix.
  if (ctx->lastpass) ctx->model = 0.0;
  if (ctx->smethod == 'C' || ctx->do_der) {
    zero(ctx->gradient, n);
    ctx->model = 0.0;
  }
  ctx->nobs = 0;
  ctx->iobs = 0;
  ctx->unused = {};
  xbyrwnd(ctx->fiddata, kXoGroupStart);
  nlexint();
}

// a += w v v' over the packed lower triangle of order m: the inner loop of
// every derivative pass. The values were screened already. For the usual
// small orders the loops are unrolled at compile time; every cell takes the
// same operations in the same order either way.
void add_outer_product(double* __restrict a, const double* __restrict v, int m, double w) {
  for (int i = 0; i < m; ++i) {
    const double wv = w * v[i];
    for (int j = 0; j <= i; ++j) a[j] += wv * v[j];
    a += i + 1;
  }
}

template <int M>
void add_outer_product_of_order(double* __restrict a, const double* __restrict v, double w) {
#pragma GCC unroll 16
  for (int i = 0; i < M; ++i) {
    const double wv = w * v[i];
#pragma GCC unroll 16
    for (int j = 0; j <= i; ++j) a[i * (i + 1) / 2 + j] += wv * v[j];
  }
}

// The curvature of the loss summed from its products, in a pass that sums
// the loss's terms where the compiler factors them (kept from pass to pass
// for its storage).
linalg::CrossProductBlock& loss_curvature_sums() {
  static thread_local linalg::CrossProductBlock sums;
  return sums;
}

bool sums_loss_products(const RUVACOM* ctx) {
  return ctx->loss_terms && ctx->loss_terms->summing && ctx->loss_terms->factored;
}

// Kept out of the observation's path, which only a pass at the stop takes.
[[gnu::cold, gnu::noinline]] void hand_row(PassRows* rows, const double* row, double w) { rows->add(row, w); }

// Usual parameter counts have a pass of their own, whose loops over the
// parameters the compiler unrolls.
inline constexpr int kLargestFixedOrder = 8;

// What stays fixed during one pass, read once from the context. N is the
// number of parameters, or 0 when it is known at run time only.
template <int N>
struct Pass {
  RUVACOM* ctx;
  int nparm;
  bool derivatives;  // the program forms them in this pass
  bool second;       // second derivatives are read
  bool newton;
  bool matrix;       // the cross products are accumulated
  bool cubic;        // the step-size gradient is accumulated
  bool last_sums;    // the last pass's sums and used-observation bitmap
  double limit_contribution;
  linalg::CrossProductBlock* cross;  // the cross products weighted like the observation
  LossTerms* loss_terms;             // summed in this pass, or null
  // The pass's running sums, kept here while the observations come and
  // written to the context when they are done.
  mutable double sse = 0, sumwy2 = 0, sumw = 0, sumy = 0, sumy2 = 0, sumwsse = 0;
  mutable long nonzero_y = 0, iobs = 0;
  // For the fixed orders without the Hougaard sums (which write beside
  // them), the last pass's sums of u d and u are kept here too, in
  // registers, from the values the pass's start gave them.
  static constexpr int kKeptIntercept = N > 0 ? N + 1 : 1;
  mutable double intcep[kKeptIntercept] = {};
  bool keep_intercept;
  PassRows* rows;  // also takes each row of the cross products, or null

  Pass(RUVACOM* c, bool sums, linalg::CrossProductBlock* cross_products, PassRows* pass_rows)
      : ctx(c),
        nparm(c->nparm),
        derivatives(c->model == 0.0),
        second(second_derivatives_read(c)),
        newton(c->method == 'W'),
        matrix(c->do_der != 0),
        cubic(c->smethod == 'C' && !c->do_der),
        last_sums(sums),
        limit_contribution(kLargestContribution),
        cross(cross_products),
        loss_terms(c->loss_terms && c->loss_terms->summing ? c->loss_terms : nullptr),
        keep_intercept(N > 0 && sums && !c->hougaard),
        rows(pass_rows) {
    if (keep_intercept) std::copy(c->intcep, c->intcep + kKeptIntercept, intcep);
  }

  int order() const {
    if constexpr (N > 0) return N;
    return nparm;
  }

  template <int M>
  static void outer_product(double* a, const double* v, int m, double w) {
    if constexpr (M > 0) add_outer_product_of_order<M>(a, v, w);
    else add_outer_product(a, v, m, w);
  }

  // The program's derivative values of the observation into `der` (and its
  // second derivatives into `hessian` where they are read).
  template <class Values>
  [[gnu::always_inline]] void take_derivatives(const Values& v) const {
    const int n = order();
    if (second)
      for (long k = 0; k < packed_size(n); ++k) ctx->hessian[k] = v.second(k);
    double* der = ctx->der;
    #pragma GCC unroll 16
    for (int i = 0; i < n; ++i) der[i] = v.derivative(i);
  }

  // The derivatives are screened only when this run formed them: cells the
  // program skipped hold values of an earlier observation. One walk checks
  // for missing values and for a size that would overflow the cross products
  // once weighted; kNone when they are usable.
  Unused screen_derivatives(double w) const {
    const int n = order();
    if (!derivatives) return Unused::kNone;
    if (newton && second && wzmisn(ctx->hessian, packed_size(n))) return Unused::kDerivative;
    // A missing value (a NaN) fails the comparison as well.
    const double limit = w == 1.0 ? kLargestDerivative : kLargestDerivative / std::fabs(w);
    const double* der = ctx->der;
    #pragma GCC unroll 16
    for (int i = 0; i < n; ++i)
      if (!(std::fabs(der[i]) < limit)) return overflow_cause();
    return Unused::kNone;
  }

  // Why a derivative failed the weighted limit: it is missing or too large
  // itself, or only its product with a large weight overflows, which is the
  // observation's contribution to the objective being too large.
  [[gnu::cold, gnu::noinline]] Unused overflow_cause() const {
    const int n = order();
    for (int i = 0; i < n; ++i)
      if (!(std::fabs(ctx->der[i]) < kLargestDerivative)) return Unused::kDerivative;
    return Unused::kTooLarge;
  }

  // The weighted contribution of residual r, or false when it overflows.
  template <class Values>
  bool contribution(const Values& v, PassObservation* ob) const {
    if (!(std::fabs(ob->r) < kLargestResidual)) return false;
    double c = ctx->lossflag ? v.loss() : ob->r * ob->r;
    if (!ctx->weightflag) {
      if (!(c <= limit_contribution)) return false;
    } else if (ob->w >= 1.0) {
      if (!(std::fabs(c) < limit_contribution / ob->w)) return false;
      c *= ob->w;
    } else {
      c *= ob->w;
    }
    ob->c = c;
    return std::isfinite(c);
  }

  // The use test: kNone with the observation's values when it is used,
  // else why it is not.
  template <class Values>
  [[gnu::always_inline]] Unused screen(const Values& v, PassObservation* ob) const {
    ob->y = v.dependent();
    if (wzmis(ob->y)) return Unused::kDependent;
    const double predicted = v.predicted();
    if (wzmis(predicted)) return Unused::kPredicted;
    ob->w = v.weight();
    if (wzmis(ob->w)) return Unused::kWeight;
    ob->u = v.wgtjpj();
    if (wzmis(v.loss()) || wzmis(v.resid()) || wzmis(ob->u)) return Unused::kSpecial;
    if (ob->w == 0.0) return Unused::kWeight;
    const Unused derivatives = screen_derivatives(ob->w);
    if (derivatives == Unused::kDerivative) return derivatives;
    if (!(ob->u > 0.0)) return ctx->wgtjpjflag ? Unused::kSpecial : Unused::kWeight;
    if (derivatives != Unused::kNone) return derivatives;
    ob->r = ctx->residflag ? v.resid() : ob->y - predicted;
    return contribution(v, ob) ? Unused::kNone : Unused::kTooLarge;
  }

  // The sums behind the corrected total sum of squares and the intercept
  // test, and the Hougaard skewness sums.
  [[gnu::always_inline]] void add_last_pass_sums(const PassObservation& ob) const {
    const int n = order();
    const double* __restrict der = ctx->der;
    if (keep_intercept) {
      #pragma GCC unroll 16
      for (int i = 0; i < n; ++i) intcep[i] += ob.u * der[i];
      intcep[n] += ob.u;
    } else {
      double* __restrict sums = ctx->intcep;
      for (int i = 0; i < n; ++i) sums[i] += ob.u * der[i];
      sums[n] += ob.u;
    }
    sumw += ob.w;
    sumy += ob.w * ob.y;
    sumy2 += ob.w * ob.y * ob.y;
    sumwsse += ob.w * ob.r * ob.r;
    if (ctx->hougaard) add_hougaard_sums(ctx, ob);
  }

  void mark_used(double w) const {
    const long bit = ctx->nobs - 1;
    if (!ctx->obs_computable_flag || w <= 0 || bit < 0 || bit / 8 >= ctx->obs_computable_bytes) return;
    ctx->obs_computable_flag[bit / 8] |= static_cast<unsigned char>(0x80u >> (bit % 8));
  }

  [[gnu::always_inline]] void add_derivatives(const PassObservation& ob) const {
    const int n = order();
    double* der = ctx->der;
    der[n] = -ob.r;
    if (rows) [[unlikely]] hand_row(rows, der, ctx->wgtjpjflag ? ob.u : ob.w);
    if (!ctx->wgtjpjflag) {
      if constexpr (N > 0) cross->add_row<N + 1>(der, ob.w);
      else cross->add(der, ob.w);
    } else {
      outer_product<N>(ctx->xpx, der, n, ob.u);
      double* border = ctx->xpx + zisub(n, 0);
      zvaxpy(border, border, der, n + 1, -ob.r * ob.w);
    }
    der[n] = ob.r;
    if (newton)
      for (long k = 0; k < packed_size(n); ++k) ctx->hessian2[k] += ob.r * ctx->hessian[k] * ob.u;
  }

  // One observation after its run: screened, and used or noted as unused.
  // False when its run code ends the pass.
  template <class Values>
  [[gnu::always_inline]] bool observe(int rc, const Values& v) const {
    take_derivatives(v);
    PassObservation ob;
    const Unused why = rc == 0 ? screen(v, &ob) : rc == 1 ? Unused::kDeleted : Unused::kRunFailed;
    if (why == Unused::kNone) {
      use(ob);
      if (loss_terms) add_loss_terms(v, ob);
    } else {
      note_unused(&ctx->unused, why, ctx->nobs);
    }
    return rc < 3;
  }

  // A used observation's terms of the derivatives of the objective, the sum
  // of w L: w L' + L w' and w L'' + w' L'^T + L' w'^T + L w''.
  template <class Values>
  void add_loss_terms(const Values& v, const PassObservation& ob) const {
    const int n = order();
    LossTerms& t = *loss_terms;
    const bool weight_varies = t.weight1 != nullptr;
    const double l = v.loss();
    double* dl = t.scratch;
    double* dw = t.scratch + n;
    for (int i = 0; i < n; ++i) {
      dl[i] = v.loss_first(i);
      dw[i] = weight_varies ? v.weight_first(i) : 0.0;
      t.gradient[i] += ob.w * dl[i] + l * dw[i];
    }
    if (t.factored) {
      add_loss_products(v, ob, l, dl, dw);
      return;
    }
    long k = 0;
    for (int i = 0; i < n; ++i)
      for (int j = 0; j <= i; ++j, ++k) {
        double h = ob.w * v.loss_second(k);
        if (weight_varies) h += dw[i] * dl[j] + dl[i] * dw[j] + l * v.weight_second(k);
        t.curvature[k] += h;
      }
  }

  // The curvature w L'' + w' L'^T + L' w'^T + L w'' from the products of
  // L'' and w'' (coefficient times u v' + v u', or u u') and L' and w'. A
  // product with coefficient 0 adds nothing: it belongs to a path the run
  // did not take, whose vectors were not computed (missing).
  template <class Values>
  void add_loss_products(const Values& v, const PassObservation& ob, double l, const double* dl,
                         const double* dw) const {
    const int n = order();
    const LossTerms& t = *loss_terms;
    linalg::CrossProductBlock& sums = loss_curvature_sums();
    for (long k = 0; k < static_cast<long>(t.nvectors) * n; ++k) t.rows[k] = v.vector_value(k);
    double* scaled = t.rows + static_cast<long>(t.nvectors) * n;
    for (int k = 0; k < t.nproducts; ++k) {
      const LossTerms::Product& p = t.products[k];
      const double c = v.coefficient(k);
      if (c == 0) continue;
      const double f = (p.objective == 0 ? ob.w : l) * c;
      const double* a = t.rows + static_cast<long>(p.left) * n;
      const double* b = t.rows + static_cast<long>(p.right) * n;
      if (p.left == p.right) {
        sums.add(a, f);
        continue;
      }
      for (int i = 0; i < n; ++i) scaled[i] = f * a[i];
      sums.add_product(scaled, b);
      for (int i = 0; i < n; ++i) scaled[i] = f * b[i];
      sums.add_product(scaled, a);
    }
    if (t.weight1) {
      sums.add_product(dw, dl);
      sums.add_product(dl, dw);
    }
  }

  // The running sums into the context, at the end of the pass.
  void store_sums() const {
    ctx->sse = sse;
    ctx->sumwy2 = sumwy2;
    ctx->nonzero_y = nonzero_y;
    ctx->iobs = iobs;
    if (!last_sums) return;
    if (keep_intercept) std::copy(intcep, intcep + kKeptIntercept, ctx->intcep);
    ctx->sumw = sumw;
    ctx->sumy = sumy;
    ctx->sumy2 = sumy2;
    ctx->sumwsse = sumwsse;
  }

  [[gnu::always_inline]] void use(const PassObservation& ob) const {
    const int n = order();
    sse += ob.c;
    sumwy2 += ob.w * ob.y * ob.y;
    nonzero_y += ob.y != 0.0;
    ++iobs;
    if (last_sums) mark_used(ob.w);
    ctx->der[n] = ob.r;
    if (cubic)
      for (int i = 0; i < n; ++i) ctx->gradient[i] -= ob.w * ob.r * ctx->der[i];
    if (matrix) add_derivatives(ob);
    if (last_sums) add_last_pass_sums(ob);
  }

};

void finish_pass(RUVACOM* ctx, linalg::CrossProductBlock* cross) {
  const int n = ctx->nparm;
  xoinfo(ctx->fiddata, kLastRecordItem, &ctx->lastobsptr);
  if (!ctx->do_der) return;
  if (!ctx->wgtjpjflag) cross->finish(ctx->xpx);
  const double* border = ctx->xpx + zisub(n, 0);
  for (int i = 0; i < n; ++i) ctx->gradient[i] = border[i];
  if (!newton(ctx)) return;
  // J'WJ is kept whole: formed again as the Hessian plus the second-derivative
  // terms it loses what they cancel, all of it where a parameter's
  // derivatives nearly vanish on the data while its curvature does not.
  const std::size_t bytes = sizeof(double) * static_cast<std::size_t>(packed_size(n));
  std::memcpy(ctx->jwj, ctx->xpx, bytes);
  if (ctx->hougaard) std::memcpy(ctx->xpx2, ctx->xpx, bytes);
  for (long k = 0; k < packed_size(n); ++k) ctx->xpx[k] -= ctx->hessian2[k];
}

// The program run over blocks of observations: each block's observations
// are read, the program runs over the block, and then each observation is
// taken in order as if it had just been run.
struct BlockReader {
  RUVACOM* ctx;
  bool more = true;  // the group may have another observation

  // The next observation of the group into the cells (cmpbfill's source).
  static int next(void* arg) {
    auto* r = static_cast<BlockReader*>(arg);
    r->more = read_group_observation(r->ctx);
    if (r->more) move_observation(r->ctx);
    return r->more ? 1 : 0;
  }

  // The next block of the group's observations: straight from the data
  // set's records when it is read directly, else one by one through next().
  int fill() {
    XO_FILE* file = ctx->fiddata;
    if (file->flags & kXoDirect) {
      const int count = cmpbrecs(&ctx->xoparm, ctx->dataptr, &ctx->globcmp);
      if (count >= 0) {
        file->nobs += count;
        ctx->xoparm.record = file->current;
        more = file->current != nullptr;
        return count;
      }
    }
    return cmpbfill(&BlockReader::next, this, &ctx->globcmp);
  }
};

template <int N>
void run_blocks(RUVACOM* ctx, const Pass<N>& pass) {
  static thread_local BlockColumns columns;
  columns.find(ctx, pass.second, pass.loss_terms);
  const CellValues cells{ctx};
  BlockReader reader{ctx};
  while (reader.more) {
    const int count = reader.fill();
    if (count == 0) return;
    const unsigned char* alone = cmpbrun(&ctx->globcmp);
    int taken = 0;  // observations that ran with the block since an observation ran alone
    for (int i = 0; i < count; ++i) {
      ++ctx->nobs;
      if (!alone[i]) {
        pass.observe(0, BlockValues{&columns, i});
        ++taken;
        continue;
      }
      nlexec_in_block(ctx, taken);
      taken = 0;
      if (!pass.observe(nlexec_block(ctx, i), cells)) return;
    }
    nlexec_in_block(ctx, taken);
    // The cells hold what the block's last run left there.
    if (!alone[count - 1]) cmpbget(count - 1, &ctx->globcmp);
  }
}

template <int N>
void run_observations(RUVACOM* ctx, bool last_sums, linalg::CrossProductBlock* cross, PassRows* rows) {
  const Pass<N> pass(ctx, last_sums, cross, rows);
  if (nlexblk(ctx) > 0) {
    run_blocks(ctx, pass);
  } else {
    while (read_group_observation(ctx)) {
      cmpexi(0, 0, 0, &ctx->globcmp);
      move_observation(ctx);
      ++ctx->nobs;
      if (!pass.observe(nlexec(ctx), CellValues{ctx})) break;
    }
  }
  pass.store_sums();
}

// The observations through the pass of the parameter count.
template <int... N>
void run_observations(RUVACOM* ctx, bool last_sums, linalg::CrossProductBlock* cross, PassRows* rows,
                      std::integer_sequence<int, N...>) {
  using Run = void (*)(RUVACOM*, bool, linalg::CrossProductBlock*, PassRows*);
  static constexpr Run kRuns[] = {&run_observations<N>...};
  const int n = ctx->nparm;
  kRuns[n >= 1 && n <= kLargestFixedOrder ? n : 0](ctx, last_sums, cross, rows);
}

void run_pass(RUVACOM* ctx, bool last_sums, PassRows* rows = nullptr) {
  start_pass(ctx, last_sums);
  // The pass's cross products weighted like the observation (all of them
  // without _WGTJPJ_); kept from pass to pass for its storage.
  static thread_local linalg::CrossProductBlock cross;
  if (ctx->do_der) cross.start(ctx->nparm + 1);
  if (sums_loss_products(ctx)) loss_curvature_sums().start(ctx->nparm);
  run_observations(ctx, last_sums, &cross, rows, std::make_integer_sequence<int, kLargestFixedOrder + 1>());
  finish_pass(ctx, &cross);
  if (sums_loss_products(ctx)) loss_curvature_sums().finish(ctx->loss_terms->curvature);
}

}  // namespace

long ruvass(RUVACOM* ctx) { return ruvass_with_rows(ctx, nullptr); }

long ruvass_with_rows(RUVACOM* ctx, PassRows* rows) {
  // A pass that may stand for the last pass forms its sums as well.
  const bool last_sums = ctx->lastpass || may_stand_for_last_pass(ctx);
  run_pass(ctx, last_sums, rows);
  note_latest_pass(ctx, last_sums && !ctx->lastpass);
  return ctx->iobs;
}

long pass_off_the_fit(RUVACOM* ctx) {
  run_pass(ctx, false);
  return ctx->iobs;
}
