#include "platform/graphs/graph_data.h"

#include <cctype>
#include <cmath>
#include <limits>

#include "platform/listing/visible_text.h"

namespace platform::graphs {

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

const std::vector<double>* GraphTable::column(std::string_view name) const {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (same_name(names[i], name)) return &columns[i];
  return nullptr;
}

std::string GraphTable::label(std::string_view name) const {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (same_name(names[i], name)) return visible_text(labels[i].empty() ? names[i] : labels[i]);
  return {};
}

std::vector<double> GraphTable::values(std::string_view name) const {
  if (const auto* c = column(name)) return *c;
  return std::vector<double>(rows, std::numeric_limits<double>::quiet_NaN());
}

std::string GraphRequest::kind() const {
  const auto dot = template_path.rfind('.');
  std::string k = dot == std::string::npos ? template_path : template_path.substr(dot + 1);
  for (char& c : k) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return k;
}

namespace {
const nlohmann::ordered_json* find_var(const nlohmann::ordered_json& dynamic, std::string_view var) {
  for (auto it = dynamic.begin(); it != dynamic.end(); ++it)
    if (same_name(it.key(), var)) return &it.value();
  return nullptr;
}
}  // namespace

std::string GraphRequest::text(std::string_view var) const {
  const auto* v = find_var(dynamic, var);
  return v && v->is_string() ? visible_text(v->get<std::string>()) : std::string();
}

std::string GraphRequest::text_or(std::string_view var, const std::string& fallback) const {
  std::string t = text(var);
  return t.empty() ? fallback : t;
}

double GraphRequest::number(std::string_view var) const {
  const auto* v = find_var(dynamic, var);
  if (!v) return std::numeric_limits<double>::quiet_NaN();
  if (v->is_number()) return v->get<double>();
  // A switch some templates receive as the text "TRUE" or "FALSE".
  if (v->is_string() && same_name(v->get<std::string>(), "TRUE")) return 1;
  if (v->is_string() && same_name(v->get<std::string>(), "FALSE")) return 0;
  return std::numeric_limits<double>::quiet_NaN();
}

bool GraphRequest::flag(std::string_view var) const {
  const double v = number(var);
  return std::isfinite(v) && v != 0;
}

long long GraphRequest::integer(std::string_view var, long long absent) const {
  const double v = number(var);
  return std::isfinite(v) ? static_cast<long long>(std::llround(v)) : absent;
}

}  // namespace platform::graphs
