// The kernel-library extensions a step needs, loaded by name after the
// set-up and released at the end of the task. An analysis whose extension
// cannot be loaded is switched off with a note; the step goes on without it.
#include <iterator>

#include "host/globals.h"
#include "host/kernel_handle.h"
#include "host/services.h"
#include "procedure/kernel_object_release.h"
#include "procedure/procedure_context.h"
#include "procedure/step_phases.h"

namespace {

enum Extension : unsigned { kProf = 1, kRec = 2, kZnlo = 4, kBstat = 8, kTab = 16 };

// Why an analysis is not done: profiling and the bootstrap when an extension
// they need could not be loaded; the graphs, which need the optimiser for
// the curvatures of their insets.
constexpr int kMsgProfilingUnavailable = 800, kMsgBootstrapUnavailable = 801, kMsgGraphsUnavailable = 902;
// An extension that some request needs could not be loaded.
constexpr int kMsgNotLoaded = 960;

// An analysis of the step, the extensions it needs, and how it is switched
// off (returning whether it was on).
struct Analysis {
  unsigned needs;
  int message;
  bool (*requested)(const RUVACOM*);
  bool (*switch_off)(RUVACOM*);
};

constexpr unsigned kRefits = kProf | kRec | kZnlo;

template <class Flag>
bool set(Flag* flag) {
  const bool was = *flag == 0;
  *flag = 1;
  return was;
}

// Profiling and the bootstrap load their extensions even when their set-up
// switched them off already; they are then not noted again.
const Analysis kAnalyses[] = {
    {kRefits, kMsgProfilingUnavailable, [](const RUVACOM* c) { return c->ruvaprofile_control != nullptr; },
     [](RUVACOM* c) { return set(&c->no_prof_flag); }},
    {kRefits | kBstat | kTab, kMsgBootstrapUnavailable,
     [](const RUVACOM* c) { return c->ruvabootstrap_control != nullptr; },
     [](RUVACOM* c) { return set(&c->no_boot_flag); }},
    // Box bias and the nonlinearity measures load the optimiser for the
    // maximum curvatures; without it they are still computed, the maxima
    // missing.
    {kZnlo, 0, [](const RUVACOM* c) { return c->boxs_bias_flag != 0 || c->ruvameasures_table_flag != 0; },
     [](RUVACOM*) { return false; }},
    {kZnlo, kMsgGraphsUnavailable, [](const RUVACOM* c) { return c->graph_control != nullptr; },
     [](RUVACOM* c) {
       c->graph_control = nullptr;
       return true;
     }},
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

// The analyses that are requested, need `ext` and were not switched off here.
template <class Each>
void for_users(const RUVACOM* ctx, Extension ext, const bool* off, Each each) {
  for (std::size_t i = 0; i < std::size(kAnalyses); ++i)
    if ((kAnalyses[i].needs & ext) && !off[i] && kAnalyses[i].requested(ctx)) each(i);
}

}  // namespace

void load_req_qx_extensions(RUVACOM* ctx) {
  RUVA_QX_EXTENSIONS& e = ctx->exts;
  struct Load {
    Extension ext;
    const char32_t* name;
    const char* narrow;
    int length;
    void** handle;
  };
  const Load loads[] = {{kProf, U"qxprof", "qxprof", 6, &e.prof_ext_h},
                        {kRec, U"qxrec", "qxrec", 5, &e.qxrec_ext_h},
                        {kZnlo, U"qxznlo", "qxznlo", 6, &e.qxznlo_ext_h},
                        {kBstat, U"qxbstat", "qxbstat", 7, &e.qxbstat_ext_h},
                        {kTab, U"qxtab", "qxtab", 5, &e.qxtab_ext_h}};
  bool off[std::size(kAnalyses)] = {};
  for (const Load& l : loads) {
    bool needed = false;
    for_users(ctx, l.ext, off, [&](std::size_t) { needed = true; });
    if (!needed || load_extension(l.name, l.length, l.handle)) continue;
    xpmlog(305, kMsgNotLoaded, l.length, l.narrow);
    for_users(ctx, l.ext, off, [&](std::size_t i) {
      off[i] = true;
      if (kAnalyses[i].switch_off(ctx)) xpmlog(305, kAnalyses[i].message);
    });
  }
}

void unload_qx_extensions(RUVACOM* ctx) {
  RUVA_QX_EXTENSIONS& e = ctx->exts;
  release_qx_object(&e.prof_ext_h);
  release_qx_object(&e.qxrec_ext_h);
  release_qx_object(&e.qxznlo_ext_h);
  release_qx_object(&e.qxbstat_ext_h);
  release_qx_object(&e.qxtab_ext_h);
}
