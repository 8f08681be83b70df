// A pass of the diagnostics over the current BY group: the model program
// runs with derivatives for every observation read, and the caller sees
// each observation's 0-based index, whether its run succeeded, and its
// values: the response, prediction, residual, weight, and the augmented
// derivative vector z = (d, H) of the p first and p(p+1)/2 second
// derivatives.
#pragma once

#include "host/dataset_types.h"
#include "host/services.h"
#include "procedure/data_pass.h"
#include "procedure/model_run.h"
#include "procedure/ruvacom.h"

struct DiagObservation {
  double y, yhat, e, w;  // e = y - yhat; each may be missing
  bool ran;              // the model program ran for it
  bool d_ok;             // its first derivatives are present and small enough for the cross products
  bool h_ok;             // and so are its second derivatives
  bool weighted() const;  // a positive weight
};

// The current observation's values; z receives (d, H), m = p + p(p+1)/2 doubles.
DiagObservation diag_observation(RUVACOM* ctx, bool ran, double* z);

template <class Each>
void diag_pass(RUVACOM* ctx, Each each) {
  ctx->model = 0.0;
  xbyrwnd(ctx->fiddata, kXoGroupStart);
  nlexint();
  for (long i = 0; read_group_observation(ctx); ++i) {
    cmpexi(0, 0, 0, &ctx->globcmp);
    move_observation(ctx);
    const int rc = nlexec(ctx);
    each(i, rc == 0 && !ctx->failed);
  }
}
