// The extension "qxbstat": loaded by name through the kernel library, its
// instances compute the descriptive statistics, percentiles and covariance
// of the analysis columns of a "qxtab" table (host/ext_column_statistics_qxbstat.h), reading the
// rows through the table as often as they need.
#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "host/missing.h"
#include "host/ext_column_statistics_qxbstat.h"
#include "platform/kernel/kernel_library.h"
#include "platform/stats/moments.h"
#include "platform/stats/order_statistics.h"
#include "prob/normal.h"

namespace platform {
namespace {

using stats::AnalysisRows;

struct Instance {
  QXBSTAT_INSTANCE inst;  // first, so that the instance is its QXBSTAT_INSTANCE
  QXBSTAT_FACTORY factory;
  QXTAB_TABLE* table;
  bool described = false;
  stats::Moments moments;
  std::vector<QXBSTAT_DIAG> diags;
  std::vector<double> levels;                     // sorted ascending
  std::vector<std::vector<double>> percentiles;  // per column, in level order
  std::vector<double> cov;                        // packed; empty when released
};

Instance* instance_of(QXBSTAT_INSTANCE* i) { return reinterpret_cast<Instance*>(i); }

double stat_or_missing(const std::vector<double>& v, std::size_t k) {
  return k < v.size() ? v[k] : special_missing_value();
}

int descriptive(QXBSTAT_INSTANCE* i) {
  Instance* s = i ? instance_of(i) : nullptr;
  if (!s) return 1;
  AnalysisRows rows(s->table);
  s->described = false;
  if (!stats::compute_moments(rows, &s->moments)) return 1;
  const stats::Moments& m = s->moments;
  s->diags.assign(rows.width(), QXBSTAT_DIAG{});
  s->percentiles.assign(rows.width(), {});
  s->levels.clear();
  for (std::size_t k = 0; k < rows.width(); ++k) {
    QXBSTAT_DIAG& d = s->diags[k];
    d.n = m.n;
    d.mean = stat_or_missing(m.mean, k);
    d.min = stat_or_missing(m.min, k);
    d.max = stat_or_missing(m.max, k);
    d.std = m.cov.empty() ? special_missing_value() : std::sqrt(m.cov[k * (k + 3) / 2]);
    d.intnorm = {special_missing_value(), special_missing_value(), special_missing_value()};
  }
  s->cov = m.cov;
  s->described = true;
  return 0;
}

bool valid_levels(const QXBSTAT_INTERVAL_PARMS& p) {
  if (!(p.flags & QXBSTAT_INT_PERC)) return true;
  if (p.perc_def != QXBSTAT_PERC_DEF5 || p.n_levels < 0 || (p.n_levels > 0 && !p.levels)) return false;
  return std::all_of(p.levels, p.levels + p.n_levels, [](double q) { return q >= 0.0 && q <= 1.0; });
}

// Every column's percentiles at the sorted levels, from the distinct order
// statistics they need.
bool percentiles(Instance* s) {
  const std::int64_t n = s->moments.n;
  if (n == 0 || s->levels.empty()) return true;
  AnalysisRows rows(s->table);
  std::vector<std::int64_t> ranks;
  for (double q : s->levels) {
    const stats::Def5Ranks r = stats::def5_ranks(n, q);
    ranks.push_back(r.lo), ranks.push_back(r.hi);
  }
  std::sort(ranks.begin(), ranks.end());
  ranks.erase(std::unique(ranks.begin(), ranks.end()), ranks.end());
  for (std::size_t c = 0; c < rows.width(); ++c) {
    std::vector<double> values;
    if (!stats::order_statistics(rows, c, n, s->moments.min[c], s->moments.max[c], ranks, &values)) return false;
    std::map<std::int64_t, double> at;
    for (std::size_t k = 0; k < ranks.size(); ++k) at[ranks[k]] = values[k];
    for (double q : s->levels) {
      const stats::Def5Ranks r = stats::def5_ranks(n, q);
      s->percentiles[c].push_back(stats::def5_value(r, at[r.lo], at[r.hi]));
    }
    s->diags[c].intperc = {static_cast<std::int32_t>(s->levels.size()), s->percentiles[c].data()};
  }
  return true;
}

void normal_limits(Instance* s, double alpha) {
  const double z = zprobit(1.0 - alpha / 2.0);
  for (QXBSTAT_DIAG& d : s->diags) {
    d.intnorm.alpha = alpha;
    if (is_missing(d.std)) continue;
    d.intnorm.lower = d.mean - z * d.std;
    d.intnorm.upper = d.mean + z * d.std;
  }
}

int perc_intervals(QXBSTAT_INSTANCE* i, const QXBSTAT_INTERVAL_PARMS* p) {
  Instance* s = i ? instance_of(i) : nullptr;
  if (!s || !p || !s->described || !valid_levels(*p)) return 1;
  const bool eqtail = (p->flags & QXBSTAT_INT_EQTAIL) != 0;
  if (eqtail && (p->n_alpha < 1 || !p->alpha || !(p->alpha[0] > 0.0 && p->alpha[0] < 1.0))) return 1;
  s->levels.clear();
  for (auto& c : s->percentiles) c.clear();
  for (QXBSTAT_DIAG& d : s->diags) d.intperc = {0, nullptr};
  if (p->flags & QXBSTAT_INT_PERC) s->levels.assign(p->levels, p->levels + p->n_levels);
  std::stable_sort(s->levels.begin(), s->levels.end());
  if (!percentiles(s)) return 1;
  if (eqtail) normal_limits(s, p->alpha[0]);
  return 0;
}

int value_get(QXBSTAT_INSTANCE* i, std::int32_t type, void* value, std::int32_t* size) {
  Instance* s = i ? instance_of(i) : nullptr;
  if (!s || !value) return 1;
  if (type == QXBSTAT_TYPE_PERCPTR) {
    *static_cast<const double**>(value) = s->levels.empty() ? nullptr : s->levels.data();
    if (size) *size = static_cast<std::int32_t>(sizeof(double*));
    return 0;
  }
  if (type == QXBSTAT_TYPE_NPERC) {
    *static_cast<std::int32_t*>(value) = static_cast<std::int32_t>(s->levels.size());
    if (size) *size = static_cast<std::int32_t>(sizeof(std::int32_t));
    return 0;
  }
  return 1;
}

const QXBSTAT_DIAG* get_statistics(QXBSTAT_INSTANCE* i, std::int32_t k) {
  Instance* s = i ? instance_of(i) : nullptr;
  if (!s || k < 0 || static_cast<std::size_t>(k) >= s->diags.size()) return nullptr;
  return &s->diags[static_cast<std::size_t>(k)];
}

const double* get_the_covariance(QXBSTAT_INSTANCE* i, std::int32_t release) {
  Instance* s = i ? instance_of(i) : nullptr;
  if (!s) return nullptr;
  if (release) std::vector<double>().swap(s->cov);
  return s->cov.empty() ? nullptr : s->cov.data();
}

void destroy(void* self) { delete static_cast<Instance*>(self); }

void destroy_instance(QXBSTAT_INSTANCE** i) {
  if (!i || !*i) return;
  destroy(*i);
  *i = nullptr;
}

QXBSTAT_INSTANCE* create_instance(QXBSTAT_EXTENSION* ext, void*, const QXBSTAT_PARMS* p) {
  if (!p || !p->table || !p->table->ops) return nullptr;
  auto* s = new Instance{};
  s->inst = {{ext, "qxbstat.instance", &destroy}, &s->factory};
  s->factory = {&descriptive, &perc_intervals, &value_get, &get_statistics, &get_the_covariance, &destroy_instance};
  s->table = p->table;
  return &s->inst;
}

void destroy_extension(void* self) { delete static_cast<QXBSTAT_EXTENSION*>(self); }

void* make_extension() { return new QXBSTAT_EXTENSION{{nullptr, "qxbstat", &destroy_extension}, &create_instance}; }

const ExtensionRegistration kQxbstat{"qxbstat", &make_extension};

}  // namespace
}  // namespace platform
