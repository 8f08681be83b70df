// Reading the observations of the current BY group, for every pass over it.
#include "host/services.h"
#include "procedure/data_pass.h"
#include "procedure/procedure_context.h"

namespace {
constexpr int kReadErrorSeverity = 1;
}  // namespace

// A read error ends the pass at once: the record that was current before
// stays behind and is never taken as the next observation.
bool read_group_observation(RUVACOM* ctx) {
  XO_PARMS* parms = &ctx->xoparm;
  XO_FILE* file = ctx->fiddata;
  int status;
  if (file->flags & kXoDirect) {
    status = xybyget(parms);
  } else {
    parms->opcode = kXoNext;
    parms->flags |= kXoByGroup;
    status = file->read(parms);
  }
  if (status != 0 || (file->flags & kXoError)) {
    xofprc(parms, status, kReadErrorSeverity);
    return false;
  }
  if (!file->current) return false;
  ++file->nobs;
  parms->record = file->current;
  return true;
}

void move_observation(RUVACOM* ctx) {
  XV_VECTOR* v = ctx->dataptr;
  if (!v) return;
  if ((v->flags & kXvOwnOperation) && v->source && v->get) v->get(v, 0);
  else xyvget(v, 0);
}

// Only the records are counted: the program has nothing to do with it.
void determine_n_obs(RUVACOM* ctx) {
  ctx->nobs = 0;
  xbyrwnd(ctx->fiddata, kXoGroupStart);
  ctx->xoparm.file = ctx->fiddata;
  while (read_group_observation(ctx)) ++ctx->nobs;
}
