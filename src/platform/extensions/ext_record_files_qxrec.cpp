// The extension "qxrec": loaded by name through the kernel library, its
// instances make record files (platform/refit/record_file.h) that keep
// dataMemLimit bytes of records in memory (by default nUtRec records) and
// spill the rest to a temporary file. Each file's `gen.oven` is its instance.
#include <set>

#include "host/ext_refit_engine_qxprof.h"
#include "platform/kernel/kernel_library.h"
#include "platform/refit/record_file.h"

namespace platform {
namespace {

struct Instance;

struct File {
  QXREC_FILE file;  // first, so that the file is its QXREC_FILE
  refit::RecordFile records;
  Instance* owner;
};

// An instance releases the files still open when it is destroyed.
struct Instance {
  QXREC_INSTANCE inst;  // first, so that the instance is its QXREC_INSTANCE
  QXREC_FACTORY factory;
  std::set<File*> files;
};

refit::RecordFile& records_of(QXREC_FILE* f) { return reinterpret_cast<File*>(f)->records; }

int value_get(QXREC_FILE* f, std::int32_t id, void* value, std::int32_t) {
  if (!f || !value) return 1;
  if (id == QXREC_NRECS) {
    *static_cast<std::int64_t*>(value) = records_of(f).count();
    return 0;
  }
  if (id == QXREC_RECLEN) {
    *static_cast<std::int64_t*>(value) = static_cast<std::int64_t>(records_of(f).record_length());
    return 0;
  }
  if (id == QXREC_WRITE_ERROR) {
    *static_cast<std::int64_t*>(value) = records_of(f).write_error();
    return 0;
  }
  return 1;
}

void destroy_file(void* self) {
  auto* f = reinterpret_cast<File*>(self);
  f->owner->files.erase(f);
  delete f;
}

std::int64_t memory_limit(const QXREC_PARMS& p) {
  if (p.dataMemLimit > 0) return p.dataMemLimit;
  const std::int64_t kept = p.nUtRec > 0 ? p.nUtRec * p.RecLen : 0;
  return kept > 0 ? kept : static_cast<std::int64_t>(QXREC_BUF_SIZE);
}

QXREC_FILE* make_file(QXREC_INSTANCE* inst, const QXREC_PARMS* p) {
  if (!inst || !p || p->RecLen < 0) return nullptr;
  auto* owner = reinterpret_cast<Instance*>(inst);
  auto* f = new File{{{inst, "qxrec.file", &destroy_file}, &value_get}, {p->RecLen, memory_limit(*p)}, owner};
  owner->files.insert(f);
  return &f->file;
}

int add_record(QXREC_INSTANCE*, QXREC_FILE* f, const void* record) {
  return f ? records_of(f).add(record) : 1;
}

int load_record(QXREC_INSTANCE*, QXREC_FILE* f, std::int64_t index, void* buffer) {
  return f ? records_of(f).load(index, buffer) : 1;
}

int truncate_file(QXREC_INSTANCE*, QXREC_FILE* f) {
  if (!f) return 1;
  destroy_file(f);
  return 0;
}

void destroy_instance(void* self) {
  auto* s = reinterpret_cast<Instance*>(self);
  while (!s->files.empty()) destroy_file(*s->files.begin());
  delete s;
}

QXREC_INSTANCE* create_instance(QXREC_EXTENSION* ext, void*) {
  auto* s = new Instance{};
  s->inst = {{ext, "qxrec.instance", &destroy_instance}, &s->factory};
  s->factory = {&make_file, &add_record, &load_record, &truncate_file};
  return &s->inst;
}

void destroy_extension(void* self) { delete static_cast<QXREC_EXTENSION*>(self); }

void* make_extension() {
  return new QXREC_EXTENSION{{nullptr, "qxrec", &destroy_extension}, &create_instance};
}

const ExtensionRegistration kQxrec{"qxrec", &make_extension};

}  // namespace
}  // namespace platform
