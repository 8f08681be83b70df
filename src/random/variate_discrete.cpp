// BERNOULLI, GEOMETRIC, HYPERGEOMETRIC and TABLE.
#include <cmath>

#include "prob/log_gamma.h"
#include "random/variate_fill.h"
#include "random/variate_operations.h"

using variates::uniform;

double GetOneVariateBERNOULLI(MRandPtr q, double p) {
  zrand_check(q, 1);
  if (!(p >= 0 && p <= 1)) return variates::invalid();
  return p >= uniform(q) ? 1 : 0;
}

// Below 0.001 the count comes from one uniform by the logarithm formula;
// otherwise trials are counted. A probability outside (0, 1] has no variate.
double GetOneVariateGEOMETRIC(MRandPtr q, double pr) {
  zrand_check(q, 1);
  if (!(pr > 0 && pr <= 1)) return variates::invalid();
  if (pr == 1) return 1;
  if (pr < 0.001) return std::ceil(std::log(uniform(q)) / zln1px(-pr));
  for (long trials = 1; trials <= variates::kMaxTrials; ++trials)
    if (uniform(q) <= pr) return static_cast<double>(trials);
  return variates::invalid();
}

// One uniform for each of the k draws.
double GetOneVariateHYPERGEOMETRIC(MRandPtr q, std::int64_t nn, std::int64_t n, std::int64_t k) {
  zrand_check(q, 1);
  if (nn <= 0 || n > nn || k > nn) return variates::invalid();
  if (k <= 0 || n < 0) return 0;
  double successes = static_cast<double>(n);
  double population = static_cast<double>(nn);
  std::int64_t x = 0;
  for (std::int64_t draw = 0; draw < k; ++draw) {
    if (successes / population >= uniform(q)) {
      ++x;
      successes -= 1;
    }
    population -= 1;
  }
  return static_cast<double>(x);
}

// The probabilities are taken as given: neither checked nor normalised. A
// table of entries without its array has no variate.
double GetOneVariateTABLE(MRandPtr q, std::int64_t tblcnt, double* tblptr) {
  zrand_check(q, 1);
  if (tblcnt > 0 && !tblptr) return variates::invalid();
  const double u = uniform(q);
  double sum = 0;
  for (std::int64_t i = 0; i < tblcnt; ++i) {
    sum += tblptr[i];
    if (sum >= u) return static_cast<double>(i + 1);
  }
  return static_cast<double>(tblcnt > 0 ? tblcnt + 1 : 1);
}

int FillTheBufferBERNOULLI(MRandPtr q, double p) {
  return variates::fill<&GetOneVariateBERNOULLI>(q, p);
}
int FillTheBufferGEOMETRIC(MRandPtr q, double pr) {
  return variates::fill<&GetOneVariateGEOMETRIC>(q, pr);
}
int FillTheBufferHYPERGEOMETRIC(MRandPtr q, std::int64_t nn, std::int64_t n, std::int64_t k) {
  return variates::fill<&GetOneVariateHYPERGEOMETRIC>(q, nn, n, k);
}
int FillTheBufferTABLE(MRandPtr q, std::int64_t tblcnt, double* tblptr) {
  return variates::fill<&GetOneVariateTABLE>(q, tblcnt, tblptr);
}
