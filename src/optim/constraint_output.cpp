// Output of the constrained steps: the working constraint matrix and its
// factor on the listing, the multiplier estimates, the feasibility phase's
// correction and point, and the notes about the working set. The working
// rows are labelled with their constraints' own names: the caller's row
// names cover only the parameter rows.
#include <algorithm>
#include <cstring>

#include "host/matrix_printer.h"
#include "host/output_tables.h"
#include "host/services.h"
#include "optim/optimiser_internal.h"
#include "optim/optimiser_output.h"

namespace optim {
namespace {

constexpr int kTextBytes = 256;

ZOPTGLOBAL* run_of(PMATSTR* pma) {
  return static_cast<ZOPTGLOBAL*>(pma->miscptr);
}

char* constraint_name(const ZOPTGLOBAL* g, int row) {
  char* name = row < working_constraints(g) ? g->state.conp[row]->name : nullptr;
  return name ? name : const_cast<char*>("");
}

char* parameter_name(const ZOPTGLOBAL* g, int col) {
  char* name = g->opts.pname ? g->opts.pname[col] : nullptr;
  return name ? name : const_cast<char*>("");
}

void centred(const char* text, int width) {
  xpfmtcv(0, text, static_cast<int>(std::strlen(text)), width, 0);
}

int longest(const ZOPTGLOBAL* g, int count, char* (*name)(const ZOPTGLOBAL*, int)) {
  int widest = 1;
  for (int i = 0; i < count; ++i)
    widest = std::max(widest, static_cast<int>(std::strlen(name(g, i))));
  return widest;
}

// The text of a message of the optimiser's set into buffer.
char* message_text(int number, char* buffer) {
  const int length = wkread(kMessageSet, number, buffer, kTextBytes - 1);
  buffer[std::max(length, 0)] = '\0';
  return buffer;
}

}  // namespace

void print_constraint_matrix(ZOPTGLOBAL* g, double** rows, int title) {
  const int m = working_constraints(g);
  if (m < 1) return;
  char title_text[kTextBytes], corner_text[kTextBytes];
  PMATSTR request{};
  request.rows = m;
  request.cols = nparms(g);
  request.matrix = rows[0];
  request.rowfun = rowp;
  request.colfun = colp;
  request.rowsize = longest(g, m, constraint_name);
  request.colsize = longest(g, nparms(g), parameter_name);
  request.title = message_text(title, title_text);
  request.corner = message_text(668, corner_text);
  request.miscptr = g;
  zpmat2(&request);
}

int report_parameter_vector(ZOPTGLOBAL* g, double* values, const char* templ, int title,
                            const char* name) {
  if (!g->opts.yolman) return 0;
  return yolvec(g->opts.yolman, yoltxt(templ, -1), reinterpret_cast<xobskey*>(g->mem.wrk2), values,
                nparms(g), g->opts.pname, 12, 99, yolmsg(kMessageSet, title), yoltxt(name, -1));
}

void report_full_step(ZOPTGLOBAL* g) {
  const int rc =
      report_parameter_vector(g, g->state.marqu->delta, "wyv.model.pvec", 677, "ParmChange");
  if (rc != 0) zyolexit(rc);
}

void report_multipliers(ZOPTGLOBAL* g, double* values, int title, const char* name) {
  const int m = working_constraints(g);
  if (!g->opts.yolman || m < 1) return;
  // wrk2 holds 2 max(n, C) + 2 slots: the text objects, then the names.
  auto* texts = reinterpret_cast<xobskey*>(g->mem.wrk2);
  auto** names = reinterpret_cast<char**>(g->mem.wrk2 + m);
  for (int j = 0; j < m; ++j) names[j] = constraint_name(g, j);
  const int rc = yolvec(g->opts.yolman, yoltxt("wyv.model.vec", -1), texts, values, m, names, 12,
                        99, yolmsg(kMessageSet, title), yoltxt(name, -1));
  if (rc != 0) zyolexit(rc);
}

void report_feasibility_pass(ZOPTGLOBAL* g, double* correction) {
  report_parameter_vector(g, correction, "wyv.model.pvec", 671, "ParmChange");
  report_parameter_vector(g, g->state.parms, "wyv.model.vec", 335, "ParmVector");
}

void note_feasibility_failed(int passes) {
  xpmprn(kMessageSet, 670, passes);
}
// The listing shows the note under the caller's own headings; the log
// says which fit it belongs to.
void note_dependent_constraints() {
  xpmprn(kMessageSet, 682, "");
}
void log_dependent_constraints(const ZOPTGLOBAL* g) {
  xpmlog(kMessageSet, 682, g->opts.where ? g->opts.where : "");
}

}  // namespace optim

void rowp(PMATSTR* pma, int row, int width) {
  optim::centred(optim::constraint_name(optim::run_of(pma), row), width);
}

void colp(PMATSTR* pma, int col, int width) {
  optim::centred(optim::parameter_name(optim::run_of(pma), col), width);
}
