// Vector 4: conversions between the session's encoding and the host's own
// text. This host keeps its text in the session's encoding (Latin-1), so
// both directions copy the bytes; a short destination takes what fits.
#include <algorithm>
#include <cstring>

#include "platform/service_impls.h"

namespace platform::svc {
namespace {
int copy_text(const char* source, int source_length, char* dest, int dest_length) {
  if (!source || !dest || source_length < 1 || dest_length < 1) return 0;
  const int n = std::min(source_length, dest_length);
  std::memmove(dest, source, static_cast<std::size_t>(n));
  return n;
}
}  // namespace

int wzsxcch(const char* source, int source_length, char* dest, int dest_length, int /*flags*/) {
  return copy_text(source, source_length, dest, dest_length);
}

int wzsxrch(const char* source, int source_length, char* dest, int dest_length, int /*flags*/) {
  return copy_text(source, source_length, dest, dest_length);
}

}  // namespace platform::svc
