// Test problems of More, Garbow and Hillstrom (ACM TOMS 7, 1981) as least
// squares, with their standard starting points and published minima. Each
// writes its residuals once over dual numbers; the Jacobian comes with them.
#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

#include "dual.h"

namespace mgh {

using dual::Dual;
using dual::problem;

struct Case {
  lsq::Problem problem;
  std::vector<double> start;
  double minimum;                // published minimum of F = r'r
  std::vector<double> minimiser; // when the minimum is zero and isolated
  // Why plain steps with halving do not get there, when they do not.
  const char* halving_fails = nullptr;
  // Why plain steps with golden section do not get there, when they do not.
  const char* golden_fails = nullptr;
};

inline Case rosenbrock() {
  return {problem("Rosenbrock", 2, 2, [](const Dual* x, Dual* r) {
            r[0] = 10.0 * (x[1] - x[0] * x[0]);
            r[1] = 1.0 - x[0];
          }), {-1.2, 1.0}, 0.0, {1.0, 1.0}};
}

inline Case beale() {
  return {problem("Beale", 2, 3, [](const Dual* x, Dual* r) {
            const double y[3] = {1.5, 2.25, 2.625};
            Dual power = x[1];
            for (int i = 0; i < 3; ++i, power = power * x[1]) r[i] = y[i] - x[0] * (1.0 - power);
          }), {1.0, 1.0}, 0.0, {3.0, 0.5}};
}

inline Case helical_valley() {
  return {problem("Helical valley", 3, 3, [](const Dual* x, Dual* r) {
            Dual theta = dual::atan(x[1] / x[0]) / (2 * M_PI);
            if (x[0].v < 0) theta = theta + 0.5;
            r[0] = 10.0 * (x[2] - 10.0 * theta);
            r[1] = 10.0 * (dual::sqrt(x[0] * x[0] + x[1] * x[1]) - 1.0);
            r[2] = x[2];
          }), {-1.0, 0.0, 0.0}, 0.0, {1.0, 0.0, 0.0}};
}

inline Case bard() {
  return {problem("Bard", 3, 15, [](const Dual* x, Dual* r) {
            const double y[15] = {0.14, 0.18, 0.22, 0.25, 0.29, 0.32, 0.35, 0.39,
                                  0.37, 0.58, 0.73, 0.96, 1.34, 2.10, 4.39};
            for (int i = 0; i < 15; ++i) {
              const double u = i + 1, v = 15 - i, w = std::min(u, v);
              r[i] = y[i] - (x[0] + u / (v * x[1] + w * x[2]));
            }
          }), {1.0, 1.0, 1.0}, 8.21487e-3, {}};
}

inline Case box_3d() {
  return {problem("Box 3D", 3, 10, [](const Dual* x, Dual* r) {
            for (int i = 0; i < 10; ++i) {
              const double t = 0.1 * (i + 1);
              const double c = std::exp(-t) - std::exp(-10 * t);
              r[i] = dual::exp(-t * x[0]) - dual::exp(-t * x[1]) - c * x[2];
            }
          }), {0.0, 10.0, 20.0}, 0.0, {1.0, 10.0, 1.0}};
}

inline Case kowalik_osborne() {
  return {problem("Kowalik-Osborne", 4, 11, [](const Dual* x, Dual* r) {
            const double y[11] = {0.1957, 0.1947, 0.1735, 0.1600, 0.0844, 0.0627,
                                  0.0456, 0.0342, 0.0323, 0.0235, 0.0246};
            const double u[11] = {4, 2, 1, 0.5, 0.25, 0.167, 0.125, 0.1, 0.0833, 0.0714, 0.0625};
            for (int i = 0; i < 11; ++i)
              r[i] = y[i] - x[0] * (u[i] * u[i] + u[i] * x[1]) / (u[i] * u[i] + u[i] * x[2] + x[3]);
          }), {0.25, 0.39, 0.415, 0.39}, 3.07505e-4, {}, nullptr,
          "along the first Gauss-Newton step the objective is below its start only for "
          "a < 0.5 and peaks near a = 1.15; golden section over [0, 3] settles in the local "
          "minimum near a = 1.5, which lies above the start"};
}

inline Case osborne_1() {
  return {problem("Osborne 1", 5, 33, [](const Dual* x, Dual* r) {
            const double y[33] = {0.844, 0.908, 0.932, 0.936, 0.925, 0.908, 0.881, 0.850, 0.818,
                                  0.784, 0.751, 0.718, 0.685, 0.658, 0.628, 0.603, 0.580, 0.558,
                                  0.538, 0.522, 0.506, 0.490, 0.478, 0.467, 0.457, 0.448, 0.438,
                                  0.431, 0.424, 0.420, 0.414, 0.411, 0.406};
            for (int i = 0; i < 33; ++i) {
              const double t = 10.0 * i;
              r[i] = y[i] - (x[0] + x[1] * dual::exp(-t * x[3]) + x[2] * dual::exp(-t * x[4]));
            }
          }), {0.5, 1.5, -1.0, 0.01, 0.02}, 5.46489e-5, {}};
}

inline Case jennrich_sampson() {
  return {problem("Jennrich-Sampson", 2, 10, [](const Dual* x, Dual* r) {
            for (int k = 1; k <= 10; ++k)
              r[k - 1] = 2.0 + 2.0 * k - (dual::exp(k * x[0]) + dual::exp(k * x[1]));
          }), {0.3, 0.4}, 124.362, {},
          "the steps lead to the diagonal x1 = x2, where the Jacobian has rank one; a step "
          "then moves one parameter only and the halved steps make no headway"};
}

// Brown and Dennis's problem is left out: its residuals are large at the
// minimum, so Gauss-Newton steps (ridged or not) creep towards it and need
// thousands of iterations.
inline std::vector<Case> all() {
  return {rosenbrock(),      beale(),     helical_valley(), bard(), box_3d(),
          kowalik_osborne(), osborne_1(), jennrich_sampson()};
}

}  // namespace mgh
