// In-memory stand-ins for the record file and the refit engine: the record
// file keeps its records in vectors; the engine keeps deep copies of the
// tasks defined on it, so that tests can read what the procedure handed it.
#pragma once

#include <cstring>
#include <vector>

#include "host/ext_refit_engine_qxprof.h"

namespace profile_test {

struct FakeRecords {
  struct File : QXREC_FILE {
    std::int32_t length = 0;
    std::vector<std::vector<unsigned char>> records;
    bool truncated = false;
  };
  QXREC_FACTORY factory{};
  QXREC_INSTANCE instance{};
  QXREC_EXTENSION extension{};
  std::vector<File*> files;

  static FakeRecords*& current() {
    static FakeRecords* f = nullptr;
    return f;
  }
  FakeRecords() {
    current() = this;
    factory.MakeFile = [](QXREC_INSTANCE*, const QXREC_PARMS* p) -> QXREC_FILE* {
      auto* f = new File;
      f->length = p->RecLen;
      current()->files.push_back(f);
      return f;
    };
    factory.AddRecord = [](QXREC_INSTANCE*, QXREC_FILE* f, const void* r) {
      auto* file = static_cast<File*>(f);
      const auto* bytes = static_cast<const unsigned char*>(r);
      file->records.emplace_back(bytes, bytes + file->length);
      return 0;
    };
    factory.LoadRecord = [](QXREC_INSTANCE*, QXREC_FILE* f, std::int64_t k, void* buffer) {
      auto* file = static_cast<File*>(f);
      if (k < 0 || k >= static_cast<std::int64_t>(file->records.size())) return 1;
      if (file->length > 0)
        std::memcpy(buffer, file->records[static_cast<std::size_t>(k)].data(),
                    file->records[0].size());
      return 0;
    };
    factory.TruncateFile = [](QXREC_INSTANCE*, QXREC_FILE* f) {
      static_cast<File*>(f)->truncated = true;
      return 0;
    };
    instance.FactoryPtr = &factory;
    extension.create_instance = [](QXREC_EXTENSION*, void*) { return &current()->instance; };
  }
  ~FakeRecords() {
    for (File* f : files) delete f;
    current() = nullptr;
  }
};

// A task as the engine copied it.
struct TaskCopy {
  QXPROF_TASK_DESC desc;
  std::vector<double> start;
  std::vector<QXPROF_CONSTRAINT> constraints;
  std::vector<unsigned char> skip;
};

struct FakeEngine {
  QXPROF_FACTORY factory{};
  QXPROF_INSTANCE instance{};
  QXPROF_EXTENSION extension{};
  QXPROF_PARMS created{};
  std::vector<QXPROF_VAR_INFO> vars;
  std::vector<QXPROF_PARM_INFO> parms;
  std::vector<TaskCopy> tasks;
  std::int32_t nparm = 0;
  long skip_bytes = 0;

  static FakeEngine*& current() {
    static FakeEngine* e = nullptr;
    return e;
  }
  FakeEngine(std::int32_t parms, long skip) : nparm(parms), skip_bytes(skip) {
    current() = this;
    factory.define_prof_tasks = [](QXPROF_INSTANCE*, QXPROF_J, const QXPROF_TASK_DESC* t,
                                   std::int32_t n) {
      FakeEngine* e = current();
      for (std::int32_t i = 0; i < n; ++i) {
        TaskCopy c{t[i],
                   {t[i].nlo_u_opt.parm_start_vals, t[i].nlo_u_opt.parm_start_vals + e->nparm},
                   {},
                   {}};
        if (t[i].constr_type == SYM_CONSTR)
          for (std::int32_t k = 0; k < t[i].constr.sym.n_c; ++k)
            c.constraints.push_back(*t[i].constr.sym.c_h_h[k]);
        if (t[i].skip_obs_bit_array_h)
          c.skip.assign(t[i].skip_obs_bit_array_h, t[i].skip_obs_bit_array_h + e->skip_bytes);
        e->tasks.push_back(c);
      }
      return 0;
    };
    factory.define_vars = [](QXPROF_INSTANCE*, QXPROF_J, const QXPROF_VAR_INFO* v, std::int32_t n) {
      current()->vars.assign(v, v + n);
      return 0;
    };
    factory.define_parms = [](QXPROF_INSTANCE*, QXPROF_J, const QXPROF_PARM_INFO* p,
                              std::int32_t n) {
      current()->parms.assign(p, p + n);
      return 0;
    };
    instance.FactoryPtr = &factory;
    extension.create_instance = [](QXPROF_EXTENSION*, void*, const QXPROF_PARMS* p) {
      current()->created = *p;
      return &current()->instance;
    };
  }
  ~FakeEngine() { current() = nullptr; }
};

}  // namespace profile_test
