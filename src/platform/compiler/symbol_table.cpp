#include "platform/compiler/symbol_table.h"

#include <bit>
#include <cctype>
#include <charconv>
#include <cmath>

#include "host/missing.h"

namespace platform::compiler {

std::string upper_key(std::string_view name) {
  std::string key(name);
  for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return key;
}

Symbol* SymbolTable::find(std::string_view name) {
  auto it = by_key_.find(upper_key(name));
  return it == by_key_.end() ? nullptr : symbols_[it->second].get();
}

Symbol* SymbolTable::add(std::string_view name, std::string key, double value) {
  const int cell = store_.add_cell(value);
  if (cell < 0) return nullptr;
  auto s = std::make_unique<Symbol>();
  s->name = std::string(name);
  s->key = std::move(key);
  s->cell = cell;
  CMPSYM& p = s->pub;
  p.name = s->name.c_str();
  p.nameleng = static_cast<std::int16_t>(s->name.size());
  p.kind = 'v';
  p.type = ' ';
  p.length = 8;
  p.data = store_.cells() + cell;
  p.id = static_cast<std::int32_t>(symbols_.size());
  if (!symbols_.empty()) symbols_.back()->pub.next = &p;
  symbols_.push_back(std::move(s));
  return symbols_.back().get();
}

Symbol* SymbolTable::define(std::string_view name) {
  std::string key = upper_key(name);
  if (auto it = by_key_.find(key); it != by_key_.end()) return symbols_[it->second].get();
  Symbol* s = add(name, key, missing_value());
  if (s) by_key_.emplace(std::move(key), symbols_.size() - 1);
  return s;
}

Symbol* SymbolTable::literal(double value) {
  const auto bits = std::bit_cast<std::uint64_t>(value);
  if (auto it = literals_.find(bits); it != literals_.end()) return symbols_[it->second].get();
  const std::string text = number_text(value);
  Symbol* s = add(text, text, value);
  if (!s) return nullptr;
  s->pub.kind = 'l';
  s->pub.type = 'n';
  s->pub.flags[0] |= kCmpHasInitial;
  s->init_values = {value};
  s->pub.ninit = 1;
  s->pub.init = s->init_values.data();
  literals_.emplace(bits, symbols_.size() - 1);
  return s;
}

Symbol* SymbolTable::find_literal(double value) {
  auto it = literals_.find(std::bit_cast<std::uint64_t>(value));
  return it == literals_.end() ? nullptr : symbols_[it->second].get();
}

Symbol* SymbolTable::literal(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text == ".") return literal(missing_value());
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return nullptr;
  return literal(value);
}

bool SymbolTable::make_character(Symbol& s, int length) {
  if (s.char_offset < 0 || s.char_capacity < length) {
    const int offset = store_.add_chars(length);
    if (offset < 0) return false;
    s.char_offset = offset;
    s.char_capacity = length;
  }
  s.pub.type = '$';
  s.pub.length = length;
  s.pub.data = store_.chars() + s.char_offset;
  return true;
}

void SymbolTable::make_numeric(Symbol& s) {
  s.pub.type = 'n';
  s.pub.length = 8;
  s.pub.data = store_.cells() + s.cell;
}

}  // namespace platform::compiler
