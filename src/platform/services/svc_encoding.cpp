// Vector 4: conversion between the session encoding and the host's code
// page (Latin-1), through the kernel library's session pipelines. A
// character the target cannot hold becomes the SUB byte; what does not fit
// is cut at a whole character; the rest of the output is blank-padded.
#include <algorithm>
#include <cstring>
#include <vector>

#include "host/kernel_records.h"
#include "platform/host.h"
#include "platform/kernel/kernel_state.h"
#include "platform/services/service_impls.h"

namespace platform::svc {
namespace {

int through_wide(QXNLSPipelineh in, QXNLSPipelineh out, const char* source, int source_length,
                 char* dest, int dest_length) {
  if (!dest || dest_length < 1) return 0;
  if (!in || !out) return kQXMissingExtension;
  const std::size_t n = source && source_length > 0 ? static_cast<std::size_t>(source_length) : 0;
  std::vector<QXChar> wide(n);  // one byte gives at most one character
  std::vector<char> narrow(static_cast<std::size_t>(dest_length), ' ');
  QXMemSize wide_bytes = 0, narrow_bytes = 0;
  QXStatus rc = n ? in->Transcode(in, source, n, wide.data(), n * sizeof(QXChar), &wide_bytes, 0) : 0;
  const QXStatus rc2 = out->Transcode(out, wide.data(), wide_bytes, narrow.data(), narrow.size(),
                                      &narrow_bytes, 0);
  if (rc == 0) rc = rc2;
  std::memcpy(dest, narrow.data(), narrow.size());  // the source may be the destination
  return rc;
}

SKNLS_S& session() { return *Host::current().kernel().nls().session(); }

}  // namespace

int wzsxcch(const char* source, int source_length, char* dest, int dest_length, int /*flags*/) {
  return through_wide(session().SessToQXChar, session().toCompiler, source, source_length, dest,
                      dest_length);
}

int wzsxrch(const char* source, int source_length, char* dest, int dest_length, int /*flags*/) {
  return through_wide(session().fromCompiler, session().SessFromQXChar, source, source_length, dest,
                      dest_length);
}

}  // namespace platform::svc
