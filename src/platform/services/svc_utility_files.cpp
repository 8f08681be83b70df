// Vector 48: utility files of fixed-length records.
#include "platform/datasets/utility_file.h"
#include "platform/host.h"
#include "platform/services/service_impls.h"

namespace platform::svc {

int xcopen(XC_FILE** file, const XC_OPEN* block) {
  if (!file) return kXcBadOpen;
  *file = nullptr;
  if (!block || block->reclen < 0) return kXcBadOpen;
  *file = Host::current().datasets().new_utility_file(block->reclen);
  return 0;
}

int xcwrite(XC_FILE* file, const void* record, int length) {
  XC_FILE* f = XC_FILE::open_file(file);
  return f ? f->write(record, length) : kXcBadHandle;
}

int xcread(XC_FILE* file, void* buffer, int length) {
  XC_FILE* f = XC_FILE::open_file(file);
  return f ? f->read(buffer, length) : kXcBadHandle;
}

int xcpoint(XC_FILE* file, long record) {
  XC_FILE* f = XC_FILE::open_file(file);
  return f ? f->point(record) : kXcBadHandle;
}

// The file's records are released whatever `disposition` says: utility
// files are scratch storage of one step.
int xcclose(XC_FILE* file, int /*disposition*/) {
  XC_FILE* f = XC_FILE::open_file(file);
  if (!f) return kXcBadHandle;
  f->close();
  return 0;
}

}  // namespace platform::svc
