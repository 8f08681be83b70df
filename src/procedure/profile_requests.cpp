// PROFILE statements into the profile control record: which parameters are
// profiled, for what (t-plot, confidence curve, jackknife) and over which
// range of the profile statistic.
#include <algorithm>
#include <vector>

#include "host/missing.h"
#include "host/services.h"
#include "procedure/step_memory.h"
#include "procedure/procedure_context.h"
#include "procedure/setup.h"
#include "procedure/statement_lookup.h"
#include "procedure/step_exit.h"

namespace {

constexpr int kNamesSlot = 1, kDataSlot = 2, kFromSlot = 4, kToSlot = 5, kBySlot = 6;
constexpr int kTplot = 1, kConfcurv = 2, kJackknife = 3, kAll = 4, kRange = 5;
constexpr int kMsgNoList = 432;
constexpr int kMsgNotParameter = 434;
constexpr int kMsgIncompleteRange = 437;
constexpr int kMsgNowhereToGo = 976;
constexpr int kMsgBadRange = 803;
constexpr int kMsgGridTooLarge = 950;
// Grid points of one parameter's profile, each a refit.
constexpr double kMaxGridPoints = 10000;

// One statement's requests, parameters and range.
struct Request {
  char t, c, j;
  std::vector<CMPSYM*> parms;
  double from, to, by;
};

void read_what(const STMT* s, Request* r) {
  const bool all = stmt_bit(s, kAll);
  r->t = all || stmt_bit(s, kTplot);
  r->c = all || stmt_bit(s, kConfcurv);
  r->j = all || stmt_bit(s, kJackknife);
  if (!r->t && !r->c && !r->j) r->t = r->c = 1;
}

// The parameters named, or all of them for an empty list.
void read_parameters(RUVACOM* ctx, const STMT* s, Request* r) {
  const STLIST* names = stmt_field(s, kNamesSlot);
  if (!names) {
    xpmlog(305, kMsgNoList);
    ruva_exit(3000);
  }
  if (names->v.f.n == 0) {
    r->parms.assign(ctx->parmsym->s, ctx->parmsym->s + ctx->parmsym->n);
    return;
  }
  const char* name = nullptr;
  int length = 0;
  for (int i = 0; field_name(names, i, &name, &length); ++i) {
    CMPSYM* sym = cmpsyms(name, length, &ctx->globcmp);
    if (!sym || get_parm_index(ctx->parmsym, sym) < 0) {
      xpmlog(305, kMsgNotParameter, length, name);
      continue;
    }
    if (std::find(r->parms.begin(), r->parms.end(), sym) == r->parms.end()) r->parms.push_back(sym);
  }
}

// A jackknife-only statement has no range; RANGE= needs all three values.
void read_range(const STMT* s, Request* r) {
  r->from = r->to = r->by = missing_value();
  if (!r->t && !r->c) return;
  if (!stmt_bit(s, kRange)) {
    r->from = -2.0, r->to = 2.0, r->by = 0.2;
    return;
  }
  const STLIST* from = stmt_field(s, kFromSlot);
  const STLIST* to = stmt_field(s, kToSlot);
  const STLIST* by = stmt_field(s, kBySlot);
  if (!from || !to || !by) {
    xpmlog(305, kMsgIncompleteRange);
    ruva_exit(3000);
  }
  r->from = from->v.fval, r->to = to->v.fval, r->by = by->v.fval;
  // A range that never ends would keep the profiling from ending.
  const bool given = !is_missing(r->from) && !is_missing(r->to) && !is_missing(r->by);
  if (given && !(r->by > 0 && r->from <= r->to)) {
    xpmlog(305, kMsgBadRange, r->from, r->to, r->by);
    ruva_exit(3000);
  }
  if (given && (r->to - r->from) / r->by >= kMaxGridPoints) {
    xpmlog(305, kMsgGridTooLarge, r->from, r->to, r->by, static_cast<int>(kMaxGridPoints));
    ruva_exit(3000);
  }
}

void record(RUVACOM* ctx, RUVAPROFILE_CONTROL* p, const STMT* s, const Request& r) {
  p->graph.u_tplot_flag |= r.t;
  p->graph.u_confcurv_flag |= r.c;
  p->graph.u_jackknife_flag |= r.j;
  if (const STLIST* data = stmt_field(s, kDataSlot)) {
    p->data.fid = data->v.fid;
    p->data.data_flag = 1;
  }
  for (CMPSYM* sym : r.parms) {
    if (cmplstx(&p->comp.prof_parms, sym, &ctx->globcmp) != 0) ruva_out_of_memory(sizeof sym);
    const int i = get_parm_index(ctx->parmsym, sym);
    p->graph.tplot_flag[i] |= r.t;
    p->graph.confcurv_flag[i] |= r.c;
    p->graph.jackknife_flag[i] |= r.j;
  }
}

// Per profiled parameter: the widest range and finest step of the
// statements that name it with a range.
void merge_ranges(RUVAPROFILE_CONTROL* p, const std::vector<Request>& requests) {
  const int n = p->comp.prof_parms.n;
  double* block = ruva_new_or_exit<double>(3 * n);
  p->comp.from = block, p->comp.to = block + n, p->comp.by = block + 2 * n;
  for (int k = 0; k < n; ++k) {
    const CMPSYM* sym = p->comp.prof_parms.s[k];
    double from = missing_value(), to = missing_value(), by = missing_value();
    for (const Request& r : requests) {
      if (is_missing(r.from) || is_missing(r.to) || is_missing(r.by)) continue;
      if (std::find(r.parms.begin(), r.parms.end(), sym) == r.parms.end()) continue;
      from = is_missing(from) ? r.from : std::min(from, r.from);
      to = is_missing(to) ? r.to : std::max(to, r.to);
      by = is_missing(by) ? r.by : std::min(by, r.by);
    }
    p->comp.from[k] = from, p->comp.to[k] = to, p->comp.by[k] = by;
  }
}

}  // namespace

int process_profile_stmts(RUVACOM* ctx) {
  STMT* last = nullptr;
  if (FindStmt("PROF", &last) == 0) {
    ctx->no_prof_flag = 1;
    return 0;
  }
  auto* p = ruva_new_or_exit<RUVAPROFILE_CONTROL>();
  ctx->ruvaprofile_control = p;
  const int n = std::max(ctx->nparm, 1);
  char* flags = ruva_new_or_exit<char>(3 * n);
  p->graph.tplot_flag = flags, p->graph.confcurv_flag = flags + n, p->graph.jackknife_flag = flags + 2 * n;
  std::vector<Request> requests;
  for (STMT* s = ctx->prochead; s; s = s->next) {
    if (!stmt_is(s, "PROF")) continue;
    Request r{};
    read_what(s, &r);
    read_parameters(ctx, s, &r);
    read_range(s, &r);
    record(ctx, p, s, r);
    requests.push_back(std::move(r));
  }
  if ((p->graph.u_tplot_flag || p->graph.u_confcurv_flag) && p->comp.prof_parms.n > 0) merge_ranges(p, requests);
  // Without a data set or graphics the refits would show nothing.
  if (!p->data.data_flag && !ctx->yol_graphics_flag) {
    xpmlog(305, kMsgNowhereToGo);
    ctx->no_prof_flag = 1;
  }
  return 0;
}

XO_FILE* requested_profile_data(const RUVACOM* ctx) {
  XO_FILE* requested = nullptr;
  for (const STMT* s = ctx->prochead; s; s = s->next)
    if (const STLIST* data = stmt_is(s, "PROF") ? stmt_field(s, kDataSlot) : nullptr) requested = data->v.fid;
  return requested;
}
