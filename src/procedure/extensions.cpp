// The kernel-library extensions a step needs, loaded by name after the
// set-up and released at the end of the task. An analysis whose extension
// cannot be loaded is switched off with a note; the step goes on without it.
#include "host/globals.h"
#include "host/qx_handle.h"
#include "host/services.h"
#include "procedure/qx_objects.h"
#include "procedure/ruvacom.h"
#include "procedure/step_phases.h"

namespace {

enum Extension : unsigned { kProf = 1, kRec = 2, kZnlo = 4, kBstat = 8, kTab = 16 };

// Why an analysis is not done: its extension is not in this build.
constexpr int kMsgProfilingUnavailable = 800, kMsgBootstrapUnavailable = 801, kMsgBiasUnavailable = 900,
              kMsgMeasuresUnavailable = 901, kMsgGraphsUnavailable = 902, kMsgOutputStatsUnavailable = 903;

// An analysis of the step and the extensions it needs.
struct Analysis {
  unsigned needs;
  int message;
  bool (*requested)(const RUVACOM*);
  void (*switch_off)(RUVACOM*);
};

constexpr unsigned kRefits = kProf | kRec | kZnlo;

const Analysis kAnalyses[] = {
    {kRefits, kMsgProfilingUnavailable, [](const RUVACOM* c) { return c->ruvaprofile_control && !c->no_prof_flag; },
     [](RUVACOM* c) { c->no_prof_flag = 1; }},
    {kRefits | kBstat | kTab, kMsgBootstrapUnavailable,
     [](const RUVACOM* c) { return c->ruvabootstrap_control && !c->no_boot_flag; },
     [](RUVACOM* c) { c->no_boot_flag = 1; }},
    {kZnlo, kMsgBiasUnavailable, [](const RUVACOM* c) { return c->boxs_bias_flag != 0; },
     [](RUVACOM* c) { c->boxs_bias_flag = 0; }},
    {kZnlo, kMsgMeasuresUnavailable, [](const RUVACOM* c) { return c->ruvameasures_table_flag != 0; },
     [](RUVACOM* c) { c->ruvameasures_table_flag = 0; }},
    {kZnlo, kMsgGraphsUnavailable, [](const RUVACOM* c) { return c->graph_control != nullptr; },
     [](RUVACOM* c) { c->graph_control = nullptr; }},
    {kZnlo, kMsgOutputStatsUnavailable, [](const RUVACOM* c) { return c->ruvaout_flag != 0; },
     [](RUVACOM* c) { c->ruvaout_flag = 0; }},
};

// Loads the named extension into `*handle`; false when it cannot be loaded.
bool load_extension(const char32_t* name, int length, void** handle) {
  static_assert(sizeof(char32_t) == sizeof(QXChar));
  QX_HNDL_S* qx = Exported_QXHandle;
  *handle = qx && qx->loadExtension
                ? qx->loadExtension(qx, reinterpret_cast<const QXChar*>(name), length, 0)
                : nullptr;
  return *handle != nullptr;
}

bool needed(const RUVACOM* ctx, Extension ext) {
  for (const Analysis& a : kAnalyses)
    if ((a.needs & ext) && a.requested(ctx)) return true;
  return false;
}

void switch_off_users(RUVACOM* ctx, Extension ext) {
  for (const Analysis& a : kAnalyses) {
    if (!(a.needs & ext) || !a.requested(ctx)) continue;
    a.switch_off(ctx);
    xpmlog(305, a.message);
  }
}

}  // namespace

void load_req_qx_extensions(RUVACOM* ctx) {
  RUVA_QX_EXTENSIONS& e = ctx->exts;
  struct Load {
    Extension ext;
    const char32_t* name;
    int length;
    void** handle;
  };
  const Load loads[] = {{kProf, U"qxprof", 6, &e.prof_ext_h},
                        {kRec, U"qxrec", 5, &e.qxrec_ext_h},
                        {kZnlo, U"qxznlo", 6, &e.qxznlo_ext_h},
                        {kBstat, U"qxbstat", 7, &e.qxbstat_ext_h},
                        {kTab, U"qxtab", 5, &e.qxtab_ext_h}};
  for (const Load& l : loads)
    if (needed(ctx, l.ext) && !load_extension(l.name, l.length, l.handle)) switch_off_users(ctx, l.ext);
}

void unload_qx_extensions(RUVACOM* ctx) {
  RUVA_QX_EXTENSIONS& e = ctx->exts;
  release_qx_object(&e.prof_ext_h);
  release_qx_object(&e.qxrec_ext_h);
  release_qx_object(&e.qxznlo_ext_h);
  release_qx_object(&e.qxbstat_ext_h);
  release_qx_object(&e.qxtab_ext_h);
}
