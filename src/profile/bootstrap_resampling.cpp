#include "profile/bootstrap_resampling.h"

#include <algorithm>
#include <cmath>

#include "host/missing.h"

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
    // Each observation keeps its own residual and leverage, so that the
    // samples carry the variance of every observation; the first block of
    // uniforms is drawn all the same, which keeps the stream's position.
    const double* v = u + in.n;
    for (std::int32_t r = 0; r < count; ++r) {
      const std::int32_t i = first + r;
      const double w = v[i] < tau ? w_low : w_high, h = in.tan_leverage[i];
      out[r * stride] = usable_leverage(h)
                            ? in.pred[i] + w * std::sqrt(1.0 / (1.0 - h)) * in.raw_res[i]
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
