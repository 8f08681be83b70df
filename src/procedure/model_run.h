// The procedure's side of running the compiled model program: binding the
// special variables that weight and shape the objective, starting a pass
// over the data and running the program for one observation. Every pass
// over the data (the data pass, the OUTPUT pass, estimates and contrasts,
// curvature, diagnostics, profiling and bootstrap) uses the last two. They
// find the context through the task record.
#pragma once

#include "host/missing.h"
#include "procedure/procedure_context.h"

// Binds _WEIGHT_, _WGTJPJ_, _LOSS_ and _RESID_ (or their stand-ins),
// collects the ID variables and generates the program: 0, 1 when memory
// runs out, else the compiler's error flag.
int ruvares();

// Starts a pass over the data.
void nlexint();

// Runs the program for the current observation: 0 normal, 1 or 2 the
// observation is not to be used (also after a fault inside the run), 3 or
// more the run failed and the pass must end.
int nlexec();
// The same for the context at hand (the data pass knows it).
int nlexec(RUVACOM* ctx);

// What nlexec does before each run: the predicted value missing (an
// observation whose run does not reach MODEL is unusable), _OBS_ and _N_
// counted on, `failed` cleared (it describes one run).
inline void begin_run(RUVACOM* ctx) {
  if (ctx->dephat) *ctx->dephat = special_missing_value();
  ctx->obs += 1.0;
  ctx->un_ += 1.0;
  ctx->failed = 0;
}

// Starts running the program over blocks of observations in the pass that
// nlexint started: the block's capacity, or 0 when the program's run for an
// observation may depend on more than its values (then nlexec runs each).
int nlexblk(RUVACOM* ctx);
// nlexec for observation i of a block that ran (in order), one that the
// block marked to be run alone (nlexec's reports included).
int nlexec_block(RUVACOM* ctx, int i);
// nlexec for `count` observations of a block whose run went through (their
// values are the block's): what begin_run does for each. The program of a
// block reads neither _OBS_ nor _N_, so they may be counted on once before
// the next observation that runs alone, which reads them (and the counts
// are whole numbers, which adding one at a time or all at once leaves the
// same).
inline void nlexec_in_block(RUVACOM* ctx, int count) {
  if (count == 0) return;
  if (ctx->dephat) *ctx->dephat = special_missing_value();
  ctx->obs += count;
  ctx->un_ += count;
  ctx->failed = 0;
}
