// One observation as the diagnostics passes (observation_pass) see it: the
// response, prediction, residual, weight, and the augmented derivative
// vector z = (d, H) of the p first and p(p+1)/2 second derivatives.
#pragma once

#include "procedure/observation_pass.h"

struct DiagObservation {
  double y, yhat, e, w;  // e = y - yhat; each may be missing
  bool ran;              // the model program ran for it
  bool d_ok;             // its first derivatives are present and small enough for the cross products
  bool h_ok;             // and so are its second derivatives
  bool weighted() const;  // a positive weight
};

// The current observation's values; z receives (d, H), m = p + p(p+1)/2 doubles.
DiagObservation diag_observation(RUVACOM* ctx, bool ran, double* z);
