#include "procedure/model_text.h"

#include <cstring>

#include "host/globals.h"
#include "host/pool.h"
#include "host/services.h"

char* model_text_new(std::int32_t capacity) {
  auto* text = static_cast<char*>(vmalcp_handler(task_pool(), capacity, kPoolCleared));
  if (!text) xexit(1016, 0);
  std::memset(text, ' ', static_cast<std::size_t>(capacity));
  return text;
}

void model_text_reserve(char** text, std::int32_t* capacity, std::int32_t length, std::int32_t extra) {
  std::int64_t cap = *capacity > 0 ? *capacity : 1;
  if (static_cast<std::int64_t>(length) + extra + 3 <= cap) return;
  while (static_cast<std::int64_t>(length) + extra + 3 > cap) cap *= 2;
  if (cap > INT32_MAX) xexit(1016, 0);
  char* moved = model_text_new(static_cast<std::int32_t>(cap));
  if (*text) {
    std::memcpy(moved, *text, static_cast<std::size_t>(length));
    vmfree_handler(task_pool(), *text, kUnknownLength, kPoolRelease);
  }
  *text = moved;
  *capacity = static_cast<std::int32_t>(cap);
}

void model_text_append(char** text, std::int32_t* capacity, std::int32_t* length, const char* bytes,
                       std::int32_t n) {
  model_text_reserve(text, capacity, *length, n);
  std::memcpy(*text + *length + 1, bytes, static_cast<std::size_t>(n));
  *length += n + 2;
}
