// The statistics of a bootstrap run: a table of the table extension over
// the converged-sample file (index, seed, SSE and one column per parameter),
// the statistics extension over its parameter columns, and from what it
// returns the standard deviations, the bias-corrected, percentile and
// normal limits, and the covariance or correlation matrix.
#include <cmath>
#include <vector>

#include "host/message_format.h"
#include "host/missing.h"
#include "host/ext_column_statistics_qxbstat.h"
#include "host/ext_tables_qxtab.h"
#include "host/services.h"
#include "linalg/packed.h"
#include "prob/normal.h"
#include "procedure/group_name.h"
#include "procedure/step_memory.h"
#include "procedure/procedure_context.h"
#include "profile/bootstrap.h"

namespace {

constexpr int kMsgTooFewConverged = 971, kMsgExtensionFailed = 973;
constexpr double kTiny = 1.110223024625157e-16;  // 2^-53
constexpr std::int32_t kFixedColumns = 3;        // index, seed, SSE

RUVA_BOOTSTRAP_CONTROL* control(RUVACOM* ctx) { return ctx->ruvabootstrap_control; }
QXTAB_TABLE* table(RUVACOM* ctx) { return static_cast<QXTAB_TABLE*>(control(ctx)->comp.tab_h); }
QXBSTAT_INSTANCE* statistics(RUVACOM* ctx) { return static_cast<QXBSTAT_INSTANCE*>(control(ctx)->comp.qxbstat_inst_h); }

int refused(const RUVACOM* ctx, const char* extension) {
  xpmlog(305, kMsgExtensionFailed, by_group_phrase(ctx).c_str(), extension);
  return 1;
}

bool add_column(QXTAB_TABLE* t, const QXChar* name, std::int32_t length) {
  const QXTAB_COL_PARMS parms{name, length, QXTAB_COL_DBL, 8, nullptr, 0};
  return t->ops->NewColumn(t, &parms, nullptr) != nullptr;
}

bool add_columns(QXTAB_TABLE* t, int p) {
  static constexpr char32_t kIndex[] = U"_BOOT_INDEX_", kSeed[] = U"_SEED_", kSse[] = U"_SSE_";
  static constexpr char32_t kParm[] = U"PARM_%d";
  const auto q = [](const char32_t* s) { return reinterpret_cast<const QXChar*>(s); };
  if (!add_column(t, q(kIndex), 12) || !add_column(t, q(kSeed), 6) || !add_column(t, q(kSse), 5)) return false;
  for (int k = 1; k <= p; ++k) {
    QXChar name[30];
    QXStrSize length = 0;
    if (qx_failed(qxzFormatBuff(nullptr, q(kParm), 7, name, 30, &length, k)) ||
        !add_column(t, name, static_cast<std::int32_t>(length)))
      return false;
  }
  return true;
}

}  // namespace

int prepare_boot_samples_qxtab(RUVACOM* ctx) {
  RUVA_BOOTSTRAP_CONTROL* b = control(ctx);
  if (!ctx->insts.qxtab_inst_h) {
    auto* ext = static_cast<QXTAB_EXTENSION*>(ctx->exts.qxtab_ext_h);
    const QXTAB_PARMS parms{0, nullptr, QXTAB_ACTION_DELETE, ctx, 0};
    ctx->insts.qxtab_inst_h = ext ? ext->create_instance(ext, nullptr, &parms) : nullptr;
  }
  auto* inst = static_cast<QXTAB_INSTANCE*>(ctx->insts.qxtab_inst_h);
  if (!inst) return refused(ctx, "qxtab");
  static constexpr char32_t kName[] = U"ConvergedBootstrapSamples";
  const QXTAB_TABLE_PARMS parms{QXTAB_ROW_BUF,       reinterpret_cast<const QXChar*>(kName), 25, nullptr, 0, 0, 0, false,
                                QXTAB_ACTION_DELETE, ctx};
  QXTAB_TABLE* t = inst->FactoryPtr->NewTable(inst, &parms, nullptr);
  b->comp.tab_h = t;
  if (!t || !add_columns(t, ctx->nparm) ||
      t->ops->AttachFile(t, static_cast<QXREC_FILE*>(b->comp.boot_success_file_h)) != 0)
    return refused(ctx, "qxtab");
  return 0;
}

int prepare_boot_statistics(RUVACOM* ctx) {
  QXTAB_TABLE* t = table(ctx);
  for (std::int32_t k = 0; k < kFixedColumns + ctx->nparm; ++k)
    if (t->ops->SetUserFlags(t, k, QXTAB_UFLAG_EXCLUDE, k < kFixedColumns) != 0) return refused(ctx, "qxtab");
  auto* ext = static_cast<QXBSTAT_EXTENSION*>(ctx->exts.qxbstat_ext_h);
  const QXBSTAT_PARMS parms{1, ctx->qxprof_block.n_threads, t, nullptr};
  auto* inst = ext ? ext->create_instance(ext, nullptr, &parms) : nullptr;
  control(ctx)->comp.qxbstat_inst_h = inst;
  return inst ? 0 : refused(ctx, "qxbstat");
}

void get_match_indices(const double* ref_value_array, const double* value_array, int len, int* loc_array) {
  for (int k = 0; k < len; ++k) {
    loc_array[k] = -1;
    for (int m = 0; m < len && loc_array[k] < 0; ++m)
      if (std::fabs(ref_value_array[m] - value_array[k]) <= kTiny) loc_array[k] = m;
  }
}

namespace {

// The percentile levels asked of the statistics: per parameter the two
// bias-corrected ones, then the two of the percentile interval.
std::vector<double> wanted_levels(RUVACOM* ctx, std::int64_t converged) {
  const RUVA_BOOTSTRAP_CONTROL* b = control(ctx);
  const double z = zprobit(1.0 - ctx->alpha / 2.0);
  std::vector<double> levels;
  if (b->ci.bc)
    for (int i = 0; i < ctx->nparm; ++i) {
      const double z0 = zprobit(b->ci.lower_than_ref_ct[i] / static_cast<double>(converged));
      levels.push_back(zprbnrm(2.0 * z0 - z));
      levels.push_back(zprbnrm(2.0 * z0 + z));
    }
  if (b->ci.perc) levels.push_back(ctx->alpha / 2.0), levels.push_back(1.0 - ctx->alpha / 2.0);
  return levels;
}

// Where each wanted level stands in the statistics' own level list; -1
// where it does not.
bool match_levels(RUVACOM* ctx, const std::vector<double>& levels, std::vector<int>* at) {
  QXBSTAT_INSTANCE* st = statistics(ctx);
  std::uint32_t flags = levels.empty() ? 0 : QXBSTAT_INT_PERC;
  if (control(ctx)->ci.normal) flags |= QXBSTAT_INT_EQTAIL;
  const QXBSTAT_INTERVAL_PARMS parms{flags, QXBSTAT_PERC_DEF5, static_cast<std::int32_t>(levels.size()),
                                     levels.data(), 1, &ctx->alpha};
  if (st->FactoryPtr->PercIntervals(st, &parms) != 0) return false;
  const double* theirs = nullptr;
  std::int32_t count = 0;
  if (st->FactoryPtr->ValueGet(st, QXBSTAT_TYPE_PERCPTR, &theirs, nullptr) != 0 ||
      st->FactoryPtr->ValueGet(st, QXBSTAT_TYPE_NPERC, &count, nullptr) != 0)
    return false;
  at->assign(levels.size(), -1);
  if (theirs && count == static_cast<std::int32_t>(levels.size()))
    get_match_indices(theirs, levels.data(), count, at->data());
  return true;
}

double percentile_at(const QXBSTAT_DIAG& d, int position) {
  return position >= 0 && position < d.intperc.n && d.intperc.percPtr ? d.intperc.percPtr[position]
                                                                       : special_missing_value();
}

// Parameter i's standard deviation and limits.
void store_parameter(RUVACOM* ctx, int i, const QXBSTAT_DIAG& d, const std::vector<int>& at) {
  RUVA_BOOTSTRAP_CONTROL* b = control(ctx);
  auto& ci = b->ci;
  if (ci.bc) {
    ci.bc_lower_ptr[i] = percentile_at(d, at[2 * i]);
    ci.bc_upper_ptr[i] = percentile_at(d, at[2 * i + 1]);
  }
  if (ci.perc) {
    const std::size_t first = ci.bc ? 2 * static_cast<std::size_t>(ctx->nparm) : 0;
    ci.perc_lower_ptr[i] = percentile_at(d, at[first]);
    ci.perc_upper_ptr[i] = percentile_at(d, at[first + 1]);
  }
  if (ci.normal && !is_missing(d.std)) {
    const double z = zprobit(1.0 - ctx->alpha / 2.0);
    ci.normal_lower_ptr[i] = ctx->parm[i] - z * d.std;
    ci.normal_upper_ptr[i] = ctx->parm[i] + z * d.std;
  }
  ci.boot_std_dev[i] = d.std;
}

// The requested matrices, set missing: correlations first when both are
// wanted.
void clear_matrices(RUVACOM* ctx) {
  auto& cov = control(ctx)->cov;
  const long t = static_cast<long>(ctx->nparm) * (ctx->nparm + 1) / 2;
  ruva_free(cov.dbl_ptr);
  cov.dbl_ptr = ruva_new_or_exit<double>(cov.both_cov_corr_on ? 2 * t : t);
  std::fill(cov.dbl_ptr, cov.dbl_ptr + (cov.both_cov_corr_on ? 2 * t : t), special_missing_value());
}

bool store_matrices(RUVACOM* ctx) {
  RUVA_BOOTSTRAP_CONTROL* b = control(ctx);
  QXBSTAT_INSTANCE* st = statistics(ctx);
  const double* c = st->FactoryPtr->GetTheCovariance(st, 0);
  if (!c) return false;
  const std::size_t t = static_cast<std::size_t>(ctx->nparm) * (ctx->nparm + 1) / 2;
  std::copy(c, c + t, b->cov.dbl_ptr);
  if (b->cov.both_cov_corr_on) std::copy(c, c + t, b->cov.dbl_ptr + t);
  st->FactoryPtr->GetTheCovariance(st, 1);
  if (!b->cov.scale_to_corr) return true;
  const double* sd = b->ci.boot_std_dev;
  for (int r = 0; r < ctx->nparm; ++r)
    for (int k = 0; k <= r; ++k) {
      double& v = b->cov.dbl_ptr[zisub(r, k)];
      if (r == k)
        v = 1.0;
      else if (!(sd[r] * sd[k] > 0))
        v = special_missing_value();
      else
        v /= sd[r] * sd[k];
    }
  return true;
}

}  // namespace

int get_ci_cov_stats(RUVACOM* ctx) {
  RUVA_BOOTSTRAP_CONTROL* b = control(ctx);
  const int p = ctx->nparm;
  const std::int64_t converged = b->n_samples - b->comp.n_act_failed_tasks;
  if (b->cov.do_cov) clear_matrices(ctx);
  // A spread needs two samples, a covariance at least as many as parameters.
  if (converged < p || converged < 2) {
    xpmlog(305, kMsgTooFewConverged, static_cast<int>(converged), p, by_group_phrase(ctx).c_str());
    return 0;
  }
  QXBSTAT_INSTANCE* st = statistics(ctx);
  if (!st || st->FactoryPtr->Descriptive(st) != 0) return refused(ctx, "qxbstat");
  std::vector<int> at;
  if (!match_levels(ctx, wanted_levels(ctx, converged), &at)) return refused(ctx, "qxbstat");
  for (int i = 0; i < p; ++i) {
    const QXBSTAT_DIAG* d = st->FactoryPtr->GetStatistics(st, i);
    if (!d) return refused(ctx, "qxbstat");
    store_parameter(ctx, i, *d, at);
  }
  if (b->cov.do_cov && !store_matrices(ctx)) return refused(ctx, "qxbstat");
  return 0;
}
