#include "procedure/data_set_rows.h"

#include <algorithm>
#include <cstring>

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

int define_labelled_variable(XV_VECTOR* list, XO_FILE* input, const char* name, short type, int length,
                             int label_msg, const void* cell) {
  char label[256];
  const int n = wkread(305, label_msg, label, sizeof label);
  const OutputVariable v{type, length, name, static_cast<int>(std::strlen(name)), label, n};
  return define_output_variable(list, input, v, cell, 0);
}

void describe_output_data_set(XO_FILE* file, const char* type, const char* label) {
  XO_LABEL text;
  text.length = sizeof text.text;
  std::memset(text.text, ' ', sizeof text.text);
  std::memcpy(text.text, label, std::min(std::strlen(label), sizeof text.text));
  char padded[8];
  std::memset(padded, ' ', sizeof padded);
  std::memcpy(padded, type, std::min<std::size_t>(std::strlen(type), sizeof padded));
  xoinfo(file, kXoLabel, &text);
  xoinfo(file, kXoType, padded);
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
