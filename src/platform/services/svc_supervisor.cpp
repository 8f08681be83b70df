// Vector 0: message text, task state, the date-time clock and case changes.
#include <cctype>
#include <cstring>
#include <ctime>

#include "platform/host.h"
#include "platform/services/service_impls.h"

namespace platform::svc {

int wkread(int set, int number, char* buffer, int length) {
  const Message* m = Host::current().messages().find(set, number);
  if (!m || !buffer || length < 1) return -1;
  int n = static_cast<int>(m->text.size());
  if (n > length) n = length;
  std::memcpy(buffer, m->text.data(), static_cast<std::size_t>(n));
  return n;
}

// Task state: the host keeps no state per kind; the floating-point handler
// is not installed, because the module reports invalid arithmetic itself.
int wtspush(void* /*task*/, int /*kind*/, void (* /*handler*/)(int)) { return 0; }
int wtspop(void* /*task*/, int /*kind*/) { return 0; }

double wzdttme() {
  // Seconds since 1960-01-01, the host's date-time origin.
  constexpr double kEpochOffset = 315619200.0;
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<double>(ts.tv_sec) + kEpochOffset + ts.tv_nsec * 1e-9;
}

void wzstrlo(char* text, int length) {
  for (int i = 0; i < length; ++i)
    text[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
}

void wzstrup(char* text, int length) {
  for (int i = 0; i < length; ++i)
    text[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
}

}  // namespace platform::svc
