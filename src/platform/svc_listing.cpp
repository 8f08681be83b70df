// Vector 39: the print file and its line records.
#include "platform/host.h"
#include "platform/service_impls.h"

namespace platform::svc {

int xpselec(int /*file*/, int destination) {
  Host::current().print_file().destination = destination;
  return 0;
}

LINESTR* xplogl(int) { return Host::current().print_file().line(PrintFile::LogLine); }
LINESTR* xpmsgl(int) { return Host::current().print_file().line(PrintFile::MessageLine); }
LINESTR* xpprnl(int) { return Host::current().print_file().line(PrintFile::Print); }

int xpoutl(void* print_file, LINESTR** line) {
  auto* pf = static_cast<PrintFile*>(print_file);
  if (!pf || !line) return 1;
  *line = pf->line(PrintFile::Output);
  return 0;
}

int xpopen(void* print_file) {
  auto* pf = static_cast<PrintFile*>(print_file);
  if (!pf) return 1;
  pf->open = true;
  return 0;
}

}  // namespace platform::svc
