#include "profile/fit_curve_groups.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "host/missing.h"
#include "host/services.h"
#include "procedure/data_pass.h"
#include "procedure/procedure_context.h"
#include "results/diagnostics_record.h"

namespace {

std::size_t value_size(const CMPSYM* s) { return s->type == '$' ? static_cast<std::size_t>(s->length) : sizeof(double); }

// The data-set variables the model value depends on that are not regressors.
std::vector<CMPSYM*> other_variables(RUVACOM* ctx) {
  std::vector<CMPSYM*> out;
  CMPSYM* dep = ctx->depsym && ctx->depsym->n > 0 ? ctx->depsym->s[0] : nullptr;
  const DiagRegressors* r = ctx->ruvadiag ? ctx->ruvadiag->regs_blck : nullptr;
  if (!dep || !r || cmpdeps(&ctx->globcmp, dep, 0, 1, 0) <= 0) return out;
  const CMPLIST* regs = r->used_regs;
  for (CMPSYM* s = cmpndep(&ctx->globcmp, dep, nullptr, 0, 1); s; s = cmpndep(&ctx->globcmp, dep, s, 0, 1))
    if (s->dsvarno > 0 && s->data && std::find(regs->s, regs->s + regs->n, s) == regs->s + regs->n) out.push_back(s);
  return out;
}

std::string current_bytes(const std::vector<CMPSYM*>& variables) {
  std::string key;
  for (const CMPSYM* s : variables) key.append(static_cast<const char*>(s->data), value_size(s));
  return key;
}

std::string value_text(const CMPSYM* s, const char* bytes) {
  if (s->type == '$') {
    std::string v(bytes, value_size(s));
    while (!v.empty() && (v.back() == ' ' || v.back() == '\0')) v.pop_back();
    return v.empty() ? "(blank)" : v;
  }
  double d;
  std::memcpy(&d, bytes, sizeof d);
  if (wzmis(d)) return ".";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.10g", d);
  return buf;
}

}  // namespace

std::string CurveGroups::names() const {
  std::string out;
  for (const CMPSYM* s : variables) (out += out.empty() ? "" : ", ").append(s->name, static_cast<std::size_t>(s->nameleng));
  return out;
}

std::string CurveGroups::label(std::size_t g) const {
  std::string out;
  std::size_t at = 0;
  for (const CMPSYM* s : variables) {
    (out += out.empty() ? "" : ", ").append(s->name, static_cast<std::size_t>(s->nameleng));
    out += " = " + value_text(s, values[g].data() + at);
    at += value_size(s);
  }
  return out;
}

void CurveGroups::set(std::size_t g) const {
  std::size_t at = 0;
  for (CMPSYM* s : variables) {
    std::memcpy(s->data, values[g].data() + at, value_size(s));
    at += value_size(s);
  }
}

std::size_t CurveGroups::current() const {
  return static_cast<std::size_t>(std::find(values.begin(), values.end(), current_bytes(variables)) - values.begin());
}

CurveGroups curve_groups(RUVACOM* ctx) {
  CurveGroups g;
  g.variables = other_variables(ctx);
  if (g.variables.empty()) return g;
  xbyrwnd(ctx->fiddata, kXoGroupStart);
  while (!g.too_many && read_group_observation(ctx)) {
    move_observation(ctx);
    if (g.current() < g.values.size()) continue;
    if (g.values.size() == kMaxFitCurves) g.too_many = true;
    else g.values.push_back(current_bytes(g.variables));
  }
  return g;
}
