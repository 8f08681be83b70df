// Vector 39: numbered messages, the log, system options, memory shortfall
// and the end of a step.
#include <cstring>

#include "platform/host.h"
#include "platform/services/service_impls.h"

namespace platform::svc {

void xexit(int rc, int /*flags*/) { throw StepExit{rc}; }

long xmemdef() { return take_memory_shortage(); }

void xmemmsg(long shortage) { Host::current().log_message(1, 8, shortage); }

int xoptbgt(const char* name, int* value) {
  auto v = Host::current().options().flag(name);
  if (!v) return 1;
  *value = *v ? 1 : 0;
  return 0;
}

const char* xoptcgt(const char* name, int* length) {
  const std::string* text = Host::current().options().text(name);
  if (!text) {
    if (length) *length = 0;
    return "";
  }
  if (length) *length = static_cast<int>(text->size());
  return text->c_str();
}

int xpmlog(int set, int number, va_list args) {
  Host::current().log_message(set, number, args);
  return 0;
}

int xpmstr(char* buffer, int length, int set, int number, va_list args) {
  if (!buffer || length < 1) return 0;
  std::string text = Host::current().messages().format(set, number, args);
  int n = static_cast<int>(text.size());
  if (n >= length) n = length - 1;
  std::memcpy(buffer, text.data(), static_cast<std::size_t>(n));
  buffer[n] = '\0';
  return n;
}

int xpslog(const char* format, va_list args) {
  Host::current().log().line(vformat(format, args));
  return 0;
}

int xytexit(void (*routine)()) {
  Host::current().set_end_of_task(routine);
  return 0;
}

void xprrlog(int /*flags*/, int status) {
  Host& host = Host::current();
  const auto code = static_cast<std::uint32_t>(status);
  if (const Message* m = host.messages().find_status(code)) {
    host.log().write(m->severity, m->text);
    return;
  }
  host.log_message(1, 10, code, static_cast<int>((code >> 11) & 0x7ff),
                   static_cast<int>(code & 0x7ff));
}

}  // namespace platform::svc
