// Why a BY group had no usable observation: the last pass records the
// first observation it left out for each reason, and the grid search says
// the reason once when no point of its grid gave an objective.
#pragma once

struct RUVACOM;

// Clears the record at the start of a last pass.
void start_left_out(RUVACOM* ctx);
// Records the current observation of a last pass, which the use test left
// out after a run that ended with `rc`. Run errors are reported where they
// happen, so only the observation's values are looked at.
void note_left_out(RUVACOM* ctx, int rc);
// Logs why no observation could be used: a parameter with a missing
// starting value, else the first observation left out for a missing or
// non-positive weight or a missing predicted value.
void explain_no_usable_observation(RUVACOM* ctx);
