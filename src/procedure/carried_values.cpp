#include "procedure/carried_values.h"

#include <cstring>

#include "host/services.h"
#include "procedure/procedure_context.h"

namespace {

constexpr int kMsgTemporaryArray = 752;

// Among the inputs of a symbol, a variable of the program's own that the
// program writes is one that keeps its value between observations: an
// assigned variable that starts each observation afresh is no input (the
// data flow goes through it to what it is computed from). An element of an
// array counts only when an assignment through the array can name it, so
// that the element that carries the value is the one named.
bool retained_and_written(RUVACOM* ctx, CMPSYM* s) {
  return s->kind == 'v' && cmp_assigned(s) && s->dsvarno == 0 && s->kindcode != kCmpKindParms &&
         cmpwrit(&ctx->globcmp, s) != 0;
}

bool is_special(RUVACOM* ctx, const CMPSYM* s, const char* name) {
  return s == cmpsyms(name, static_cast<int>(std::strlen(name)), &ctx->globcmp);
}

// _OBS_ and _N_ count the observations.
bool counts_observations(RUVACOM* ctx, const CMPSYM* s) {
  return is_special(ctx, s, "_OBS_") || is_special(ctx, s, "_N_");
}

std::string name_of(const CMPSYM* s) { return std::string(s->name, static_cast<std::size_t>(s->nameleng)); }

}  // namespace

std::string carried_input(RUVACOM* ctx, CMPSYM* s) {
  if (counts_observations(ctx, s)) return name_of(s);
  const int n = cmpdeps(&ctx->globcmp, s, 0, 0, 0);
  for (CMPSYM* d = n > 0 ? cmpndep(&ctx->globcmp, s, nullptr, 0, 0) : nullptr; d;
       d = cmpndep(&ctx->globcmp, s, d, 0, 0))
    if (retained_and_written(ctx, d) || counts_observations(ctx, d)) return name_of(d);
  // cmpdeps has set the flag for the symbol.
  if (!cmp_reads_carried_array(s)) return "";
  char name[64] = "";
  cmpcarr(&ctx->globcmp, s, name, sizeof name);
  if (std::strchr(name, '[')) return name;
  char text[128] = "";
  xpmstr(text, sizeof text, 305, kMsgTemporaryArray, name);
  return text;
}
