// Checks of the variates: the common contract (invalid parameters draw
// nothing, fills equal single draws), and samples against closed forms:
// sample moments, the Kolmogorov-Smirnov distance to a distribution
// function and the chi-square goodness-of-fit p-value for counts.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <boost/math/special_functions/gamma.hpp>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "host/missing.h"
#include "random/random_record.h"
#include "random_support.h"

namespace dc {

// The 0.1% point of the Kolmogorov distribution: sqrt(n) times the
// distance of a sound sample stays below it in 999 cases of 1000.
inline constexpr double kKolmogorov999 = 1.95;

// The largest distance between the sample's distribution and `cdf`, times
// sqrt(n). Below a sample point the distribution is read at the double
// before it, so that values rounded onto one double (an atom of the sample)
// are compared with the probability they carry.
inline double ks_statistic(std::vector<double> x, const std::function<double(double)>& cdf) {
  std::sort(x.begin(), x.end());
  const double n = static_cast<double>(x.size());
  double d = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double below = cdf(std::nextafter(x[i], -INFINITY));
    d = std::max({d, below - i / n, (i + 1) / n - cdf(x[i])});
  }
  return d * std::sqrt(n);
}

struct Moments {
  double mean, variance, skewness, kurtosis;
};
inline Moments moments(const std::vector<double>& x) {
  const double n = static_cast<double>(x.size());
  double m = 0;
  for (double v : x) m += v;
  m /= n;
  double m2 = 0, m3 = 0, m4 = 0;
  for (double v : x) {
    const double d = v - m;
    m2 += d * d, m3 += d * d * d, m4 += d * d * d * d;
  }
  m2 /= n, m3 /= n, m4 /= n;
  return {m, m2, m3 / std::pow(m2, 1.5), m4 / (m2 * m2)};
}

// Chi-square p-value of whole-number draws against the probability function
// `pmf` whose support starts at `low`: values from `high` up form the last
// cell, and values whose expected count falls below 5 are pooled with the
// next. 0 when a draw lies below the support or is not a whole number.
inline double chi_square_p(const std::vector<double>& draws,
                           const std::function<double(std::int64_t)>& pmf, std::int64_t low,
                           std::int64_t high) {
  std::map<std::int64_t, double> observed;
  for (double v : draws) {
    if (!(v >= static_cast<double>(low)) || v != std::floor(v)) return 0;
    ++observed[std::min(static_cast<std::int64_t>(v), high)];
  }
  const double n = static_cast<double>(draws.size());
  std::vector<double> obs{0}, expected{0};
  double mass = 0;
  for (std::int64_t k = low; k <= high; ++k) {
    if (expected.back() >= 5) obs.push_back(0), expected.push_back(0);
    const double p = k < high ? pmf(k) : 1 - mass;
    mass += p;
    obs.back() += observed.count(k) ? observed[k] : 0;
    expected.back() += n * p;
  }
  if (expected.size() > 1 && expected.back() < 5) {
    obs[obs.size() - 2] += obs.back(), expected[expected.size() - 2] += expected.back();
    obs.pop_back(), expected.pop_back();
  }
  if (obs.size() < 2) return 1;  // one cell holds every draw
  double statistic = 0;
  for (std::size_t c = 0; c < obs.size(); ++c)
    statistic += (obs[c] - expected[c]) * (obs[c] - expected[c]) / expected[c];
  return boost::math::gamma_q((static_cast<double>(obs.size()) - 1) / 2.0, statistic / 2);
}

inline std::vector<double> fill(MERSENNE_RAND* q, const std::function<int(MERSENNE_RAND*)>& op,
                                int n) {
  std::vector<double> out(static_cast<std::size_t>(n));
  q->VBuffer = out.data();
  q->NBuffer = n;
  op(q);
  return out;
}

// A single draw and a fill of three with these parameters give the special
// missing value and draw nothing.
template <auto Single, auto Fill, class... P>
void expect_invalid(P... parameters) {
  SCOPED_TRACE(__PRETTY_FUNCTION__);
  rt::Script script{{0.5}};
  auto q = rt::scripted(&script);
  EXPECT_TRUE(is_special_missing(Single(q.get(), parameters...)));
  const std::vector<double> out = fill(
      q.get(), [&](auto r) { return Fill(r, parameters...); }, 3);
  for (double v : out) EXPECT_TRUE(is_special_missing(v));
  EXPECT_EQ(script.drawn, 0);
}

// A fill of 101 elements holds the next 101 single draws, bit for bit, and
// leaves the stream and its caches where those draws leave them.
template <auto Single, auto Fill, class... P>
void expect_fill_equals_draws(P... parameters) {
  SCOPED_TRACE(__PRETTY_FUNCTION__);
  auto a = rt::new_stream(909), b = rt::new_stream(909);
  const std::vector<double> filled = fill(
      a.get(), [&](auto r) { return Fill(r, parameters...); }, 101);
  for (double v : filled) ASSERT_TRUE(rt::same_bits(v, Single(b.get(), parameters...)));
  EXPECT_EQ(a->nor.HaveOne, b->nor.HaveOne);
  EXPECT_TRUE(rt::same_bits(Single(a.get(), parameters...), Single(b.get(), parameters...)));
}

}  // namespace dc
