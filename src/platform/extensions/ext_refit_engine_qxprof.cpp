// The extension "qxprof": loaded by name through the kernel library, its
// instances are refit engines (platform/refit/refit_engine.h) behind the
// operation table of host/ext_refit_engine_qxprof.h.
#include "host/ext_refit_engine_qxprof.h"
#include "platform/kernel/kernel_library.h"
#include "platform/refit/refit_engine.h"

namespace platform {
namespace {

using refit::RefitEngine;

struct Instance {
  QXPROF_INSTANCE inst;  // first, so that the instance is its QXPROF_INSTANCE
  QXPROF_FACTORY factory;
  std::unique_ptr<RefitEngine> engine;
};

RefitEngine* engine_of(QXPROF_INSTANCE* i) { return i ? reinterpret_cast<Instance*>(i)->engine.get() : nullptr; }

int define_vars(QXPROF_INSTANCE* i, QXPROF_J, const QXPROF_VAR_INFO* v, std::int32_t n) {
  RefitEngine* e = engine_of(i);
  return e ? e->define_vars(v, n) : 1;
}
int define_parms(QXPROF_INSTANCE* i, QXPROF_J, const QXPROF_PARM_INFO* p, std::int32_t n) {
  RefitEngine* e = engine_of(i);
  return e ? e->define_parms(p, n) : 1;
}
int define_prof_tasks(QXPROF_INSTANCE* i, QXPROF_J, const QXPROF_TASK_DESC* t, std::int32_t n) {
  RefitEngine* e = engine_of(i);
  return e ? e->define_tasks(t, n) : 1;
}
int profile(QXPROF_INSTANCE* i, QXPROF_J) {
  RefitEngine* e = engine_of(i);
  return e ? e->profile() : 1;
}
int stop(QXPROF_INSTANCE* i, QXPROF_J) {
  RefitEngine* e = engine_of(i);
  return e ? e->stop() : 1;
}
int check_done(QXPROF_INSTANCE* i, QXPROF_J) {
  RefitEngine* e = engine_of(i);
  return e && !e->done() ? 1 : 0;
}
int wait_some(QXPROF_INSTANCE* i, QXPROF_J, std::int32_t msec) {
  RefitEngine* e = engine_of(i);
  return e ? e->wait_for(msec) : 0;
}
int wait_until_done(QXPROF_INSTANCE* i, QXPROF_J) {
  RefitEngine* e = engine_of(i);
  return e ? e->wait_until_done() : 1;
}
// The engine posts no foreign events: waiting goes through wait_until_done.
int set_foreign_event(QXPROF_INSTANCE* i, QXPROF_J, void*) { return engine_of(i) ? 0 : 1; }
int get_results(QXPROF_INSTANCE* i, QXPROF_J, const std::int32_t* ids, std::int32_t n, QXPROF_RESULT** out) {
  RefitEngine* e = engine_of(i);
  return e ? e->results(ids, n, out) : 1;
}
int reset(QXPROF_INSTANCE* i, QXPROF_J, const QXPROF_DATA_DESC* d, std::int32_t, std::int32_t) {
  RefitEngine* e = engine_of(i);
  return e ? e->reset(d) : 1;
}

void destroy(void* self) { delete reinterpret_cast<Instance*>(self); }

int destroy_instance(QXPROF_INSTANCE* i, QXPROF_J) {
  if (!i) return 1;
  destroy(i);
  return 0;
}

QXPROF_INSTANCE* create_instance(QXPROF_EXTENSION* ext, void*, const QXPROF_PARMS* parms) {
  if (!parms) return nullptr;
  auto engine = RefitEngine::create(*parms);
  if (!engine) return nullptr;
  auto* s = new Instance{};
  s->inst = {{ext, "qxprof.instance", &destroy}, &s->factory};
  s->factory = {&define_vars,  &define_parms, &define_prof_tasks, &profile, &stop,  &check_done,
                &wait_some,    &wait_until_done, &set_foreign_event, &get_results, &reset, &destroy_instance};
  s->engine = std::move(engine);
  return &s->inst;
}

void destroy_extension(void* self) { delete static_cast<QXPROF_EXTENSION*>(self); }

void* make_extension() {
  return new QXPROF_EXTENSION{{nullptr, "qxprof", &destroy_extension}, &create_instance};
}

const ExtensionRegistration kQxprof{"qxprof", &make_extension};

}  // namespace
}  // namespace platform
