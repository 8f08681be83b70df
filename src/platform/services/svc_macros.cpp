// Vectors 40 (entry 277) and 49: the task's macro-variable scope and
// setting a macro variable in it.
#include <string>
#include <string_view>

#include "platform/host.h"
#include "platform/macro_variables.h"
#include "platform/services/service_impls.h"

namespace platform::svc {
namespace {
constexpr int kNumeric = 0x46;
}

// The scope the task record names; the host's own when the module passes none.
MACRO_SCOPE* xalanch(void* symbol_table) {
  if (symbol_table) return static_cast<MACRO_SCOPE*>(symbol_table);
  return Host::current().macro_scope();
}

int xjsympn(MACRO_SCOPE* scope, const char* name, int name_length, int type, int /*reserved*/,
            double value) {
  if (!scope || !scope->variables || !name || name_length < 1 || type != kNumeric) return -1;
  const std::string_view text(name, static_cast<std::size_t>(name_length));
  return scope->variables->set(text, macro_number_text(value)) ? 0 : -1;
}

int xjsympc(MACRO_SCOPE* scope, const char* name, int name_length, const char* text, int text_length) {
  if (!scope || !scope->variables || !name || name_length < 1 || !text || text_length < 0) return -1;
  const std::string_view key(name, static_cast<std::size_t>(name_length));
  return scope->variables->set(key, std::string(text, static_cast<std::size_t>(text_length))) ? 0 : -1;
}

}  // namespace platform::svc
