#include "profile/fit_carried_state.h"

#include <cstring>

#include "host/services.h"
#include "procedure/procedure_context.h"

namespace {

constexpr int kMsgTemporaryArray = 752;

// Among the inputs of a symbol, a variable of the program's own that the
// program assigns is one that keeps its value between observations: an
// assigned variable that starts each observation afresh is no input (the
// data flow goes through it to what it is computed from).
bool retained_and_assigned(const CMPSYM* s) {
  return s->kind == 'v' && cmp_assigned(s) && s->dsvarno == 0 && s->kindcode != kCmpKindParms;
}

bool is_special(RUVACOM* ctx, const CMPSYM* s, const char* name) {
  return s == cmpsyms(name, static_cast<int>(std::strlen(name)), &ctx->globcmp);
}

std::string name_of(const CMPSYM* s) { return std::string(s->name, static_cast<std::size_t>(s->nameleng)); }

}  // namespace

std::string carried_into_prediction(RUVACOM* ctx) {
  CMPSYM* dep = ctx->depsym && ctx->depsym->n > 0 ? ctx->depsym->s[0] : nullptr;
  if (!dep) return "";
  const int n = cmpdeps(&ctx->globcmp, dep, 0, 0, 0);
  for (CMPSYM* s = n > 0 ? cmpndep(&ctx->globcmp, dep, nullptr, 0, 0) : nullptr; s;
       s = cmpndep(&ctx->globcmp, dep, s, 0, 0))
    if (retained_and_assigned(s) || is_special(ctx, s, "_OBS_") || is_special(ctx, s, "_N_")) return name_of(s);
  if (!cmp_reads_carried_array(dep)) return "";
  char text[128] = "";
  xpmstr(text, sizeof text, 305, kMsgTemporaryArray);
  return text;
}
