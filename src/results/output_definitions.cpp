// The definition of the OUTPUT data sets at set-up (see output_data_sets.h),
// and the level of their confidence limits.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "host/missing.h"
#include "host/name_list.h"
#include "host/services.h"
#include "procedure/data_set_rows.h"
#include "procedure/step_memory.h"
#include "procedure/procedure_context.h"
#include "procedure/statement_lookup.h"
#include "procedure/step_phases.h"
#include "results/output_data_sets.h"

namespace {

constexpr int kMsgNoLists = 16;
constexpr int kMsgBadAlpha = 60;
constexpr int kMsgParmsNames = 110;
constexpr int kMsgNoOut = 932;
// Labels of the ALPHA= limits, with their level: LCLM=, UCLM=, LCL=, UCL=.
constexpr int kLimitLabel[out_limit::kCount] = {982, 983, 984, 985};
constexpr int kFieldParms = 14, kFieldAlpha = 24, kFieldOut = 25;
constexpr int kDerBit = 1;
constexpr int kLabelWidth = 200;
constexpr int kMaxName = 32;
constexpr char kDataSetLabel[] = "RUVA OUTPUT DATASET";

// The label message of OUTPUT option k (0: no label).
constexpr int kSlotLabel[kOutputSlots + 1] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                              0, 0, 113, 114, 115, 116, 162, 163, 164, 165, 166};

bool is_output(const STMT* s) { return stmt_is(s, "OUTPUT"); }

// Defines the variables of one list; the statuses of the definitions
// accumulate in `status`.
struct Definer {
  RUVACOM* ctx;
  XV_VECTOR* list;
  int status = 0;

  void variable(short type, int length, const char* name, int namelen, const char* label, int labellen,
                const void* cell, int bound_length) {
    const OutputVariable v{type, length, name, namelen, label, labellen};
    status |= define_output_variable(list, ctx->fiddata, v, cell, bound_length);
  }
  void numeric(const char* name, int namelen, const char* label, int labellen, const void* cell) {
    variable(kNumeric, 8, name, namelen, label, labellen, cell, 0);
  }
};

// ID variables the program computes; those of the input data set come with
// the input variables.
void define_ids(Definer& def) {
  const CMPLIST* ids = def.ctx->id_vars;
  for (int i = 0; ids && i < ids->n; ++i) {
    const CMPSYM* sym = ids->s[i];
    int varnum = 0;
    if (xvfind(def.ctx->fiddata, sym->name, sym->nameleng, &varnum, 0) == 0) continue;
    const char* label = nullptr;
    const int labellen = symbol_label(sym, &label);
    if (sym->type == '$')
      def.variable(kCharacter, sym->length, sym->name, sym->nameleng, label, labellen, sym->data, sym->length);
    else
      def.numeric(sym->name, sym->nameleng, label, labellen, sym->data);
  }
}

// Option k's variable, bound to `cell`, when the option names one.
void define_statistic(Definer& def, const STMT* s, int k, const void* cell) {
  const char* name = nullptr;
  int namelen = 0;
  if (!field_name(stmt_field(s, k), 0, &name, &namelen)) return;
  char label[kLabelWidth];
  int labellen = 0;
  if (kSlotLabel[k]) labellen = std::clamp(xpmstr(label, kLabelWidth, 305, kSlotLabel[k]), 0, kLabelWidth);
  def.numeric(name, namelen, label, labellen, cell);
}

// The ALPHA= limits of the data set, in its own cells, labelled with the
// level of its statement.
void define_limits(Definer& def, const STMT* s, OutputSet* set) {
  for (int j = 0; j < out_limit::kCount; ++j) {
    const char* name = nullptr;
    int namelen = 0;
    if (!field_name(stmt_field(s, out_slot::kLclm + 1 + j), 0, &name, &namelen)) continue;
    char label[kLabelWidth];
    const int labellen =
        std::clamp(xpmstr(label, kLabelWidth, 305, kLimitLabel[j], 100 * (1 - set->alpha)), 0, kLabelWidth);
    def.numeric(name, namelen, label, labellen, &set->limit[j]);
  }
}

// PARMS=: the first names take the values of the parameters in order.
void define_parameter_names(Definer& def, const STMT* s) {
  RUVACOM* ctx = def.ctx;
  const STLIST* names = stmt_field(s, kFieldParms);
  if (!names) return;
  const int n = std::min(names->v.f.n, ctx->nparm);
  xpmlog(305, kMsgParmsNames);
  const char* name = nullptr;
  int namelen = 0;
  for (int i = 0; i < n && field_name(names, i, &name, &namelen); ++i) {
    const CMPSYM* parm = ctx->parmsym->s[i];
    const char* label = nullptr;
    const int labellen = symbol_label(parm, &label);
    def.numeric(name, namelen, label, labellen, &ctx->parm[i]);
    xpslog("%.*s = %.*s", namelen, name, static_cast<int>(parm->nameleng), parm->name);
  }
}

void define_derivatives(Definer& def) {
  RUVACOM* ctx = def.ctx;
  for (int i = 0; i < ctx->nparm; ++i) {
    const CMPSYM* parm = ctx->parmsym->s[i];
    char name[kMaxName + 8];
    const int namelen = std::snprintf(name, sizeof name, "DER_%.*s", static_cast<int>(parm->nameleng), parm->name);
    def.numeric(name, std::clamp(namelen, 0, static_cast<int>(sizeof name) - 1), nullptr, 0, ctx->derloc[i]);
  }
}

// The number of variables a statement's options add.
int requested_count(const STMT* s) {
  int k = 0;
  for (int f = 1; f <= kOutputSlots; ++f) k += stmt_field(s, f) ? 1 : 0;
  if (const STLIST* parms = stmt_field(s, kFieldParms)) k += parms->v.f.n - 1;
  return k;
}

// One statement's data set: 0, or nonzero when it cannot be defined. Its
// DER adds the derivatives to its own data set only, as its ALPHA= sets
// its own limits.
int define_data_set(RUVACOM* ctx, const STMT* s, int base_count, OutputSet* set) {
  const bool derivatives = stmt_bit(s, kDerBit);
  const STLIST* out = stmt_field(s, kFieldOut);
  set->file = out ? out->v.fid : nullptr;
  if (!set->file) {
    xpmlog(305, kMsgNoOut);
    return 0;
  }
  const int count = base_count + requested_count(s) + (derivatives ? ctx->nparm : 0);
  const int rc = xvputi(set->file, count, 0, &set->list);
  if (!set->list) {
    xpmlog(305, kMsgNoLists);
    return 1;
  }
  describe_output_data_set(set->file, "DATA", kDataSetLabel);
  Definer def{ctx, set->list};
  def.status |= xvputcv(set->list, ctx->fiddata, nullptr, -1, 0);
  define_ids(def);
  double* record = ctx->outobsptr;
  for (int k = 1; k <= out_slot::kStudent + 1; ++k) define_statistic(def, s, k, &record[k - 1]);
  define_limits(def, s, set);
  define_parameter_names(def, s);
  for (int k = out_slot::kH + 1; k <= kOutputSlots; ++k) {
    const void* cell = k == out_slot::kSse + 1      ? static_cast<const void*>(&ctx->sse)
                       : k == out_slot::kWeight + 1 ? static_cast<const void*>(ctx->weight)
                                                    : &record[k - 1];
    define_statistic(def, s, k, cell);
  }
  if (derivatives) define_derivatives(def);
  def.status |= xvpute(set->list);
  ctx->outptr = set->file;
  ctx->outxv = set->list;
  return rc | def.status;
}

// The level of a statement's ALPHA= limits: its ALPHA=, else (or when it
// is not a level) the PROC statement's. Each statement keeps its own.
double statement_alpha(const RUVACOM* ctx, const STMT* s) {
  const STLIST* f = stmt_field(s, kFieldAlpha);
  const double a = f ? f->v.fval : missing_value();
  if (is_missing(a)) return ctx->alpha;
  if (a > 0 && a < 1) return a;
  xpmlog(305, kMsgBadAlpha, a);
  return ctx->alpha;
}

}  // namespace

int jovouti() {
  RUVACOM* ctx = ruva_context();
  int v = 0;
  xoinfo(ctx->fiddata, kXoVariables, &v);
  ctx->nout = 0;
  for (const STMT* s = ctx->prochead; s; s = s->next) ctx->nout += is_output(s) ? 1 : 0;
  if (ctx->nout == 0) return 0;
  ctx->outobsptr = ruva_new<double>(kOutputSlots);
  ctx->outsets = ruva_new<OutputSet>(ctx->nout);
  if (!ctx->outobsptr || !ctx->outsets) {
    xpmlog(305, kMsgNoLists);
    return 1;
  }
  const int base = v + (ctx->id_vars ? ctx->id_vars->n : 0);
  int rc = 0;
  OutputSet* set = ctx->outsets;
  for (const STMT* s = ctx->prochead; s; s = s->next) {
    if (!is_output(s)) continue;
    set->alpha = statement_alpha(ctx, s);
    if (const int r = define_data_set(ctx, s, base, set++)) rc |= r;
  }
  // The level of the first statement stands for the step's.
  ctx->outalpha = ctx->outsets[0].alpha;
  return rc;
}
