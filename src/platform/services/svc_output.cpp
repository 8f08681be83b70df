// Vector 329: text objects of the output service, and vector 335: the
// root object through which the module makes its output manager.
#include <cstring>

#include "platform/host.h"
#include "platform/output/output_service.h"
#include "platform/services/service_impls.h"

namespace platform::svc {
namespace {

OutputService& output() { return Host::current().output(); }

// The catalogue text of a message; a message missing from the catalogue
// shows as a note that it is missing, so that the gap is visible.
std::string message_text(int set, int number, va_list* args) {
  const Message* m = Host::current().messages().find(set, number);
  if (!m) return format("Message %d/%d is not in the message catalogue.", set, number);
  if (args) return vformat(m->text.c_str(), *args);
  std::string text = m->text;
  for (std::size_t p = text.find("%%"); p != std::string::npos; p = text.find("%%", p + 1)) text.erase(p, 1);
  return text;
}

}  // namespace

// A given length is taken whole: a label may hold a NUL byte.
xobskey yoltxt(const char* text, int length) {
  if (!text) return nullptr;
  const std::size_t n = length < 0 ? std::strlen(text) : static_cast<std::size_t>(length);
  return output().make_text(std::string(text, n));
}

xobskey yoltxts(const char* format, va_list args) {
  return output().make_text(format ? vformat(format, args) : std::string());
}

xobskey yolmsg(int set, int number) { return output().make_text(message_text(set, number, nullptr)); }

xobskey yolmsgs(int set, int number, va_list args) {
  va_list copy;
  va_copy(copy, args);
  xobskey key = output().make_text(message_text(set, number, &copy));
  va_end(copy);
  return key;
}

YOLGCB* yolggcb() { return output().control_block(); }

int xobinit(wobop block) {
  if (!block) return kOutputBadParameter;
  output().make_root(block);
  return 0;
}

}  // namespace platform::svc
