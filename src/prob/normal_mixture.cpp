// The normal-mixture engine: verification and normalisation of the request,
// and the log tails and log density at a point, combined on the log scale.
#include <cmath>
#include <utility>

#include "host/missing.h"
#include "prob/constants.h"
#include "prob/log_sum_exp.h"
#include "prob/normal.h"
#include "prob/normal_mixture_detail.h"

namespace {

constexpr double kLogZero = -9007199254740992.0;  // -2^53 stands for ln 0

// Shell sort of the components by mean, with gaps n/2, n/4, ..., 1.
void SortAccordingToTheMeans(NORMAL_MIX_ARG* q) {
  const std::int64_t n = q->n;
  for (std::int64_t gap = n / 2; gap > 0; gap /= 2) {
    for (std::int64_t i = gap; i < n; ++i) {
      for (std::int64_t j = i - gap; j >= 0 && q->Mu[j] > q->Mu[j + gap]; j -= gap) {
        std::swap(q->Mu[j], q->Mu[j + gap]);
        std::swap(q->Sigma[j], q->Sigma[j + gap]);
        std::swap(q->Proportions[j], q->Proportions[j + gap]);
      }
    }
  }
}

int VerifyQ(NORMAL_MIX_ARG* q) {
  const std::int64_t n = q->n;
  // n = 0 would give the code 10n = 0, which reads as success.
  if (n < 1) return n == 0 ? -1 : static_cast<int>(10 * n);
  double largest = 0.0;
  for (std::int64_t i = 0; i < n; ++i) {
    if (!(q->Proportions[i] >= 0.0)) return static_cast<int>(n + i);
    largest = std::fmax(largest, q->Proportions[i]);
  }
  if (largest <= 0.0) return static_cast<int>(10 * n);
  if (largest >= kLargestDouble / static_cast<double>(n))
    for (std::int64_t i = 0; i < n; ++i) q->Proportions[i] /= largest;
  double sum = 0.0;
  for (std::int64_t i = 0; i < n; ++i) {
    if (!(q->Sigma[i] >= 0.0)) return static_cast<int>(2 * n + i);
    sum += q->Proportions[i];
  }
  if (sum <= 0.0) return static_cast<int>(10 * n);
  for (std::int64_t i = 0; i < n; ++i) q->Proportions[i] /= sum;
  if (q->Purpose & 6) SortAccordingToTheMeans(q);
  q->State |= 1;
  return 0;
}

}  // namespace

int ComputeTheProbOrTheDens(NORMAL_MIX_ARG* q) {
  q->LogLeftPr = q->LogRightPr = q->LogDensity = kLogZero;
  for (std::int64_t i = 0; i < q->n; ++i) {
    const double w = q->Proportions[i];
    if (w <= 0.0) continue;
    const double sigma = std::fmax(q->Sigma[i], kSmallestSigma);
    const double z = (q->Quantile - q->Mu[i]) / sigma;
    double lpl, lpr, ldens;
    if (std::isnan(z) || zlognrm(z, &lpl, &lpr, &ldens) != 0) {
      q->LogLeftPr = q->LogRightPr = q->LogDensity = missing_value();
      return 1;
    }
    const double lw = std::log(w);
    q->LogLeftPr = LogSumOfExpProb(q->LogLeftPr, lw + lpl, 1);
    q->LogRightPr = LogSumOfExpProb(q->LogRightPr, lw + lpr, 1);
    q->LogDensity = zlnSumOfExp(q->LogDensity, lw + ldens - std::log(sigma));
  }
  return 0;
}

int zmxnorm(NORMAL_MIX_ARG* q) {
  if (!(q->State & 1)) {
    const int rc = VerifyQ(q);
    if (rc != 0) return rc;
  }
  if (q->Purpose & 6) return ComputeTheQuantile(q);
  return ComputeTheProbOrTheDens(q);
}
