// The kernel library's national-language service: the extension that makes
// transcoding pipelines (over iconv) and maps the case of one character, the
// session's locales, and the session record the module reads at the
// handle's `sknls_global`. Pipelines exist for UTF-8, ASCII and Latin-1
// (and the default encoding, which is UTF-8); any other encoding gets none.
#pragma once

#include "host/kernel_records.h"

namespace platform {

// A new pipeline between encoding `cei` and wide characters, or null when
// the encoding is not available.
QXNLSPipelineh make_pipeline(QXNLSh owner, NLScei cei, bool to_wide);
// Destroys a pipeline through its own destroy function; null is ignored.
void destroy_pipeline(QXNLSPipelineh pipeline);

class KernelNls {
 public:
  explicit KernelNls(QX_HNDL_S* handle);
  ~KernelNls();
  KernelNls(const KernelNls&) = delete;
  KernelNls& operator=(const KernelNls&) = delete;

  QX_NLS_S* extension() { return &extension_; }
  SKNLS_S* session() { return &record_; }

 private:
  QX_NLS_S extension_{};
  QX_LOCALE_S session_locale_{};
  QX_LOCALE_S en_us_locale_{};
  SKNLS_S record_{};
};

}  // namespace platform
