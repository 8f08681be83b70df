// The models of the speed benchmarks, written by hand in C++ (value and
// first derivatives) and as program text, with the data they are fitted to:
// - four parameters, b1 + b2 exp(-b3 x) + b4 x;
// - ten parameters, a baseline and three Gaussian peaks;
// - twenty parameters, a baseline, a slope and six Gaussian peaks;
// - a Fourier series of H harmonics, 1 + 2H parameters.
#pragma once

#include <cmath>
#include <string>
#include <vector>

namespace fit_models {

struct ExponentialLine {
  static constexpr int kParms = 4;
  static std::vector<double> truth() { return {2, 5, 0.7, 0.3}; }
  static std::vector<double> start() { return {1.5, 4, 0.5, 0.4}; }
  static std::string names() { return "b1 b2 b3 b4"; }
  static std::string formula() { return "b1 + b2*exp(-b3*x) + b4*x"; }
  static double value(const double* b, double x, double* g) {
    const double e = std::exp(-b[2] * x);
    g[0] = 1;
    g[1] = e;
    g[2] = -b[1] * x * e;
    g[3] = x;
    return b[0] + b[1] * e + b[3] * x;
  }
};

// c0 [+ c1 x] + sum over the peaks of a_k exp(-((x - m_k) / s_k)^2).
template <int Peaks, bool Slope>
struct GaussianPeaks {
  static constexpr int kBase = Slope ? 2 : 1;
  static constexpr int kParms = kBase + 3 * Peaks;
  static std::vector<double> truth() {
    std::vector<double> b = {1.0};
    if (Slope) b.push_back(0.1);
    for (int k = 0; k < Peaks; ++k) {
      b.push_back(1.5 + 0.5 * (k % 5));              // height
      b.push_back(1.5 + 1.5 * k * 6.0 / Peaks);      // centre
      b.push_back(0.3 + 0.05 * (k % 4));             // width
    }
    return b;
  }
  static std::vector<double> start() {
    std::vector<double> b = truth();
    b[0] *= 0.9;
    if (Slope) b[1] *= 1.1;
    for (int k = 0; k < Peaks; ++k) {
      b[kBase + 3 * k] *= 1.1;
      b[kBase + 3 * k + 1] += 0.05;
      b[kBase + 3 * k + 2] *= 0.9;
    }
    return b;
  }
  static std::string names() {
    std::string s = Slope ? "c0 c1" : "c0";
    for (int k = 1; k <= Peaks; ++k) {
      const std::string i = std::to_string(k);
      s += " a" + i + " m" + i + " s" + i;
    }
    return s;
  }
  static std::string formula() {
    std::string s = Slope ? "c0 + c1*x" : "c0";
    for (int k = 1; k <= Peaks; ++k) {
      const std::string i = std::to_string(k);
      s += "\n   + a" + i + "*exp(-((x-m" + i + ")/s" + i + ")**2)";
    }
    return s;
  }
  static double value(const double* b, double x, double* g) {
    double f = b[0];
    g[0] = 1;
    if (Slope) {
      f += b[1] * x;
      g[1] = x;
    }
    for (int k = 0; k < Peaks; ++k) {
      const double* p = b + kBase + 3 * k;
      const double t = (x - p[1]) / p[2];
      const double e = std::exp(-t * t);
      const double h = 2 * p[0] * e * t / p[2];
      g[kBase + 3 * k] = e;
      g[kBase + 3 * k + 1] = h;
      g[kBase + 3 * k + 2] = h * t;
      f += p[0] * e;
    }
    return f;
  }
};

// c + sum over k = 1..H of a_k sin(k x) + b_k cos(k x): linear in its
// parameters, from 2H calls of SIN and COS per observation.
template <int Harmonics>
struct FourierSeries {
  static constexpr int kParms = 1 + 2 * Harmonics;
  static std::vector<double> truth() {
    std::vector<double> b = {1.0};
    for (int k = 1; k <= Harmonics; ++k) {
      b.push_back(0.5 / k);
      b.push_back(0.3 / k);
    }
    return b;
  }
  static std::vector<double> start() { return std::vector<double>(kParms, 0.0); }
  static std::string names() {
    std::string s = "c";
    for (int k = 1; k <= Harmonics; ++k) s += " a" + std::to_string(k) + " b" + std::to_string(k);
    return s;
  }
  static std::string formula() {
    std::string s = "c";
    for (int k = 1; k <= Harmonics; ++k) {
      const std::string i = std::to_string(k);
      s += "\n   + a" + i + "*sin(" + i + "*x) + b" + i + "*cos(" + i + "*x)";
    }
    return s;
  }
  static double value(const double* b, double x, double* g) {
    double f = b[0];
    g[0] = 1;
    for (int k = 1; k <= Harmonics; ++k) {
      g[2 * k - 1] = std::sin(k * x);
      g[2 * k] = std::cos(k * x);
      f += b[2 * k - 1] * g[2 * k - 1] + b[2 * k] * g[2 * k];
    }
    return f;
  }
};

using TenParameters = GaussianPeaks<3, false>;
using TwentyParameters = GaussianPeaks<6, true>;

// x on [0, 10) and y from the true parameters with a small deterministic
// disturbance, so that the residuals are not zero.
template <class Model>
void make_data(int n, std::vector<double>* x, std::vector<double>* y) {
  const std::vector<double> b = Model::truth();
  double g[Model::kParms];
  unsigned long long state = 12345;
  x->resize(static_cast<std::size_t>(n));
  y->resize(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    const double u = static_cast<double>(state >> 11) * 0x1.0p-53 - 0.5;
    (*x)[i] = 10.0 * i / n;
    (*y)[i] = Model::value(b.data(), (*x)[i], g) + 0.05 * u;
  }
}

// The model as a program with its starting values.
template <class Model>
std::string program_text(const std::string& options) {
  const std::vector<double> s = Model::start();
  std::string names = Model::names(), parms;
  std::size_t k = 0, at = 0;
  while (at < names.size()) {
    const std::size_t end = names.find(' ', at);
    const std::string name = names.substr(at, end == std::string::npos ? std::string::npos : end - at);
    parms += " " + name + " = " + std::to_string(s[k++]);
    at = end == std::string::npos ? names.size() : end + 1;
  }
  return "proc ruva " + options + ";\nparms" + parms + ";\nmodel y = " + Model::formula() + ";\nrun;\n";
}

}  // namespace fit_models
