#include "profile/bootstrap_math.h"

#include <algorithm>
#include <cmath>

#include "host/missing.h"
#include "prob/normal.h"

double adjsse_scale(std::int32_t n, std::int32_t p) {
  const std::int32_t df = n - p;
  return df > 0 ? std::sqrt(static_cast<double>(n) / static_cast<double>(df)) : 0.0;
}

namespace {

bool usable_leverage(double h) {
  return !is_missing(h) && std::fabs(h) < 1.0;
}

// The resampled position of uniform u, kept inside the arrays when u*n
// rounds up to n.
std::int32_t resampled(double u, std::int32_t n) {
  const auto j = static_cast<std::int32_t>(u * n);
  return std::min(j, n - 1);
}

}  // namespace

void bootstrap_response(const BootResampleInput& in, const double* u, std::int32_t first,
                        std::int32_t count, double* out, std::int32_t stride) {
  const double missing = special_missing_value();
  if (in.type == kDgpWild) {
    const double s = std::sqrt(5.0), tau = (1.0 + s) / (2.0 * s);
    const double w_low = (1.0 - s) / 2.0, w_high = (1.0 + s) / 2.0;
    const double* v = u + in.n;
    for (std::int32_t r = 0; r < count; ++r) {
      const std::int32_t i = first + r, j = resampled(u[i], in.n);
      const double w = v[i] < tau ? w_low : w_high, h = in.tan_leverage[j];
      out[r * stride] = usable_leverage(h)
                            ? in.pred[i] + w * std::sqrt(1.0 / (1.0 - h)) * in.raw_res[j]
                            : missing;
    }
    return;
  }
  if (in.type != kDgpResidual) return;
  if (in.scaling == kScaleJac || in.scaling == kScaleTan) {
    const double* lev = in.scaling == kScaleJac ? in.jac_leverage : in.tan_leverage;
    for (std::int32_t r = 0; r < count; ++r) {
      const std::int32_t i = first + r, j = resampled(u[i], in.n);
      const double h = lev[j];
      out[r * stride] =
          usable_leverage(h) ? in.pred[i] + std::sqrt(1.0 / (1.0 - h)) * in.raw_res[j] : missing;
    }
    return;
  }
  const double c = in.scaling == kScaleAdjsse ? adjsse_scale(in.n, in.p) : 1.0;
  for (std::int32_t r = 0; r < count; ++r) {
    const std::int32_t i = first + r, j = resampled(u[i], in.n);
    out[r * stride] = in.pred[i] + c * in.raw_res[j];
  }
}

double percentile_def5(const std::vector<double>& sorted, double q) {
  const auto n = static_cast<std::int64_t>(sorted.size());
  if (n == 0) return special_missing_value();
  const double np = static_cast<double>(n) * q;
  const auto j = static_cast<std::int64_t>(std::floor(np));
  const auto at = [&](std::int64_t k) { return sorted[std::clamp<std::int64_t>(k, 1, n) - 1]; };
  if (np - static_cast<double>(j) > 0.0) return at(j + 1);
  return (at(j) + at(j + 1)) / 2.0;
}

namespace {

std::vector<double> column(const std::vector<double>& samples, std::size_t p, std::size_t k) {
  std::vector<double> c;
  c.reserve(samples.size() / p);
  for (std::size_t r = k; r < samples.size(); r += p) c.push_back(samples[r]);
  return c;
}

double mean_of(const std::vector<double>& v) {
  double s = 0.0;
  for (double x : v) s += x;
  return s / static_cast<double>(v.size());
}

}  // namespace

BootSummary bootstrap_summary(const std::vector<double>& samples, const std::vector<double>& ref,
                              const BootSummaryRequest& req) {
  const std::size_t p = ref.size(), c = p ? samples.size() / p : 0;
  const double miss = special_missing_value();
  BootSummary s;
  for (auto* v : {&s.std_dev, &s.bc_lower, &s.bc_upper, &s.perc_lower, &s.perc_upper,
                  &s.normal_lower, &s.normal_upper})
    v->assign(p, miss);
  if (req.cov) s.cov.assign(p * (p + 1) / 2, miss);
  if (p == 0 || c < p || c < 2) return s;
  const double z = zprobit(1.0 - req.alpha / 2.0);
  std::vector<std::vector<double>> cols(p);
  std::vector<double> means(p);
  for (std::size_t k = 0; k < p; ++k) {
    cols[k] = column(samples, p, k);
    means[k] = mean_of(cols[k]);
  }
  const auto covariance = [&](std::size_t a, std::size_t b) {
    double sum = 0.0;
    for (std::size_t r = 0; r < c; ++r) sum += (cols[a][r] - means[a]) * (cols[b][r] - means[b]);
    return sum / static_cast<double>(c - 1);
  };
  for (std::size_t k = 0; k < p; ++k) {
    s.std_dev[k] = std::sqrt(covariance(k, k));
    std::vector<double> sorted = cols[k];
    std::sort(sorted.begin(), sorted.end());
    if (req.perc) {
      s.perc_lower[k] = percentile_def5(sorted, req.alpha / 2.0);
      s.perc_upper[k] = percentile_def5(sorted, 1.0 - req.alpha / 2.0);
    }
    if (req.bc) {
      const auto below =
          std::count_if(sorted.begin(), sorted.end(), [&](double x) { return x <= ref[k]; });
      const double z0 = zprobit(static_cast<double>(below) / static_cast<double>(c));
      s.bc_lower[k] = percentile_def5(sorted, zprbnrm(2.0 * z0 - z));
      s.bc_upper[k] = percentile_def5(sorted, zprbnrm(2.0 * z0 + z));
    }
    if (req.normal) {
      s.normal_lower[k] = ref[k] - z * s.std_dev[k];
      s.normal_upper[k] = ref[k] + z * s.std_dev[k];
    }
  }
  if (req.cov)
    for (std::size_t r = 0; r < p; ++r)
      for (std::size_t k = 0; k <= r; ++k) s.cov[r * (r + 1) / 2 + k] = covariance(r, k);
  return s;
}
