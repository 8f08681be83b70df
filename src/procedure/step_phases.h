// The phases of a step as the driver `kovruva` calls them, the BY-group
// entries, and the clean-up entries of the task.
#pragma once

struct RUVACOM;

// Set-up: options, parameters, derivatives, bounds, requests and the
// optimiser run record; 0 = set up, nonzero = failed (the step ends with 1012).
int ruvaint(RUVACOM* ctx);

// The parameter-estimates (OUTEST=) and OUTPUT data sets are defined;
// nonzero = failed (the step ends with 1016).
int jovesti();
int jovouti();

// Profiling and bootstrap are prepared; nonzero switches that analysis off.
int init_for_profiling(RUVACOM* ctx);
int init_for_bootstrapping(RUVACOM* ctx);

// One BY group: the grid search (nonzero skips the estimation and the OUTPUT
// pass of the group), the estimation with its results, the OUTPUT pass.
int jovgrid(RUVACOM* ctx);
void jovopt(RUVACOM* ctx);
void jovout(RUVACOM* ctx);

// Frees the per-group storage and restarts the bootstrap stream.
void reset_for_next_bygroup(RUVACOM* ctx);

// Loads the kernel-library extensions the request needs. An analysis whose
// extension cannot be loaded is noted as not available and switched off;
// the extensions loaded stay loaded.
void load_req_qx_extensions(RUVACOM* ctx);
// Releases every loaded extension once and clears its handle.
void unload_qx_extensions(RUVACOM* ctx);

// End of task: publishes the bootstrap seeds, destroys the kernel-library
// instances, unloads the extensions and purges the compiled program; does
// nothing without a context or for one already cleaned up.
void RUVAEndofTask();
// The same for a given context; the purge is skipped when the context was
// cleaned up already. Returns 0.
int ruvapurg(RUVACOM* ctx);
