// Step-level initialisation: the parse and print record, the print file and
// its line records, and the parser's debug switches from the DEBUG option.
#include <cstring>

#include "host/globals.h"
#include "host/narrow_strings.h"
#include "host/parse_print_record.h"
#include "host/pool.h"
#include "host/services.h"

PROCSTR* current_procstr() {
  return reinterpret_cast<PROCSTR*>(task_record()[task::kProcStr]);
}

namespace {
// Sets the two debug bytes from the DEBUG system option. Texts of at most
// 200 characters are upper-cased in a local buffer, so the common case
// allocates nothing.
void read_debug_option(PROCSTR* ps) {
  int len = 0;
  const char* text = xoptcgt("DEBUG", &len);
  len = wzstlen(text);
  if (len == 0 || vzatl(' ', text, len, 1L << 53)) return;

  char local[256];
  char* buffer = local;
  if (len > 200) buffer = static_cast<char*>(vmalcp_handler(task_pool(), len, kPoolCleared));
  if (!buffer) return;
  std::memcpy(buffer, text, static_cast<size_t>(len));
  wztxxlt(2, buffer, buffer, len);
  ps->proc_syndebug = wzstndx(buffer, len, "SYN", 3) >= 0 ? 1 : 0;
  ps->proc_semdebug = wzstndx(buffer, len, "SEM", 3) >= 0 ? 1 : 0;
  if (buffer != local) vmfree_handler(task_pool(), buffer, kUnknownLength, kPoolRelease);
}
}  // namespace

void xinit() {
  auto* ps = static_cast<PROCSTR*>(vmalcp_handler(task_pool(), sizeof(PROCSTR), kPoolCleared));
  if (!ps) xexit(1016, 0);
  HostWord* tr = task_record();
  tr[task::kProcStr] = reinterpret_cast<HostWord>(ps);

  void* print_file = reinterpret_cast<void*>(tr[task::kPrintFile]);
  xpopen(print_file);
  xpoutl(print_file, &ps->proc_outl);
  ps->proc_prnl = xpprnl(0);
  ps->proc_logl = xplogl(0);
  ps->proc_msgl = xpmsgl(0);
  xpselec(0, -2);
  read_debug_option(ps);
}
