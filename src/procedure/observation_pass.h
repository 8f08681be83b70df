// A pass of the model program over the current BY group with derivatives,
// as the passes after the fit make it (diagnostics, OUTPUT): the caller sees
// each observation's 0-based index among those read and whether its run
// succeeded.
#pragma once

#include "host/dataset_types.h"
#include "host/services.h"
#include "procedure/data_pass.h"
#include "procedure/model_run.h"
#include "procedure/procedure_context.h"

// `before` sees each observation's index with its values in the program's
// variables as the data set holds them, before the program's statements run.
template <class Before, class Each>
void observation_pass(RUVACOM* ctx, Before before, Each each) {
  ctx->model = 0.0;
  xbyrwnd(ctx->fiddata, kXoGroupStart);
  nlexint();
  for (long i = 0; read_group_observation(ctx); ++i) {
    cmpexi(0, 0, 0, &ctx->globcmp);
    move_observation(ctx);
    before(i);
    const int rc = nlexec(ctx);
    each(i, rc == 0 && !ctx->failed);
  }
}

template <class Each>
void observation_pass(RUVACOM* ctx, Each each) {
  observation_pass(ctx, [](long) {}, each);
}
