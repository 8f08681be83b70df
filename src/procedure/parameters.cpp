// The per-parameter arrays of the step and the grid of starting values.
#include <algorithm>
#include <climits>
#include <cstring>

#include "host/missing.h"
#include "host/narrow_strings.h"
#include "host/kernel_requests.h"
#include "host/services.h"
#include "procedure/group_name.h"
#include "procedure/step_memory.h"
#include "procedure/procedure_context.h"
#include "procedure/starting_values.h"

namespace {

constexpr int kMsgNoValues = 63;
constexpr int kMsgPdataNoValue = 129;
constexpr int kMsgPdataSync = 128;
constexpr int kMsgGridTooLarge = 802;
constexpr int kMsgGridTableTooLarge = 981;
// What one cell of a printed grid row costs until the step's output is
// rendered (measured: about 500 bytes for a row of three cells).
constexpr double kGridCellBytes = 160;
constexpr double kBytesPerMB = 1048576;
constexpr int kValueGrowth = 10;
constexpr int kMinNameWidth = 8;

CMPLIST* new_list(RUVACOM* ctx, int room) {
  auto* list = ruva_new<CMPLIST>();
  if (!list || cmplsta(list, room, &ctx->globcmp) != 0 || !list->s) xexit(1016, 0);
  return list;
}

// The entry of the parameter data set for `sym`, or null.
RUVAPARMSTR* pdata_entry(const RUVACOM* ctx, const CMPSYM* sym) {
  const RUVA_PDATA* pd = ctx->pdata;
  if (!pd) return nullptr;
  for (int i = 0; i < pd->npstr; ++i)
    if (pd->pstr[i].sym == sym) return &pd->pstr[i];
  return nullptr;
}

// The values of the current BY group of the parameter data set; false
// (after notes 305/129) when a parameter of the data set has none here.
// Only the parameters of the fit need one: a name of the data set that the
// model was found not to use was dropped, and its values are never read.
bool read_pdata_group(RUVACOM* ctx) {
  RUVA_PDATA* pd = ctx->pdata;
  if (xbysync(pd->fid, ctx->fiddata) != 0) {
    xpmlog(305, kMsgPdataSync);
    xexit(1012, 0);
  }
  for (int i = 0; i < pd->npstr; ++i) pd->pstr[i].npoint = 0;
  xbyrwnd(pd->fid, kXoGroupStart);
  pd->xoparm = XO_PARMS{};
  pd->xoparm.file = pd->fid;
  while (xybyget(&pd->xoparm) == 0 && pd->fid->current) {
    xyvget(pd->get, 0);
    if (is_missing(pd->estval)) continue;
    int length = 0, start = 0;
    wzstjls(pd->parmname, pd->parmlen, 'l', &length, &start);
    CMPSYM* sym = cmpsyms(pd->parmname, length, &ctx->globcmp);
    if (RUVAPARMSTR* entry = sym ? pdata_entry(ctx, sym) : nullptr) append_start_value(entry, pd->estval);
  }
  bool complete = true;
  for (int i = 0; i < ctx->nparm; ++i) {
    const CMPSYM* sym = ctx->parmsym->s[i];
    const RUVAPARMSTR* entry = pdata_entry(ctx, sym);
    if (!entry || entry->npoint > 0) continue;
    xpmlog(305, kMsgPdataNoValue, sym->nameleng, sym->name, group_name(ctx).c_str());
    complete = false;
  }
  if (!complete) ruva_raise_rc(ctx, 4);
  return complete;
}

// Near-duplicates go from the data set's lists every time they are read,
// from the PARMS values once.
void remove_duplicates(RUVACOM* ctx) {
  for (int i = 0; i < ctx->nparm; ++i) {
    CMPSYM* sym = ctx->parmsym->s[i];
    if (sym->ninit < 1) {
      RUVAPARMSTR* entry = pdata_entry(ctx, sym);
      if (entry && entry->npoint > 1) RemoveDups(entry->vals, &entry->npoint, sym);
    } else if (ctx->bycnt == 0 && sym->ninit > 1) {
      RemoveDups(sym->init, &sym->ninit, sym);
    }
  }
}

// A parameter listed without values takes a copy of those of the next
// parameter after it that has PARMS values (PARMS a b c = 1 2 3).
void borrow_values(RUVACOM* ctx, int i, RUVAPARMSTR* p) {
  for (int j = i + 1; j < ctx->nparm; ++j) {
    const CMPSYM* lender = ctx->parmsym->s[j];
    if (lender->ninit < 1) continue;
    if (p->alloc < lender->ninit) {
      p->vals = ruva_new_or_exit<double>(lender->ninit);
      p->alloc = lender->ninit;
    }
    std::memcpy(p->vals, lender->init, sizeof(double) * static_cast<std::size_t>(lender->ninit));
    p->npoint = lender->ninit;
    return;
  }
  xpmlog(305, kMsgNoValues, p->sym->nameleng, p->sym->name);
  xexit(1012, 0);
}

void fill_grid(RUVACOM* ctx) {
  long long points = 1;
  for (int i = 0; i < ctx->nparm; ++i) {
    CMPSYM* sym = ctx->parmsym->s[i];
    RUVAPARMSTR* p = &ctx->parms[i];
    ctx->pname[i] = const_cast<char*>(sym->name);
    p->sym = sym;
    p->loc = i;
    if (const RUVAPARMSTR* entry = pdata_entry(ctx, sym)) {
      p->npoint = entry->npoint;
      p->vals = entry->vals;
      p->alloc = 0;
    } else if (sym->ninit > 0) {
      p->npoint = sym->ninit;
      p->vals = sym->init;
      p->alloc = 0;
    } else {
      borrow_values(ctx, i, p);
    }
    points *= p->npoint;
    if (points > INT_MAX) {
      xpmlog(305, kMsgGridTooLarge, INT_MAX);
      xexit(1012, 0);
    }
  }
  ctx->npoints = static_cast<std::int32_t>(points);
}

void set_name_width(RUVACOM* ctx) {
  int width = kMinNameWidth;
  for (int i = 0; i < ctx->nparm; ++i) width = std::max<int>(width, ctx->parmsym->s[i]->nameleng);
  ctx->maxnamelen = width;
}

void set_points_kept(RUVACOM* ctx) {
  if (ctx->nrank >= 0) ctx->nsave = std::min(ctx->nrank + 1, ctx->npoints);
  else ctx->nsave = std::min(ctx->npoints, 1);
}

// The grid table holds every point printed (all of them without BEST=)
// until the step's output is rendered. A table that cannot be held ends the
// step before the search allocates anything.
void refuse_grid_table_beyond_memory(RUVACOM* ctx) {
  if (ctx->noprint || ctx->noitprint || ctx->npoints <= 1) return;
  const double rows = ctx->nrank < 0 ? ctx->npoints : std::min(ctx->nrank, ctx->npoints);
  const double bytes = rows * (ctx->nparm + 1) * kGridCellBytes;
  double available = 0;
  if (qxmrlmem(&available, 0) != 0 || bytes <= available) return;
  xpmlog(305, kMsgGridTableTooLarge, static_cast<double>(ctx->npoints), bytes / kBytesPerMB, available / kBytesPerMB);
  xexit(1012, 0);
}

}  // namespace

void append_start_value(RUVAPARMSTR* entry, double value) {
  if (entry->npoint >= entry->alloc) {
    auto* grown = ruva_new_or_exit<double>(entry->alloc + kValueGrowth);
    if (entry->npoint > 0) std::memcpy(grown, entry->vals, sizeof(double) * static_cast<std::size_t>(entry->npoint));
    ruva_free(entry->vals);
    entry->vals = grown;
    entry->alloc += kValueGrowth;
  }
  entry->vals[entry->npoint++] = value;
}

double first_starting_value(const RUVACOM* ctx, const CMPSYM* sym) {
  if (const RUVAPARMSTR* entry = pdata_entry(ctx, sym))
    return entry->npoint > 0 && entry->vals ? entry->vals[0] : 0.0;
  if (sym->ninit > 0) return sym->init[0];
  const CMPLIST* list = ctx->parmsym;
  int i = 0;
  while (i < list->n && list->s[i] != sym) ++i;
  for (int j = i + 1; j < list->n; ++j)
    if (list->s[j]->ninit > 0) return list->s[j]->init[0];
  return 0.0;
}

void nlseprm(RUVACOM* ruvaptr) {
  RUVACOM* ctx = ruvaptr;
  ctx->nparm = ctx->parmsym ? ctx->parmsym->n : -1;
  if (ctx->nparm >= 0) {
    ctx->parm = ruva_new<double>(ctx->nparm + 1);
    ctx->pname = ruva_new<char*>(ctx->nparm + 1);
    if (!ctx->parm || !ctx->pname) ruva_out_of_memory(static_cast<long>(sizeof(double)) * (ctx->nparm + 1));
  }
  if (const long shortfall = xmemdef(); shortfall > 0) ruva_out_of_memory(shortfall);
  ctx->npoints = 1;
  const int room = std::max(ctx->nparm, 1);
  ctx->dersym = new_list(ctx, room);
  ctx->needer = new_list(ctx, room);
}

int nlparms(RUVACOM* ruva) {
  RUVACOM* ctx = ruva;
  const bool per_group = ctx->pdata && ctx->pdata->by;
  const bool build = ctx->bycnt == 0 || per_group;
  if (build) {
    ctx->npoints = 1;
    if (!ctx->parms && ctx->nparm > 0) ctx->parms = ruva_new_or_exit<RUVAPARMSTR>(ctx->nparm);
    if (per_group && !read_pdata_group(ctx)) return 1;
    remove_duplicates(ctx);
    fill_grid(ctx);
    set_name_width(ctx);
  }
  set_points_kept(ctx);
  if (build) refuse_grid_table_beyond_memory(ctx);
  return 0;
}
