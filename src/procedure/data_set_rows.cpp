#include "procedure/data_set_rows.h"

#include "host/services.h"

namespace {
constexpr int kWriteFailedSeverity = 4;
}  // namespace

int define_output_variable(XV_VECTOR* list, XO_FILE* input, const OutputVariable& v, const void* cell,
                           int bound_length) {
  NAMESTR d;
  xvnamei(&d);
  d.type = v.type;
  d.length = v.length;
  d.name = v.name;
  d.namelen = v.namelen;
  d.label = v.label;
  d.labellen = v.labellen > 0 ? v.labellen : 0;
  return xvputd(list, &d, 0, cell, bound_length, 0, input);
}

void append_row(XO_FILE* file, XO_PARMS* xo, XV_VECTOR* list, const void* record) {
  if (!file || !list) return;
  xyvput(list, record);
  xo->file = file;
  xo->record = nullptr;
  xo->flags &= ~kXoFailed;
  const int rc = file->write(xo);
  if (rc != 0 || (xo->flags & kXoFailed)) xofprc(xo, rc, kWriteFailedSeverity);
}
