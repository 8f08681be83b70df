// The ANOVA table: model, error and total rows (with TOTALSS a blank row
// and the other total as well), and with a loss function a last row with
// the objective the fit minimised.
#include <algorithm>
#include <cstring>

#include "host/missing.h"
#include "host/services.h"
#include "procedure/step_memory.h"
#include "procedure/procedure_context.h"
#include "results/anova.h"
#include "results/result_output.h"

namespace {

constexpr int kMsgSource = 22;  // 22 model, 23 error, 24 uncorrected total, 25 corrected total
enum Source { kModel = 0, kError = 1, kUncorrectedTotal = 2, kCorrectedTotal = 3 };
constexpr int kMsgTitle = 26, kMsgSourceLabel = 28, kMsgDf = 29, kMsgWeightedSS = 30, kMsgWeightedMS = 31;
constexpr int kMsgSS = 32, kMsgMS = 33, kMsgLoss = 34, kMsgF = 69, kMsgProbF = 70;
constexpr int kMsgNoIntercept = 71, kMsgSingular = 62;

// The cells the columns are bound to.
struct AnovaRow {
  char* source = nullptr;
  int width = 0;
  double df, ss, ms, f, p;

  void clear() {
    std::memset(source, ' ', static_cast<std::size_t>(width));
    source[width] = '\0';
    df = ss = ms = f = p = missing_value();
  }
  void label(int message) { xpmstr(source, width + 1, kResultMessages, message); }
};

int message_length(int number) {
  char text[256];
  return std::max(0, wkread(kResultMessages, number, text, sizeof text));
}

int source_width(const RUVACOM* ctx) {
  int widest = 1;
  for (int k = kMsgSource; k <= kMsgSource + kCorrectedTotal; ++k) widest = std::max(widest, message_length(k));
  if (ctx->lossflag) widest = std::max(widest, message_length(kMsgLoss));
  return widest;
}

bool define(ResultTable* t, RUVACOM* ctx, AnovaRow* r) {
  WOB_PARM_BLK_STR source[5] = {wob_int(103, 6), wob_int(289, r->width), wob_cell(285, r->source),
                                wob_text(296, result_text(kMsgSourceLabel)),
                                wob_text(138, yoltxt("Source", -1))};
  const bool weighted = ctx->weightflag != 0;
  return t->column(source, 5) && t->column(kMsgDf, "DF", "g", &r->df) &&
         t->column(weighted ? kMsgWeightedSS : kMsgSS, "SS", "g", &r->ss) &&
         t->column(weighted ? kMsgWeightedMS : kMsgMS, "MS", "g", &r->ms) &&
         t->column(kMsgF, "FValue", "g", &r->f) && t->column(kMsgProbF, "ProbF", "g", &r->p);
}

bool total_row(ResultTable* t, AnovaRow* r, const AnovaFigures& a, Source which) {
  r->clear();
  r->label(kMsgSource + which);
  const bool corrected = which == kCorrectedTotal;
  r->df = static_cast<double>(corrected ? a.corrected_df : a.uncorrected_df);
  r->ss = corrected ? a.corrected_ss : a.uncorrected_ss;
  return t->row();
}

bool rows(ResultTable* t, RUVACOM* ctx, AnovaRow* r, const AnovaFigures& a) {
  r->clear();
  r->label(kMsgSource + kModel);
  r->df = static_cast<double>(a.model_df);
  r->ss = a.model_ss;
  r->ms = a.model_ms;
  r->f = a.f;
  r->p = a.p;
  if (!t->row()) return false;
  r->clear();
  r->label(kMsgSource + kError);
  r->df = static_cast<double>(a.error_df);
  r->ss = a.error_ss;
  r->ms = a.error_ms;
  if (!t->row()) return false;
  const Source first = a.corrected ? kCorrectedTotal : kUncorrectedTotal;
  if (!total_row(t, r, a, first)) return false;
  if (ctx->totalss) {
    r->clear();
    if (!t->row() || !total_row(t, r, a, first == kCorrectedTotal ? kUncorrectedTotal : kCorrectedTotal))
      return false;
  }
  if (!ctx->lossflag) return true;
  r->clear();
  r->label(kMsgLoss);
  r->ss = ctx->sse;
  return t->row();
}

}  // namespace

int print_anova(RUVACOM* ctx, const AnovaFigures& a, bool singular) {
  AnovaRow r;
  r.width = source_width(ctx);
  r.source = static_cast<char*>(ruva_alloc(r.width + 1));
  if (!r.source) ruva_out_of_memory(r.width + 1);
  ResultTable t(ctx->yolman);
  const VARSTRING& dep = ctx->depname;
  const bool done = t.create_table("ANOVA", yolmsgs(kResultMessages, kMsgTitle, static_cast<int>(dep.l),
                                                    dep.s ? dep.s : "")) &&
                    define(&t, ctx, &r) && t.open("stat.ruva.ANOVA", a.corrected ? nullptr : result_text(kMsgNoIntercept)) &&
                    rows(&t, ctx, &r, a) && t.finish(singular ? yolmsgs(kResultMessages, kMsgSingular, "") : nullptr);
  ruva_free(r.source);
  return done ? 0 : t.status;
}
