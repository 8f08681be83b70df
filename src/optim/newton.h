// A Newton minimiser for smooth objectives without bounds or constraints,
// for callers that can give the exact Hessian (the extension "qxznlo").
// Each step solves with the Hessian whose eigenvalues are replaced by their
// magnitudes (floored), so that it is a descent direction even where the
// Hessian is indefinite or singular, and the line search of the library
// shortens it until the objective falls enough.
#pragma once

struct NewtonRun {
  int n;         // variables
  double* x;     // the point, updated in place [n]
  double* f;     // the objective at x, as the callbacks leave it
  double* grad;  // its gradient [n]
  double* hess;  // its packed Hessian [n(n+1)/2]
  long* calls;   // the callbacks' count of objective evaluations
  void* user;
  int (*value)(void* user);  // *f at x; 0 on success
  int (*all)(void* user);    // *f, grad and hess at x; 0 on success
  int min_iters, max_iters;
  long max_calls;
  double tol;  // converged when g'H⁻¹g <= tol²·|f| (the modified H)
};

// The result codes of znewton beyond the iteration count (>= 0) of a
// converged run.
inline constexpr int kNewtonIterationLimit = -1, kNewtonCallLimit = -2, kNewtonNoDecrease = -3,
                     kNewtonCallbackFailed = -4;

int znewton(const NewtonRun& run);
