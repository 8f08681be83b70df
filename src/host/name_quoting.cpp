// quote_me: quotes a name as a literal in place.
#include <cstring>
#include <string>

#include "host/output_tables.h"

namespace {
bool needs_macro_quoting(const char* s, int n) {
  return std::memchr(s, '&', static_cast<std::size_t>(n)) || std::memchr(s, '%', static_cast<std::size_t>(n));
}
}  // namespace

int quote_me(char* str, int len, int quote, int sublen, int capacity) {
  if (!str || len < 0 || sublen < 0 || sublen > len) return -1;
  const int n = (sublen == 0 || sublen == len) ? len : sublen;
  const char q = quote == 1 ? '"' : '\'';
  const bool macro = quote == 1 && needs_macro_quoting(str, n);
  std::string quoted = macro ? std::string("%nrstr(") + '"' : std::string(1, q);
  for (int i = 0; i < n; ++i) {
    const char ch = str[i];
    if (ch == q) quoted += q;
    else if (macro && (ch == '%' || ch == '(' || ch == ')')) quoted += '%';
    quoted += ch;
  }
  quoted += q;
  if (macro) quoted += ')';
  else if (quote == 3) quoted += 'n';
  const std::size_t rest = static_cast<std::size_t>(len - n);
  if (quoted.size() + rest > static_cast<std::size_t>(capacity < 0 ? 0 : capacity)) return -1;
  std::memmove(str + quoted.size(), str + n, rest);
  std::memcpy(str, quoted.data(), quoted.size());
  return static_cast<int>(quoted.size());
}
