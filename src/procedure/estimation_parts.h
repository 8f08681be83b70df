// The stages of one BY group's estimation after the optimiser has run,
// shared by the files of the estimation driver.
#pragma once

#include "procedure/convergence_status.h"

struct RUVACOM;

// Before the last pass: the matrices the Hougaard skewness is taken under.
void prepare_hougaard(RUVACOM* ctx);
// The last data pass of the group, with the used-observation bitmap; the
// optimiser's SSE is kept.
void run_last_pass(RUVACOM* ctx);
// The inverse of the cross products (or the covariance under the active
// constraints) into the parameter block of xpx, the cross products into
// xpx2, the parameter statuses into parmdf. Parameters NEWTON's steps left
// where they were because the Hessian curves down along them count as
// estimated; with `warn_frozen` a warning names them.
void form_covariance(RUVACOM* ctx, bool warn_frozen);
// The covariance of the estimates could not be formed: its elements become
// missing (standard errors are not available), with a warning and return
// code 4.
void mark_covariance_unavailable(RUVACOM* ctx);
// The diagnostics, profiling, bootstrap, result tables, estimates and
// contrasts, each when requested and the fit allows it.
void hand_over_results(RUVACOM* ctx, int rc, COV_CHECK_STATUS cs);
// Shows message 305/number, whose one insert names the BY group, in the
// listing (under the group's BY line, so without it) and in the log.
void note(RUVACOM* ctx, int number);
