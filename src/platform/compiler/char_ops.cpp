// Character operations of the interpreter. A character variable holds its
// full length, blank-padded; a temporary holds the length its value has.
// Comparisons pad the shorter value with blanks; a value of blanks only is
// the character missing value.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

#include "host/missing.h"
#include "platform/compiler/executor.h"
#include "platform/compiler/language_functions.h"
#include "platform/compiler/value_format.h"

namespace platform::compiler {
namespace {

std::string_view trimmed(const char* p, int n) {
  int begin = 0, end = n;
  while (begin < end && p[begin] == ' ') ++begin;
  while (end > begin && p[end - 1] == ' ') --end;
  return {p + begin, static_cast<std::size_t>(end - begin)};
}

int compare_padded(const char* a, int na, const char* b, int nb) {
  const int n = std::max(na, nb);
  for (int i = 0; i < n; ++i) {
    const unsigned char x = i < na ? static_cast<unsigned char>(a[i]) : ' ';
    const unsigned char y = i < nb ? static_cast<unsigned char>(b[i]) : ' ';
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

bool compare_result(int code, int cmp) {
  switch (code) {
    case 0: return cmp == 0;
    case 1: return cmp != 0;
    case 2: return cmp < 0;
    case 3: return cmp <= 0;
    case 4: return cmp > 0;
    default: return cmp >= 0;
  }
}

// The number a text holds; false when it holds none. Blanks and "." are
// the missing value.
bool parse_number(std::string_view t, double* value) {
  if (t.empty() || t == ".") return *value = missing_value(), true;
  if (t.size() == 2 && t[0] == '.' && std::isalpha(static_cast<unsigned char>(t[1])))
    return *value = letter_missing_value(static_cast<char>(std::toupper(static_cast<unsigned char>(t[1])))), true;
  if (t.front() == '+') t.remove_prefix(1);
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), *value);
  return ec == std::errc() && end == t.data() + t.size() && std::isfinite(*value);
}

}  // namespace

void Executor::store_chars(int dst, const char* text, int length) {
  const CharSlot& s = program_->slots[static_cast<std::size_t>(dst)];
  char* out = slot(dst);
  const int n = std::min(length, s.capacity);
  if (n > 0) std::memmove(out, text, static_cast<std::size_t>(n));
  if (s.variable) {
    std::memset(out + n, ' ', static_cast<std::size_t>(s.capacity - n));
    slot_len_[static_cast<std::size_t>(dst)] = s.capacity;
  } else {
    slot_len_[static_cast<std::size_t>(dst)] = std::max(n, 0);
  }
}

void Executor::char_op(const Instr& in) {
  auto len = [&](int s) { return slot_len_[static_cast<std::size_t>(s)]; };
  double* const c = c_;
  switch (in.op) {
    case Op::CMov:
      return store_chars(in.a, slot(in.b), len(in.b));
    case Op::CCat: {
      std::string joined(slot(in.b), static_cast<std::size_t>(len(in.b)));
      joined.append(slot(in.c), static_cast<std::size_t>(len(in.c)));
      return store_chars(in.a, joined.data(), static_cast<int>(joined.size()));
    }
    case Op::CCmp:
      c[in.a] = compare_result(in.d, compare_padded(slot(in.b), len(in.b), slot(in.c), len(in.c))) ? 1 : 0;
      return;
    case Op::N2C: {
      std::string text = best_text(c[in.b], 12);
      text.insert(0, text.size() < 12 ? 12 - text.size() : 0, ' ');
      return store_chars(in.a, text.data(), static_cast<int>(text.size()));
    }
    case Op::C2N: {
      const std::string_view t = trimmed(slot(in.b), len(in.b));
      double value = 0;
      if (!parse_number(t, &value)) {
        fail(in.site, RunError::InvalidNumber, std::string(t));
        value = missing_value();
      }
      c[in.a] = value;
      return;
    }
    case Op::CFn: {
      const char* p = slot(in.b);
      const int n = len(in.b);
      std::string out(p, static_cast<std::size_t>(n));
      switch (static_cast<LanguageFn>(in.d)) {
        case LanguageFn::Trim: {
          const auto end = out.find_last_not_of(' ');
          out = end == std::string::npos ? " " : out.substr(0, end + 1);
          break;
        }
        case LanguageFn::Strip: {
          const std::string_view t = trimmed(p, n);
          out.assign(t.begin(), t.end());
          break;
        }
        case LanguageFn::Left: {
          const auto begin = out.find_first_not_of(' ');
          if (begin != std::string::npos) out = out.substr(begin) + std::string(begin, ' ');
          break;
        }
        case LanguageFn::Upcase:
          for (char& ch : out) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
          break;
        case LanguageFn::Lowcase:
          for (char& ch : out) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
          break;
        default:
          break;
      }
      return store_chars(in.a, out.data(), static_cast<int>(out.size()));
    }
    case Op::CSubstr: {
      const int n = len(in.b);
      const double pos = c[in.c];
      const double count = in.d >= 0 ? c[in.d] : n - std::trunc(pos) + 1;
      if (std::isnan(pos) || std::isnan(count) || pos < 1 || pos > n || count < 0 ||
          std::trunc(pos) + std::trunc(count) - 1 > n) {
        fail(in.site, RunError::FunctionArgument);
        return store_chars(in.a, " ", 1);
      }
      const int from = static_cast<int>(pos) - 1;
      return store_chars(in.a, slot(in.b) + from, static_cast<int>(count));
    }
    case Op::CLength: {
      const int n = static_cast<int>(std::string_view(slot(in.b), static_cast<std::size_t>(len(in.b)))
                                         .find_last_not_of(' ') + 1);
      c[in.a] = std::max(n, 1);
      return;
    }
    case Op::CIndex: {
      const std::string_view hay(slot(in.b), static_cast<std::size_t>(len(in.b)));
      const std::string_view needle(slot(in.c), static_cast<std::size_t>(len(in.c)));
      const auto at = needle.empty() ? std::string_view::npos : hay.find(needle);
      c[in.a] = at == std::string_view::npos ? 0 : static_cast<double>(at + 1);
      return;
    }
    case Op::CMissing:
      c[in.a] = trimmed(slot(in.b), len(in.b)).empty() ? 1 : 0;
      return;
    case Op::CLoadX: {
      const int element = program_->arrays[static_cast<std::size_t>(in.c)]
                              .elements[static_cast<std::size_t>(c[in.b])];
      return store_chars(in.a, slot(element), len(element));
    }
    case Op::CStoreX: {
      const int element = program_->arrays[static_cast<std::size_t>(in.c)]
                              .elements[static_cast<std::size_t>(c[in.b])];
      return store_chars(element, slot(in.a), len(in.a));
    }
    default:
      return;
  }
}

}  // namespace platform::compiler
