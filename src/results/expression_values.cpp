#include "results/expression_values.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "host/compiler_types.h"
#include "host/missing.h"
#include "host/services.h"
#include "host/statement_records.h"
#include "host/object_methods.h"
#include "linalg/vector_kernels.h"
#include "procedure/data_pass.h"
#include "procedure/group_name.h"
#include "procedure/inverse_in_use.h"
#include "procedure/model_run.h"
#include "procedure/procedure_context.h"
#include "results/result_output.h"

namespace {
constexpr int kMsgNotEvaluated = 603, kMsgLabel = 38;
constexpr int kRunFailed = 3;  // nlexec: this and above, the run failed
}  // namespace

bool run_expressions(RUVACOM* ctx) {
  // Derivatives are formed, and the run is no last pass: it neither reports
  // run errors nor executes PUT.
  const double model = ctx->model;
  const char lastpass = ctx->lastpass;
  ctx->model = 0.0;
  ctx->lastpass = 0;
  xbyrwnd(ctx->fiddata, kXoGroupStart);
  nlexint();
  bool ok = read_group_observation(ctx);
  if (ok) {
    cmpexi(0, 0, 0, &ctx->globcmp);
    move_observation(ctx);
    ok = nlexec(ctx) < kRunFailed;
  }
  if (ok) {
    ctx->seg = 1;
    ok = nlexec(ctx) < kRunFailed;
    ctx->seg = 0;
  }
  ctx->model = model;
  ctx->lastpass = lastpass;
  return ok;
}

bool evaluate_expressions(RUVACOM* ctx, const char* kind) {
  const bool ok = run_expressions(ctx);
  if (!ok) xpmlog(kResultMessages, kMsgNotEvaluated, kind, by_group_phrase(ctx).c_str());
  return ok;
}

void gradient_matrix(const RUVACOM* ctx, const CMPDER* record, double* const* cells, int rows, double* g,
                     char* underived) {
  const int p = ctx->nparm;
  std::memset(g, 0, sizeof(double) * static_cast<std::size_t>(rows) * static_cast<std::size_t>(p));
  if (underived) std::memset(underived, 0, static_cast<std::size_t>(rows));
  for (int i = 0; i < rows; ++i) {
    double* row = g + static_cast<long>(i) * p;
    for (int k = 0; k < record->der.n; ++k) {
      const int j = record->wrtindex[k];
      if (record->objindex[k] != i || j < 0 || j >= p) continue;
      const double d = *cells[k];
      if (wzmis(d)) {
        std::memset(row, 0, sizeof(double) * static_cast<std::size_t>(p));
        if (underived) underived[i] = 1;
        break;
      }
      row[j] = d;
    }
  }
}

void parameter_covariance(const RUVACOM* ctx, double* v) {
  const long n = static_cast<long>(ctx->nparm) * (ctx->nparm + 1) / 2;
  if (wzmis(ctx->mse)) {
    for (long k = 0; k < n; ++k) v[k] = special_missing_value();
    return;
  }
  zvscl11(v, inverse_in_use(ctx), n, ctx->mse);
}

void end_after_output_failure(int status) {
  if (status < 0 && status != kOutputSkipped) xexit(120, 0);
}

double statement_number(const STMT* s, int slot, double otherwise) {
  const STLIST* f = stmt_field(s, slot);
  return f && f->type == stfield::kNumber ? f->v.fval : otherwise;
}

// A text object column (type 66) rather than a character buffer, which
// would end the label at a NUL byte it holds.
bool label_column(ResultTable* t, RUVACOM* ctx, int width) {
  WOB_PARM_BLK_STR pb[5] = {wob_text(138, yoltxt("Label", -1)), wob_text(296, result_text(kMsgLabel)),
                            wob_cell(285, &ctx->outlabel), wob_int(289, std::max(width, 1)), wob_int(103, 66)};
  return t->column(pb, 5);
}

std::string logged_label(const char* label, int length) {
  std::string shown;
  for (int k = 0; label && k < length; ++k) shown += label[k] == '\0' ? std::string("\\x00") : std::string(1, label[k]);
  return shown;
}

void note_not_estimable(RUVACOM* ctx, int message, const char* label, int length) {
  const std::string shown = logged_label(label, length);
  xpmlog(kResultMessages, message, static_cast<int>(shown.size()), shown.c_str(), by_group_phrase(ctx).c_str());
}

void set_label(RUVACOM* ctx, int width, const char* text, int length) {
  ctx->outlabel = text && length > 0 ? yoltxt(text, std::min(length, width)) : nullptr;
}
