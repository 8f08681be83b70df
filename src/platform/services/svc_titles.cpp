// Vector 289: title splitting, and vector 40's decimals for a magnitude.
#include <cstring>

#include "platform/host.h"
#include "platform/listing/number_format.h"
#include "platform/services/service_impls.h"

namespace platform::svc {

// Breaks a title into pieces no wider than the line: at the last blank that
// keeps the piece within the line, or inside a word longer than the line.
// Blanks between pieces are dropped. Every split code breaks this way.
int ztxnext(int /*split*/, const char* text, int length, int /*flags*/, int* status, int* start,
            int* piece_length, int* cursor) {
  if (!status || !start || !piece_length || !cursor) return 1;
  const int n = !text ? 0 : length < 0 ? static_cast<int>(std::strlen(text)) : length;
  const int width = Host::current().print_file().linesize();
  int pos = *cursor < 0 ? 0 : *cursor;
  while (pos < n && text[pos] == ' ') ++pos;
  int end = n;
  int next = n;
  if (n - pos > width) {
    end = pos + width;
    next = end;
    for (int b = pos + width; b > pos; --b)
      if (text[b] == ' ') {
        end = b;
        next = b + 1;
        break;
      }
  }
  int trimmed = end;
  while (trimmed > pos && text[trimmed - 1] == ' ') --trimmed;
  *start = pos;
  *piece_length = trimmed - pos;
  while (next < n && text[next] == ' ') ++next;
  *cursor = next;
  *status = next >= n ? -1 : 0;
  return 0;
}

int zpfmt(double value, int width) { return fixed_decimals(value, width); }

}  // namespace platform::svc
