// The kernel-library extensions a step needs, loaded by name after the
// set-up and released at the end of the task.
#include "host/globals.h"
#include "host/qx_handle.h"
#include "procedure/qx_objects.h"
#include "procedure/ruvacom.h"
#include "procedure/step_phases.h"

namespace {

// Loads the named extension into `*handle`; false when it cannot be loaded.
bool load_extension(const char32_t* name, int length, void** handle) {
  static_assert(sizeof(char32_t) == sizeof(QXChar));
  QX_HNDL_S* qx = Exported_QXHandle;
  *handle = qx && qx->loadExtension
                ? qx->loadExtension(qx, reinterpret_cast<const QXChar*>(name), length, 0)
                : nullptr;
  return *handle != nullptr;
}

}  // namespace

int load_req_qx_extensions(RUVACOM* ctx) {
  const bool refits = ctx->ruvaprofile_control || ctx->ruvabootstrap_control;
  const bool curvature = refits || ctx->boxs_bias_flag || ctx->ruvameasures_table_flag ||
                         ctx->graph_control || ctx->ruvaout_flag;
  const bool bootstrap = ctx->ruvabootstrap_control != nullptr;
  RUVA_QX_EXTENSIONS& e = ctx->exts;
  if (refits && !load_extension(U"qxprof", 6, &e.prof_ext_h)) return kQXMissingExtension;
  if (refits && !load_extension(U"qxrec", 5, &e.qxrec_ext_h)) return kQXMissingExtension;
  if (curvature && !load_extension(U"qxznlo", 6, &e.qxznlo_ext_h)) return kQXMissingExtension;
  if (bootstrap && !load_extension(U"qxbstat", 7, &e.qxbstat_ext_h)) return kQXMissingExtension;
  if (bootstrap && !load_extension(U"qxtab", 5, &e.qxtab_ext_h)) return kQXMissingExtension;
  return 0;
}

void unload_qx_extensions(RUVACOM* ctx) {
  RUVA_QX_EXTENSIONS& e = ctx->exts;
  release_qx_object(&e.prof_ext_h);
  release_qx_object(&e.qxrec_ext_h);
  release_qx_object(&e.qxznlo_ext_h);
  release_qx_object(&e.qxbstat_ext_h);
  release_qx_object(&e.qxtab_ext_h);
}
