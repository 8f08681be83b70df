// The optimiser's output: iteration groups, the IterInfo table, the step
// report and the failure notes, delivered through the output-table library.
// A record without an output manager (`yolman`) delivers nothing.
#include "optim/optimiser_output.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "host/pool.h"
#include "host/services.h"
#include "optim/optimiser_internal.h"

#include "host/object_methods.h"
#include "host/output_tables.h"

namespace optim {
namespace {

constexpr int kTextBytes = 256;  // ppc_out, rpc_out

// "0.0123(b2)": a value with the name of its parameter, cut to the buffer.
void format_change(char* out, double value, int parameter, const ZOPTGLOBAL* g) {
  const char* name = g->opts.pname ? g->opts.pname[parameter] : "";
  std::snprintf(out, kTextBytes, "%.6g(%s)", value, name ? name : "");
}

void format_changes(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  if (!st.ppc_out || !st.rpc_out) return;
  st.ppc_out[0] = st.rpc_out[0] = '\0';
  if (st.worstp >= 0) format_change(st.ppc_out, st.ppc, st.worstp, g);
  if (st.iters != 0 && st.worstr >= 0 && !wzmis(st.rpc))
    format_change(st.rpc_out, st.rpc, st.worstr, g);
}

constexpr int kSelCreate = 147, kSelAttribute = 316, kSelColumn = 338, kSelEndDefinition = 298;
constexpr int kSelComplete = 299, kSelGroup = 300, kSelRow = 329, kSelOpenOutput = 422;
constexpr int kSelCloseOutput = 428, kSelOpenSection = 446, kSelCloseSection = 447;

xobskey text(const char* s) { return yoltxt(s, -1); }

void check_definition(int rc) {
  if (rc != 0) zyolexit(rc);
}

bool running_table(const ZOPTGLOBAL* g) {
  return g->opts.itprint < 2 && !g->opts.i && !g->opts.xpx;
}

void set_attribute(wobop data, const char* name, int value) {
  WOB_PARM_BLK_STR pb[2] = {wob_text(311, text(name)), wob_int(287, value)};
  wobmth(data, nullptr, kSelAttribute, 2, pb);
}

void add_column(ZOPTGLOBAL* g, int label, const char* name, const char* format, void* cell) {
  check_definition(yolinsc(g->opts.data, label ? yolmsg(kMessageSet, label) : text(""), name,
                           format, cell));
}

void add_detail_columns(ZOPTGLOBAL* g) {
  ZOPTSTATE& st = g->state;
  add_column(g, 827, "Subiteration", "d", &st.subiters);
  if (g->opts.method == 'M')
    add_column(g, 828, "lambda", "g", &st.marqu->lambda);
  else
    add_column(g, 823, "stepsize", "g", &g->lnsrch.damp);
  add_column(g, 810, "theta", "g", &st.theta);
  add_column(g, 809, "RankXPX", "d", &st.rankxpx);
  add_column(g, 811, "Phi", "g", &st.phi);
  st.ppc_out = static_cast<char*>(vmalcp_handler(g->mem.pool, kTextBytes, kPoolCleared));
  st.rpc_out = static_cast<char*>(vmalcp_handler(g->mem.pool, kTextBytes, kPoolCleared));
  if (st.ppc_out && st.rpc_out) {
    add_column(g, 815, "ppc", "l", st.ppc_out);
    add_column(g, 240, "rpc", "l", st.rpc_out);
  }
  if (st.max_conp > 0) add_column(g, 824, "ActiveConstraints", "d", &st.marqu->nact);
}

void add_parameter_columns(ZOPTGLOBAL* g) {
  for (int i = 0; i < nparms(g); ++i) {
    xobskey name = text(g->opts.pname[i]);
    WOB_PARM_BLK_STR pb[7] = {wob_int(272, 12),         wob_int(270, 89),
                              wob_text(138, name),       wob_text(296, name),
                              wob_cell(285, &g->state.parms[i]), wob_int(103, 5),
                              wob_text(339, text("parameter"))};
    const int rc = wobmth(g->opts.data, nullptr, kSelColumn, 7, pb);
    if (rc < 0) zyolexit(rc);
  }
}

int longest_name(const ZOPTGLOBAL* g) {
  int longest = 0;
  for (int i = 0; i < nparms(g); ++i)
    longest = std::max(longest, static_cast<int>(std::strlen(g->opts.pname[i])));
  return longest;
}

// Delivers the current row: a row of the running table, or the data object
// as a table of its own through an output object under the template.
int deliver_row(ZOPTGLOBAL* g, bool first) {
  if (running_table(g) && !first) return wobmth(g->opts.data, nullptr, kSelRow, 0, nullptr);
  WOB_PARM_BLK_STR open[3] = {wob_object(0, nullptr), wob_object(0, g->opts.data),
                              wob_text(339, g->opts.templ)};
  int rc = wobmth(g->opts.yolman, nullptr, kSelOpenOutput, 3, open);
  if (rc < 0) return rc;
  g->opts.output = open[0].d.op;
  rc = wobmth(g->opts.data, nullptr, kSelRow, 0, nullptr);
  WOB_PARM_BLK_STR complete = wob_int(300, 1);
  if (rc >= 0) rc = wobmth(g->opts.data, nullptr, kSelComplete, first ? 0 : 1, &complete);
  WOB_PARM_BLK_STR close = wob_object(0, g->opts.output);
  const int closed = wobmth(g->opts.yolman, nullptr, kSelCloseOutput, 1, &close);
  g->opts.output = nullptr;
  return rc < 0 ? rc : closed;
}

void open_group(ZOPTGLOBAL* g, const char* name, xobskey label) {
  WOB_PARM_BLK_STR pb[3] = {wob_text(138, text(name)), wob_text(296, label),
                            wob_object(144, nullptr)};
  const int rc = wobmth(g->opts.yolman, nullptr, kSelGroup, 3, pb);
  if (rc < 0) {
    xprrlog(0, rc);
    return;
  }
  g->opts.grp = pb[2].d.op;
}

// Row and column names of the step report: the parameter names, or under
// working constraints the projected rows with the border row named `resid`.
bool projected_names(const ZOPTGLOBAL* g) { return working_constraints(g) != 0 && g->opts.rname; }

char** report_names(ZOPTGLOBAL* g, int m, char** saved) {
  if (!projected_names(g)) return g->opts.pname;
  *saved = g->opts.rname[m];
  g->opts.rname[m] = g->opts.resid;
  return g->opts.rname;
}
void restore_names(ZOPTGLOBAL* g, int m, char* saved) {
  if (projected_names(g)) g->opts.rname[m] = saved;
}

void iteration_label(ZOPTGLOBAL* g, char* label) {
  const double iter = g->state.iters < 0 ? missing_value() : g->state.iters;
  znprnit(iter, g->opts.estype, label);
}

}  // namespace

void open_iteration_group(ZOPTGLOBAL* g, int iteration) {
  if (!g->opts.yolman) return;
  char name[32];
  std::snprintf(name, sizeof name, "estiter%i", iteration);
  open_group(g, name, yolmsgs(kMessageSet, 226, iteration));
}

void close_group(ZOPTGLOBAL* g) {
  if (!g->opts.grp) return;
  wob_end_group(g->opts.grp);
  g->opts.grp = nullptr;
}

void report_matrix(ZOPTGLOBAL* g, int m, bool swept) {
  if (!g->opts.yolman) return;
  char label[kIterLabelBytes];
  iteration_label(g, label);
  char* saved = nullptr;
  char** names = report_names(g, m, &saved);
  const int rc = yolmat(g->opts.yolman, text(swept ? "wyv.model.InvXPX" : "wyv.model.XPXMatrix"),
                        reinterpret_cast<xobskey*>(g->mem.wrk3), g->state.hes, m + 1, names, 12,
                        g->opts.ndecfmt, text(""),
                        swept ? yolmsg(kMessageSet, 203) : yolmsgs(kMessageSet, 284, label),
                        text(swept ? "InvXPXMat" : "XPXMat"));
  restore_names(g, m, saved);
  if (rc != 0) zyolexit(rc);
}

void report_singular_rows(ZOPTGLOBAL* g, int m) {
  if (!g->opts.yolman) return;
  WOB_PARM_BLK_STR pb[2] = {wob_text(138, text("SingularRows")),
                            wob_text(296, yolmsg(kMessageSet, 767))};
  wobmth(g->opts.yolman, nullptr, kSelOpenSection, 2, pb);
  const ZOPTSTATE& st = g->state;
  const int n = nparms(g);
  xpm(kMessageSet, 202, " ", st.rankxpx + st.marqu->inumconstr, n, n - st.rankxpx);
  char** names = projected_names(g) ? g->opts.rname : g->opts.pname;
  for (int j = 0; j < m; ++j)
    if (st.marqu->sweepx[j] == '0') xps("%s ", names[j]);
  xpoflsh();
  wobmth(g->opts.yolman, nullptr, kSelCloseSection, 0, nullptr);
}

void report_step(ZOPTGLOBAL* g, int m, int title) {
  if (!g->opts.yolman) return;
  char label[kIterLabelBytes];
  iteration_label(g, label);
  char* saved = nullptr;
  char** names = report_names(g, m, &saved);
  const int rc = yolvec(g->opts.yolman, text("wyv.model.pvec"),
                        reinterpret_cast<xobskey*>(g->mem.wrk3), g->state.marqu->delta, m, names,
                        12, g->opts.ndecfmt, yolmsgs(kMessageSet, title, label), text("ParmChange"));
  restore_names(g, m, saved);
  if (rc != 0) zyolexit(rc);
}

void note_marquardt_failed(int subiterations, double lambda) {
  xpmprn(kMessageSet, 64, subiterations, lambda);
}
void note_line_search_failed(int trials) { xpmprn(kMessageSet, 68, trials); }
void note_switched_to_marquardt() { xpmprn(kMessageSet, 634); }

}  // namespace optim

void znpitsu(ZOPTGLOBAL* g, int (*setup)(ZOPTGLOBAL*)) {
  using namespace optim;
  if (!g->opts.yolman) return;
  const bool running = running_table(g);
  WOB_PARM_BLK_STR pb[7] = {wob_chars(143, "yol", 3),       wob_chars(146, "data", 4),
                            wob_object(144, nullptr),        wob_int(148, -1),
                            wob_text(296, yolmsg(kMessageSet, 227)),
                            wob_text(138, text("IterInfo")), wob_int(332, 1)};
  const int created = wobmth(g->opts.yolman, nullptr, kSelCreate, running ? 7 : 6, pb);
  if (created < 0) zyolexit(created);
  g->opts.data = pb[2].d.op;
  set_attribute(g->opts.data, "Wrap", running ? 1 : 0);
  ZOPTSTATE& st = g->state;
  add_column(g, 0, "Esttype", "c", g->opts.estype);
  add_column(g, 800, "Iteration", "d", &st.iters);
  add_column(g, 802, "Nobs", "L", &st.nobs);
  add_column(g, 812, "R", "p", &st.r);
  add_column(g, 804, "Objective", "g", &st.objective);
  if (g->opts.details)
    add_detail_columns(g);
  else
    add_column(g, 233, "Nsubit", "d", &st.subiters);
  if (setup) setup(g);
  add_parameter_columns(g);
  set_attribute(g->opts.data, "maxnaml", std::max(9, longest_name(g) + 8));
  const int ended = wobmth(g->opts.data, nullptr, kSelEndDefinition, 0, nullptr);
  if (ended < 0) zyolexit(ended);
}

int znpit(ZOPTGLOBAL* g) {
  using namespace optim;
  const bool first = g->opts.data == nullptr && g->opts.yolman;
  if (first) {
    close_group(g);
    open_group(g, "esterr", yolmsg(kMessageSet, 399));
    znpitsu(g, nullptr);
  }
  if (g->opts.details) format_changes(g);
  if (!g->opts.yolman) return 0;  // no output manager: nothing to deliver to
  const int rc = deliver_row(g, first);
  if (first) {
    g->opts.data = nullptr;
    g->opts.output = nullptr;
    close_group(g);
  }
  if (rc < 0) {
    xprrlog(0, rc);
    return 1;
  }
  return 0;
}


char* znprnit(double iter, char* esttype, char* pit) {
  using namespace optim;
  char text[kIterLabelBytes / 2];
  const int length = wkread(kMessageSet, wzmis(iter) ? 283 : 282, text, sizeof text - 1);
  text[length > 0 ? length : 0] = '\0';
  const char* type = esttype ? esttype : "";
  if (wzmis(iter))
    std::snprintf(pit, kIterLabelBytes, "%s %.8s", text, type);
  else
    std::snprintf(pit, kIterLabelBytes, "%s%5.0f %.8s", text, iter, type);
  return pit;
}
