#include "platform/kernel/named_value_store.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/utf8.h"

namespace platform {
namespace {

constexpr std::u32string_view kEnvironmentPrefix = U"OSENV.";
constexpr std::int64_t kExactIntegerLimit = 1LL << 53;  // every integer up to it is a double
constexpr QXMemSize kNumberSize = 8;

std::optional<NamedValueStore::Value> from_environment(std::u32string_view name) {
  if (!name.starts_with(kEnvironmentPrefix) || name.size() == kEnvironmentPrefix.size())
    return std::nullopt;
  const std::string variable = to_utf8(name.substr(kEnvironmentPrefix.size()));
  if (variable.find('\0') != std::string::npos) return std::nullopt;
  const char* text = std::getenv(variable.c_str());
  if (!text) return std::nullopt;
  NamedValueStore::Value v;
  v.text = from_utf8(text);
  return v;
}

QXStatus read_double(const NamedValueStore::Value& v, double* out) {
  if (v.type == NamedValueStore::kDouble) *out = v.real;
  else if (v.type == NamedValueStore::kInteger && v.integer >= -kExactIntegerLimit &&
           v.integer <= kExactIntegerLimit)
    *out = static_cast<double>(v.integer);
  else
    return kQXWrongType;
  return 0;
}

QXStatus read_integer(const NamedValueStore::Value& v, std::int64_t* out) {
  if (v.type == NamedValueStore::kInteger) {
    *out = v.integer;
    return 0;
  }
  // A double converts when it is a whole number inside the 64-bit range.
  if (v.type == NamedValueStore::kDouble && v.real == std::trunc(v.real) &&
      v.real >= -9223372036854775808.0 && v.real < 9223372036854775808.0) {
    *out = static_cast<std::int64_t>(v.real);
    return 0;
  }
  return kQXWrongType;
}

QXStatus read_text(const NamedValueStore::Value& v, void* result, QXMemSize* size) {
  if (v.type != NamedValueStore::kText) return kQXWrongType;
  const QXMemSize room = *size / sizeof(QXChar);
  const QXMemSize n = std::min<QXMemSize>(room, v.text.size());
  std::memcpy(result, v.text.data(), n * sizeof(QXChar));
  *size = n * sizeof(QXChar);
  return n < v.text.size() ? kQXBufferTooSmall : 0;
}

}  // namespace

std::optional<NamedValueStore::Value> NamedValueStore::find(std::u32string_view name) const {
  {
    std::shared_lock lock(mutex_);
    auto it = values_.find(name);
    if (it != values_.end()) return it->second;
  }
  return from_environment(name);
}

void NamedValueStore::put(std::u32string_view name, const Value& value) {
  std::unique_lock lock(mutex_);
  values_.insert_or_assign(std::u32string(name), value);
}

bool NamedValueStore::exists(std::u32string_view name) const { return find(name).has_value(); }

QXStatus NamedValueStore::clear(std::u32string_view name) {
  std::unique_lock lock(mutex_);
  auto it = values_.find(name);
  if (it == values_.end()) return kQXNameAbsent;
  values_.erase(it);
  return 0;
}

QXStatus NamedValueStore::get(std::u32string_view name, int type, void* result,
                              QXMemSize* size) const {
  if (name.empty() || !result || !size) return kQXInvalidArgument;
  if (type != kDouble && type != kInteger && type != kText) return kQXInvalidArgument;
  if (type != kText && *size < kNumberSize) return kQXInvalidArgument;
  const std::optional<Value> v = find(name);
  if (!v) return kQXNameAbsent;
  if (type == kText) return read_text(*v, result, size);
  QXStatus status;
  if (type == kDouble) {
    double d = 0;
    status = read_double(*v, &d);
    if (status == 0) std::memcpy(result, &d, kNumberSize);
  } else {
    std::int64_t i = 0;
    status = read_integer(*v, &i);
    if (status == 0) std::memcpy(result, &i, kNumberSize);
  }
  if (status == 0) *size = kNumberSize;
  return status;
}

QXStatus NamedValueStore::set(std::u32string_view name, bool create, int type,
                              const void* value, QXMemSize size) {
  if (name.empty()) return kQXInvalidArgument;
  Value v;
  v.type = static_cast<Type>(type);
  if (type == kDouble || type == kInteger) {
    if (size != kNumberSize || !value) return kQXInvalidArgument;
    if (type == kDouble) std::memcpy(&v.real, value, kNumberSize);
    else std::memcpy(&v.integer, value, kNumberSize);
  } else if (type == kText) {
    if (size % sizeof(QXChar) != 0 || (size > 0 && !value)) return kQXInvalidArgument;
    v.text.resize(size / sizeof(QXChar));
    if (size > 0) std::memcpy(v.text.data(), value, size);
  } else {
    return kQXInvalidArgument;
  }
  std::unique_lock lock(mutex_);
  auto it = values_.find(name);
  if (it == values_.end()) {
    if (!create) return kQXNameAbsent;
    values_.emplace(std::u32string(name), std::move(v));
    return 0;
  }
  if ((it->second.type == kText) != (v.type == kText)) return kQXWrongType;
  it->second = std::move(v);
  return 0;
}

NamedValueStore::Value value_from_text(std::string_view text) {
  NamedValueStore::Value v;
  const std::string s(text);
  if (!s.empty() && s.find_first_of(" \t\n") == std::string::npos) {
    char* end = nullptr;
    errno = 0;
    const long long i = std::strtoll(s.c_str(), &end, 10);
    if (*end == '\0' && errno == 0) {
      v.type = NamedValueStore::kInteger;
      v.integer = i;
      return v;
    }
    const double d = std::strtod(s.c_str(), &end);
    if (*end == '\0' && std::isfinite(d)) {
      v.type = NamedValueStore::kDouble;
      v.real = d;
      return v;
    }
  }
  v.type = NamedValueStore::kText;
  v.text = from_utf8(text);
  return v;
}

}  // namespace platform
