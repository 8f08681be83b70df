#include "procedure/outest_data_set.h"

#include <algorithm>
#include <cstring>

#include "host/services.h"
#include "procedure/data_set_rows.h"
#include "procedure/procedure_context.h"
#include "procedure/statement_lookup.h"

namespace {

constexpr int kMsgNoStorage = 8;
constexpr int kMsgTypeLabel = 130;
constexpr int kMsgStatusLabel = 54;
constexpr int kMsgNameLabel = 131;
constexpr int kMsgIterLabel = 132;
constexpr int kMsgSseLabel = 114;
constexpr int kMsgNotFitted = 75;
constexpr int kFixedVariables = 5;
constexpr int kStatusWidth = 12;
constexpr int kNameWidth = 32;
constexpr int kMaxLabel = 256;
constexpr char kDataSetLabel[] = "RUVA PARAMETER ESTIMATES";

int define(RUVACOM* ctx, const char* name, short type, int length, const char* label, int labellen,
           const void* cell, int bound_length) {
  const OutputVariable v{type, length, name, static_cast<int>(std::strlen(name)), label, labellen};
  return define_output_variable(ctx->outestxv, ctx->fiddata, v, cell, bound_length);
}

// A fixed variable, labelled by a message of the procedure's set.
void define_fixed(RUVACOM* ctx, const char* name, short type, int length, int label_msg, const void* cell,
                  int bound_length) {
  char label[kMaxLabel];
  const int n = wkread(305, label_msg, label, sizeof label);
  define(ctx, name, type, length, label, n, cell, bound_length);
}

int longest_parameter_name(const RUVACOM* ctx) {
  unsigned longest = 0;
  for (int i = 0; i < ctx->nparm; ++i)
    longest = std::max(longest, static_cast<unsigned>(static_cast<std::uint16_t>(ctx->parmsym->s[i]->nameleng)));
  return static_cast<int>(std::min(longest, static_cast<unsigned>(kNameWidth)));
}

void define_parameter(RUVACOM* ctx, int i) {
  const CMPSYM* sym = ctx->parmsym->s[i];
  const char* label = nullptr;
  const int labellen = symbol_label(sym, &label);
  define(ctx, sym->name, kNumeric, 8, label, labellen, &ctx->parm[i], 0);
}

}  // namespace

int jovesti() {
  RUVACOM* ctx = ruva_context();
  const int p = std::max(ctx->nparm, 0);
  xvputi(ctx->outestptr, ctx->nby + p + kFixedVariables, 32, &ctx->outestxv);
  if (!ctx->outestxv) {
    xpmlog(305, kMsgNoStorage);
    return 1;
  }
  const int name_width = longest_parameter_name(ctx);
  describe_output_data_set(ctx->outestptr, "EST", kDataSetLabel);
  if (ctx->nby > 0) xvputcv(ctx->outestxv, ctx->fiddata, stmt_field(ctx->prochead, 0)->v.f.u.nlistx, ctx->nby, 0);
  define_fixed(ctx, "_TYPE_", kCharacter, 8, kMsgTypeLabel, ctx->type, 8);
  define_fixed(ctx, "_STATUS_", kCharacter, kStatusWidth, kMsgStatusLabel, ctx->status, kStatusWidth);
  set_outest_status(ctx, kMsgNotFitted);
  define_fixed(ctx, "_NAME_", kCharacter, kNameWidth, kMsgNameLabel, ctx->name_, name_width);
  define_fixed(ctx, "_ITER_", kNumeric, 8, kMsgIterLabel, &ctx->iter, 0);
  define_fixed(ctx, "_SSE_", kNumeric, 8, kMsgSseLabel, &ctx->sse, 0);
  for (int i = 0; i < p; ++i) define_parameter(ctx, i);
  xvpute(ctx->outestxv);
  return 0;
}

void set_outest_type(RUVACOM* ctx, const char* type) {
  std::memset(ctx->type, ' ', sizeof ctx->type);
  std::memcpy(ctx->type, type, std::min(std::strlen(type), sizeof ctx->type));
  std::memset(ctx->name_, ' ', static_cast<std::size_t>(std::clamp(ctx->maxnamelen, 0, kNameWidth)));
}

// The status text is blank-padded: the row takes its first twelve bytes.
void set_outest_status(RUVACOM* ctx, int number) {
  char text[sizeof ctx->status];
  const int n = xpmstr(text, sizeof text, 305, number);
  std::memset(ctx->status, ' ', sizeof ctx->status);
  std::memcpy(ctx->status, text, static_cast<std::size_t>(std::max(n, 0)));
}

void write_outest_row(RUVACOM* ctx, const void* record) {
  append_row(ctx->outestptr, &ctx->outestxo, ctx->outestxv, record);
}
