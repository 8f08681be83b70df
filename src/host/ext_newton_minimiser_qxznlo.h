// The kernel-library extension "qxznlo": a minimiser of a smooth function of
// n variables without bounds or constraints, driven by the caller's
// objective, gradient and Hessian callbacks. An instance carries the tables
// below; each callback receives the instance and returns 0.
#pragma once

#include "host/kernel_object_header.h"

struct NLOSTR;
using NLO_MinstrPtr = NLOSTR*;
using NloCallback = int (*)(QXMemPtr instance);

struct NLOTYPE_USER_OPTIONS {
  void* comstr;  // the caller's context
  double* xest;  // the current point, which the run updates in place [nvar]
  int bounds;    // must be 0: no bounds
  int nvar;      // number of variables
  int mfun;      // number of objective functions: 1
  int tech;      // technique: 3 Newton with a line search (the only one)
  int mini;      // minimum number of iterations before convergence is accepted
  int maxi;      // iteration limit
  int maxf;      // limit on the caller's function-call count (`nfct`)
  double aftl;   // convergence: the Newton decrement g'H⁻¹g below aftl²·|f|
};

struct NLOTYPE_EXTERNAL {
  NloCallback UserFunction;                    // objective into `crit`
  NloCallback UserGradientAndFunction;         // and the gradient into `grad`
  NloCallback UserHessianGradientAndFunction;  // and the packed Hessian into `hess`
  NloCallback AfterEachIterationCallBack;      // optional
};

struct NLOTYPE_OBJECTIVE {
  double crit;   // the objective at the current point
  double* grad;  // its gradient [nvar]
};

struct NLOTYPE_WORK {
  double* func;  // where the callbacks also store the objective
  long nfct;     // function calls made by the callbacks
};

struct NLOTYPE_HESSIAN {
  double* hess;  // packed lower triangle by rows [nvar(nvar+1)/2]
};

// Operations; each returns 0 or, for the run, the result code:
// >= 0 converged, kNloIterationLimit, kNloFunctionLimit, kNloNoDecrease or
// kNloBadSetup otherwise.
struct NLOTYPE_FACTORY {
  int (*ResetTheObject)(NLOSTR*);
  int (*ResetTheUserOptions)(NLOSTR*, NLOTYPE_USER_OPTIONS*);
  int (*TransferTheOptions)(NLOSTR*);
  int (*RunTheOptimization)(NLOSTR*);
};

inline constexpr int kNloIterationLimit = -1, kNloFunctionLimit = -2, kNloNoDecrease = -3,
                     kNloBadSetup = -4;

struct NLOSTR {
  QXGeneric gen;
  NLOTYPE_FACTORY* FactoryPtr;
  NLOTYPE_EXTERNAL* ExternalPtr;
  NLOTYPE_USER_OPTIONS* UserOptionsPtr;
  NLOTYPE_OBJECTIVE* ObjectivePtr;
  NLOTYPE_WORK* WorkPtr;
  NLOTYPE_HESSIAN* HessianPtr;
};

// The loaded extension: the generic header, then instance creation.
struct NLOExtension {
  QXGeneric gen;
  NLOSTR* (*CreateInstance)(NLOExtension* ext, int version);
};
