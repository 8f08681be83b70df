// The parameter data set (PDATA= or DATA= on the PARMS statement): one row
// per (parameter, starting value), the name in "Parameter" or "Parm", the
// value in "Estimate" or "Est".
#include <cstring>
#include <string>
#include <string_view>

#include "host/missing.h"
#include "host/narrow_strings.h"
#include "host/services.h"
#include "procedure/step_memory.h"
#include "procedure/procedure_context.h"
#include "procedure/starting_values.h"
#include "procedure/statement_lookup.h"

namespace {

constexpr int kPdataSlot = 2;
constexpr int kMsgTwoPdata = 120;
constexpr int kMsgNoValueVar = 121;
constexpr int kMsgNoNameVar = 122;
constexpr int kMsgValueNotNumeric = 123;
constexpr int kMsgNameNumeric = 124;
constexpr int kMsgDeclaredInParms = 125;
constexpr int kMsgNoValue = 126;
constexpr int kMsgNoByVariables = 127;
constexpr int kMsgNulInName = 1045;

// The step's exit code for a faulty parameter data set.
int pdata_exit_code(const RUVACOM* ctx) { return ctx->nby ? 108 : 1008; }

// The number of the first of two variables that exists, with its
// description; false when neither does.
bool find_variable(XO_FILE* fid, const char* first, const char* second, int* varnum, NAMESTR* desc) {
  if (xvfind(fid, first, static_cast<int>(std::strlen(first)), varnum, 0) != 0 &&
      xvfind(fid, second, static_cast<int>(std::strlen(second)), varnum, 0) != 0)
    return false;
  return xvname(fid, *varnum, desc) == 0;
}

// The value and name variables; ends the step when either is missing or of
// the wrong type (after reporting both).
void find_variables(RUVACOM* ctx, RUVA_PDATA* pd) {
  NAMESTR value{}, name{};
  bool bad = false;
  if (!find_variable(pd->fid, "Estimate", "Est", &pd->estid, &value)) {
    xpmlog(305, kMsgNoValueVar);
    bad = true;
  } else if (value.type != kNumeric) {
    xpmlog(305, kMsgValueNotNumeric, value.namelen, value.name);
    bad = true;
  }
  if (!find_variable(pd->fid, "Parameter", "Parm", &pd->parmid, &name)) {
    xpmlog(305, kMsgNoNameVar);
    bad = true;
  } else if (name.type == kNumeric) {
    xpmlog(305, kMsgNameNumeric, name.namelen, name.name);
    bad = true;
  }
  if (bad) xexit(pdata_exit_code(ctx), 0);
  pd->parmlen = name.length;
}

void bind_variables(RUVACOM* ctx, RUVA_PDATA* pd) {
  pd->parmname = ruva_new_or_exit<char>(pd->parmlen);
  int count = 0;
  if (ctx->nby) xvallvr(pd->fid, &count);
  xvsele(pd->fid);
  xvgeti(pd->fid, 2, &pd->get);
  xvgetd(pd->get, pd->estid, 0, &pd->estval, 8, 8, 0, 0);
  xvgetd(pd->get, pd->parmid, 0, pd->parmname, pd->parmlen, 8, 0, 0);
  xvgete(pd->get);
}

// Values are read per BY group when the data set carries the BY variables.
void align_by_groups(RUVACOM* ctx, RUVA_PDATA* pd) {
  if (!ctx->nby) return;
  const int plan = xbylist(ctx->fiddata, pd->fid);
  if (plan == 1) xexit(1012, 0);
  if (plan == 2) xpmlog(305, kMsgNoByVariables);
  pd->by = plan == 2 ? 0 : 1;
}

RUVAPARMSTR* add_entry(RUVACOM* ctx, RUVA_PDATA* pd, CMPSYM* sym) {
  if (cmplst(pd->pdlst, sym, &ctx->globcmp) != 0) xexit(1016, 0);
  auto* grown = ruva_new_or_exit<RUVAPARMSTR>(pd->npstr + 1);
  if (pd->npstr > 0) std::memcpy(grown, pd->pstr, sizeof(RUVAPARMSTR) * static_cast<std::size_t>(pd->npstr));
  ruva_free(pd->pstr);
  pd->pstr = grown;
  RUVAPARMSTR* entry = &pd->pstr[pd->npstr++];
  entry->sym = sym;
  entry->loc = pd->npstr - 1;
  return entry;
}

// A NUL byte would end the name where it stands and make another
// parameter of it; the name is refused, shown with the byte written out.
void refuse_nul_in_name(RUVACOM* ctx, const RUVA_PDATA* pd, int length, int observation) {
  const std::string_view name(pd->parmname, static_cast<std::size_t>(length));
  if (name.find('\0') == std::string_view::npos) return;
  std::string shown;
  for (char c : name) shown += c ? std::string(1, c) : std::string("\\x00");
  xpmlog(305, kMsgNulInName, shown.c_str(), observation);
  xexit(pdata_exit_code(ctx), 0);
}

// One row: a parameter with values in PARMS is reported once and ignored;
// a parameter listed in PARMS without values (PARMS a b / PDATA=) takes its
// values from the data set, as does any other name, which becomes a
// parameter of the data set.
void take_row(RUVACOM* ctx, RUVA_PDATA* pd, CMPLIST* reported, int observation) {
  int length = 0, start = 0;
  wzstjls(pd->parmname, pd->parmlen, 'l', &length, &start);
  if (length < 1) return;
  refuse_nul_in_name(ctx, pd, length, observation);
  CMPSYM* sym = cmpsyms(pd->parmname, length, &ctx->globcmp);
  if (!sym) sym = cmpsymd(pd->parmname, length, 'v', 'n', &ctx->globcmp);
  if (!sym) xexit(1016, 0);
  if (get_parm_index(ctx->parmsym, sym) >= 0 && sym->ninit > 0) {
    if (get_parm_index(reported, sym) < 0) {
      xpmlog(305, kMsgDeclaredInParms, sym->nameleng, sym->name);
      cmplst(reported, sym, &ctx->globcmp);
    }
    return;
  }
  sym->flags[0] |= kCmpMarked;
  sym->flags[2] |= kCmpDeclaredParm;
  const int at = get_parm_index(pd->pdlst, sym);
  RUVAPARMSTR* entry = at >= 0 ? &pd->pstr[at] : add_entry(ctx, pd, sym);
  if (!pd->by && !is_missing(pd->estval)) append_start_value(entry, pd->estval);
}

void read_rows(RUVACOM* ctx, RUVA_PDATA* pd) {
  CMPLIST reported{};
  pd->xoparm = XO_PARMS{};
  pd->xoparm.file = pd->fid;
  if (xopnt(&pd->xoparm) != 0) return;
  for (int observation = 1; xoget(&pd->xoparm) == 0 && pd->fid->current; ++observation) {
    xyvget(pd->get, 0);
    take_row(ctx, pd, &reported, observation);
  }
}

void read_pdata(RUVACOM* ctx, const STMT* s) {
  if (ctx->pdata) {
    xpmlog(305, kMsgTwoPdata);
    xexit(3000, 0);
  }
  auto* pd = ruva_new_or_exit<RUVA_PDATA>();
  ctx->pdata = pd;
  pd->fid = stmt_field(s, kPdataSlot)->v.fid;
  pd->pdlst = ruva_new_or_exit<CMPLIST>();
  find_variables(ctx, pd);
  bind_variables(ctx, pd);
  align_by_groups(ctx, pd);
  read_rows(ctx, pd);
}

// Without BY alignment every parameter of the data set needs a value.
void check_values(RUVACOM* ctx, const RUVA_PDATA* pd) {
  if (pd->by) return;
  bool missing = false;
  for (int i = 0; i < pd->npstr; ++i) {
    if (pd->pstr[i].npoint > 0) continue;
    xpmlog(305, kMsgNoValue, pd->pstr[i].sym->nameleng, pd->pstr[i].sym->name);
    missing = true;
  }
  if (missing) xexit(pdata_exit_code(ctx), 0);
}

}  // namespace

int CheckPData(RUVACOM* ctx) {
  for (STMT* s = ctx->prochead; s; s = s->next)
    if ((stmt_is(s, "PARM") || stmt_is(s, "PARA")) && stmt_field(s, kPdataSlot)) read_pdata(ctx, s);
  RUVA_PDATA* pd = ctx->pdata;
  if (!pd) return 0;
  check_values(ctx, pd);
  // Parameters of the data set follow those of PARMS; those listed in PARMS
  // keep their place.
  for (int i = 0; i < pd->pdlst->n; ++i)
    if (get_parm_index(ctx->parmsym, pd->pdlst->s[i]) < 0 && cmplstx(ctx->parmsym, pd->pdlst->s[i], &ctx->globcmp) != 0)
      xexit(1016, 0);
  return 0;
}
