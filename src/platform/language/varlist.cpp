#include "platform/language/varlist.h"

#include <cctype>
#include <string>

#include "platform/language/messages.h"

namespace platform::language {
namespace {

bool plain_name(const Token& t) {
  return t.kind == TokenKind::Name && t.upper.find('.') == std::string::npos;
}

// Splits x12 into "x" and "12"; false when the name does not end in digits.
bool split_numbered(const std::string& name, std::string* stem, std::string* digits) {
  std::size_t k = name.size();
  while (k > 0 && std::isdigit(static_cast<unsigned char>(name[k - 1]))) --k;
  if (k == name.size() || k == 0) return false;
  *stem = name.substr(0, k);
  *digits = name.substr(k);
  return true;
}

bool same_stem(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

void expand_numbered(Cursor& in, const Token& first, const Token& last, VarList* out) {
  std::string stem1, digits1, stem2, digits2;
  const std::string a(first.spell), b(last.spell);
  // Numbers of more than 18 digits would not fit a long.
  if (!split_numbered(a, &stem1, &digits1) || !split_numbered(b, &stem2, &digits2) ||
      !same_stem(stem1, stem2) || digits1.size() > 18 || digits2.size() > 18)
    in.fail_at(first, msg::kExpected, {"a numbered range such as x1-x3", a + "-" + b});
  const long from = std::stol(digits1), to = std::stol(digits2);
  if (to < from || to - from >= kMaxNumberedRange)
    in.fail_at(first, msg::kExpected, {"a numbered range such as x1-x3", a + "-" + b});
  const bool padded = digits1.size() > 1 && digits1[0] == '0';
  for (long n = from; n <= to; ++n) {
    std::string num = std::to_string(n);
    if (padded && num.size() < digits1.size()) num.insert(0, digits1.size() - num.size(), '0');
    VarListItem item;
    item.kind = VarListKind::Name;
    item.pos = first.pos;
    item.first = stem1 + num;
    out->push_back(std::move(item));
  }
}

}  // namespace

bool at_varlist_item(Cursor& in, bool option_ends) {
  return plain_name(in.peek()) && !(option_ends && in.is("=", 1));
}

void parse_varlist_item(Cursor& in, VarList* out) {
  const Token& first = in.expect_name("a variable name");
  VarListItem item;
  item.pos = first.pos;
  item.first = std::string(first.spell);
  if (first.upper == "_ALL_") item.kind = VarListKind::All;
  else if (first.upper == "_NUMERIC_") item.kind = VarListKind::Numeric;
  else if (first.upper == "_CHARACTER_" || first.upper == "_CHAR_") item.kind = VarListKind::Character;
  if (item.kind != VarListKind::Name) {
    out->push_back(std::move(item));
    return;
  }
  if (in.is(":")) {  // a prefix list x:
    in.next();
    item.kind = VarListKind::Prefix;
    out->push_back(std::move(item));
    return;
  }
  if (in.is("-") && in.is("-", 1) && plain_name(in.peek(2))) {  // a--b
    in.next();
    in.next();
    item.kind = VarListKind::Range;
    item.last = std::string(in.next().spell);
    out->push_back(std::move(item));
    return;
  }
  if (in.is("-") && (in.is("NUMERIC", 1) || in.is("CHARACTER", 1) || in.is("CHAR", 1)) &&
      in.is("-", 2) && plain_name(in.peek(3))) {  // a-NUMERIC-b
    in.next();
    item.kind = in.next().is("NUMERIC") ? VarListKind::NumericRange : VarListKind::CharacterRange;
    in.next();
    item.last = std::string(in.next().spell);
    out->push_back(std::move(item));
    return;
  }
  if (in.is("-") && plain_name(in.peek(1))) {  // x1-x3
    in.next();
    const Token& last = in.next();
    expand_numbered(in, first, last, out);
    return;
  }
  out->push_back(std::move(item));
}

VarList parse_varlist(Cursor& in, bool required, const char* what, bool option_ends) {
  VarList out;
  if (required && !at_varlist_item(in, option_ends)) in.fail_expected(what);
  while (at_varlist_item(in, option_ends)) parse_varlist_item(in, &out);
  return out;
}

std::string varlist_item_text(const VarListItem& v) {
  switch (v.kind) {
    case VarListKind::Name: break;
    case VarListKind::Range: return v.first + "--" + v.last;
    case VarListKind::NumericRange: return v.first + "-NUMERIC-" + v.last;
    case VarListKind::CharacterRange: return v.first + "-CHARACTER-" + v.last;
    case VarListKind::Prefix: return v.first + ":";
    case VarListKind::All: return "_ALL_";
    case VarListKind::Numeric: return "_NUMERIC_";
    case VarListKind::Character: return "_CHARACTER_";
  }
  return v.first;
}

std::vector<std::string> varlist_texts(const VarList& list) {
  std::vector<std::string> out;
  for (const VarListItem& v : list) out.push_back(varlist_item_text(v));
  return out;
}

VarListItem varlist_item_of_text(const std::string& text) {
  VarListItem item;
  item.first = text;
  const auto ranged = [&](const char* separator, VarListKind kind) {
    const std::size_t at = text.find(separator);
    if (at == std::string::npos || at == 0) return false;
    item.kind = kind;
    item.first = text.substr(0, at);
    item.last = text.substr(at + std::char_traits<char>::length(separator));
    return true;
  };
  std::string upper = text;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper == "_ALL_") item.kind = VarListKind::All;
  else if (upper == "_NUMERIC_") item.kind = VarListKind::Numeric;
  else if (upper == "_CHARACTER_" || upper == "_CHAR_") item.kind = VarListKind::Character;
  else if (!text.empty() && text.back() == ':') item.kind = VarListKind::Prefix, item.first.pop_back();
  else if (!ranged("--", VarListKind::Range) && !ranged("-NUMERIC-", VarListKind::NumericRange))
    ranged("-CHARACTER-", VarListKind::CharacterRange);
  return item;
}

}  // namespace platform::language
