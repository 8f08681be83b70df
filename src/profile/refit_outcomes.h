// What became of a BY group's refits: how many of each kind failed (their
// rows in PROFDATA=, BOOTDATA= and the tables keep missing values) and how
// many ended at the limit of double precision, with the log lines that
// count them. Every failed refit is counted; nothing is lost silently.
#pragma once

#include <string>

#include "host/ext_refit_engine_qxprof.h"

struct RUVACOM;

struct RefitTally {
  int beyond = 0;        // profile values beyond the BOUNDS: no refit, no row
  int tasks = 0;         // refits run
  int lost = 0;          // of them failed: their rows lose the sum of squares
  int at_limit = 0;      // counted converged at the limit of precision
  double largest_r = 0;  // the largest R among those

  void add(const QXPROF_RESULT* r, bool failed);
  RefitTally& operator+=(const RefitTally& other);
};

// Whether a reference, profile or jackknife refit's row has a missing sum of
// squares (the refit failed, or no observation entered its objective).
bool refit_row_lost(const QXPROF_RESULT* r);
// Whether the refit of a profile value found no point that keeps the BOUNDS
// with the parameter held there: the value lies beyond them, which is no
// failed refit, and it has no row. (The other refits start from estimates
// that keep the bounds.)
bool beyond_bounds(const QXPROF_RESULT* r, int task_type);
// The tally of a batch of one kind, lost rows judged by refit_row_lost.
RefitTally tally_of(QXPROF_RESULT* const* results, int n, int task_type);

// The log lines after each kind of refit, written only when some refit of
// the kind failed; a WARNING (return code 4) when a profile, the jackknife
// or the bootstrap lost more than 10 per cent of its refits, and when the
// reference refit failed and none of the `later` refits converged. A
// profile's values beyond the BOUNDS get a note of their own.
void log_reference_loss(RUVACOM* ctx, const RefitTally& reference, const RefitTally& later);
void log_profile_losses(RUVACOM* ctx, int j, const RefitTally& t);
void log_jackknife_losses(RUVACOM* ctx, const RefitTally& t);
void log_bootstrap_losses(RUVACOM* ctx, const RefitTally& t);
// The refits of profiling or of the bootstrap that were counted converged
// at the limit of precision, when there are any.
void log_precision_limit(RUVACOM* ctx, const RefitTally& t, bool bootstrap);
