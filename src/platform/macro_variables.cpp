#include "platform/macro_variables.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "platform/datasets/value_text.h"

namespace platform {
namespace {

constexpr std::size_t kMaxName = 32;

bool valid_name(std::string_view name) {
  if (name.empty() || name.size() > kMaxName) return false;
  auto word_char = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
  const char first = name.front();
  return (std::isalpha(static_cast<unsigned char>(first)) || first == '_') &&
         std::all_of(name.begin(), name.end(), word_char);
}

std::string upper(std::string_view name) {
  std::string out(name);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

bool MacroVariables::set(std::string_view name, std::string value) {
  if (!valid_name(name)) return false;
  std::string key = upper(name);
  if (std::find(changed_.begin(), changed_.end(), key) == changed_.end()) changed_.push_back(key);
  values_[std::move(key)] = std::move(value);
  return true;
}

std::optional<std::string> MacroVariables::find(std::string_view name) const {
  const auto it = values_.find(upper(name));
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

std::vector<std::pair<std::string, std::string>> MacroVariables::take_changes() {
  std::vector<std::pair<std::string, std::string>> out;
  for (const std::string& name : changed_) out.emplace_back(name, values_[name]);
  changed_.clear();
  return out;
}

std::string macro_number_text(double value) {
  if (value == 0) return "0";
  if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e19) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", value);
    return text;
  }
  char text[ds::kNumberTextSize];
  return std::string(text, ds::write_number(value, text));
}

}  // namespace platform
