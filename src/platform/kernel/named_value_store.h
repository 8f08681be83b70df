// The kernel library's store of named values: typed values (double, 64-bit
// integer, wide text) under wide names, safe to read and write from any
// thread. A name "OSENV.X" that the store does not hold is answered from the
// environment variable X, as text. Numbers convert between integer and
// double when the value is exact in the other type; text and numbers never
// convert (a text value read as a number answers "wrong type", so that
// callers can fall back to reading the text). A name keeps its kind: a
// number cannot be replaced by text or text by a number until the name is
// cleared.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>

#include "host/kernel_records.h"

namespace platform {

class NamedValueStore {
 public:
  enum Type : int { kDouble = 2, kInteger = 3, kText = 4 };

  struct Value {
    Type type = kText;
    double real = 0;
    std::int64_t integer = 0;
    std::u32string text;
  };

  // Reads the value as `type` into `result`; `*size` gives the bytes
  // available and receives the bytes stored (never more than given). Text
  // that does not fit is cut at a whole character with 0x803FE807.
  QXStatus get(std::u32string_view name, int type, void* result, QXMemSize* size) const;
  // Stores `size` bytes of a value of `type`; an absent name is made only
  // when `create` is set.
  QXStatus set(std::u32string_view name, bool create, int type, const void* value,
               QXMemSize size);
  bool exists(std::u32string_view name) const;
  QXStatus clear(std::u32string_view name);

  std::optional<Value> find(std::u32string_view name) const;
  void put(std::u32string_view name, const Value& value);

 private:
  mutable std::shared_mutex mutex_;
  std::map<std::u32string, Value, std::less<>> values_;
};

// The value a command-line text stands for: an integer, else a number, else
// text.
NamedValueStore::Value value_from_text(std::string_view text);

}  // namespace platform
