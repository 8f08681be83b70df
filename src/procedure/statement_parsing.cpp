// The statement-parsing phase of a step.
#include <cstring>

#include "host/globals.h"
#include "host/pool.h"
#include "host/parse_print_record.h"
#include "host/services.h"
#include "procedure/statement_parsing.h"

namespace {

constexpr int kMsgNotOneModel = 12;

// Messages when WHERE or FORMAT statements keep profiling and bootstrap
// from re-fitting the model text: by what was requested and what was seen.
int where_format_message(const RUVAPARSE& r) {
  const bool where = r.qxprof_block.n_where_stmts > 0;
  if (r.is_bootstrap_spec && r.is_profile_spec) return where ? 506 : 509;
  if (r.is_bootstrap_spec) return where ? 504 : 507;
  return where ? 505 : 508;
}

CMPLIST* new_symbol_list(RUVAPARSE* ruva) {
  auto* list = static_cast<CMPLIST*>(vmalcp_handler(task_pool(), 32, kPoolCleared));
  if (!list) xexit(1016, 0);
  cmplsta(list, 1, &ruva->globcmp);
  if (!list->s) xexit(1016, 0);
  return list;
}

// The dependent variable's name goes into `depname`, reusing its buffer
// when it is large enough.
void set_depname(RUVAPARSE* ruva, const char* name, std::int32_t length) {
  VARSTRING& d = ruva->depname;
  if (d.k < length) {
    d.s = static_cast<tchar*>(vmalcp_handler(task_pool(), length, kPoolCleared));
    if (!d.s) xexit(1016, 0);
    d.k = length;
  } else if (d.s) {
    std::memset(d.s, ' ', static_cast<std::size_t>(d.k));
  }
  std::memcpy(d.s, name, static_cast<std::size_t>(length));
  d.l = length;
}

// Finds the one MODEL.y symbol and the dependent variable y; false (with
// message 305/12) when the program defines no dependent or more than one.
bool find_dependent(RUVAPARSE* ruva) {
  ruva->depname.l = 0;
  ruva->depsym = new_symbol_list(ruva);
  ruva->inputdepsym = new_symbol_list(ruva);
  cmplstp(ruva->depsym, "MODEL.", 6, &ruva->globcmp);
  if (ruva->depsym->n != 1) {
    xpmlog(305, kMsgNotOneModel, ruva->depsym->n);
    return false;
  }
  const CMPSYM* model = ruva->depsym->s[0];
  const char* name = model->name + 6;
  const std::int32_t length = model->nameleng - 6;
  CMPSYM* dep = cmpsyms(name, length, &ruva->globcmp);
  if (!dep) dep = cmpsymd(name, length, 'v', ' ', &ruva->globcmp);
  set_depname(ruva, dep->name, dep->nameleng);
  if (cmplst(ruva->inputdepsym, dep, &ruva->globcmp) != 0) xexit(1016, 0);
  return true;
}

}  // namespace

int ruvapar(RUVAPARSE* ruva) {
  ztime();
  if (const int rc = create_output_manager(ruva); rc < 0) xexit(rc, 0);
  ruva->seg = 0;
  CMPINIT init{&ruva->nretain, &ruva->vnum, &ruva->seg, 0, ruva->yolman};
  cmpinit(&init, &ruva->globcmp);
  const long shortfall = ruva->vnum + xmemdef();
  if (ruva->nretain != 0 || shortfall != 0) {
    xmemmsg(shortfall);
    xexit(1016, 0);
  }

  PARSINFO parsinfo{};
  ruva->pars_info_h = &parsinfo;
  ruva->globcmp.userptr = ruva;
  PROCSTR* procstr = current_procstr();
  cmppars(ruvag(), procstr, 0, 0, 0, broutine_callback, &parsinfo, 1, &ruva->globcmp);
  ruva->pars_info_h = nullptr;
  if (procstr->error != 0) return 1;

  const auto* head = static_cast<STMT*>(procstr->head);
  const STLIST* data = head ? stmt_field(head, 9) : nullptr;
  ruva->fiddata = data ? data->v.fid : nullptr;
  if (!find_dependent(ruva)) return 1;
  if (!head) return 1;
  ruva->prochead = const_cast<STMT*>(head);
  const STLIST* by = stmt_field(head, 0);
  ruva->nby = by ? by->v.f.n : 0;

  if (!ruva->qxcmp_model_text) {
    ruva->no_prof_flag = ruva->no_boot_flag = 1;
    return 0;
  }
  const bool requested = ruva->is_bootstrap_spec || ruva->is_profile_spec;
  const bool filtered = ruva->qxprof_block.n_where_stmts > 0 || ruva->qxprof_block.n_format_stmts > 0;
  if (!requested || !filtered) {
    isModelStmtEmbedInProgStmts(&ruva->globcmp);
    return 0;
  }
  xpmlog(305, where_format_message(*ruva));
  ruva->no_prof_flag = ruva->no_boot_flag = 1;
  return 0;
}
