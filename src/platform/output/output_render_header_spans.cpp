#include "platform/output/output_render_header_spans.h"

#include <algorithm>

#include "platform/names.h"

namespace platform {
namespace {

struct SpanRule {
  const char* template_path;
  const char* attribute;
  const char* first;
  const char* last;
};

// The header groups that the templates define.
constexpr SpanRule kRules[] = {
    {"stat.ruva.ParameterEstimates", "ciheader", "LowerCL", "UpperCL"},
    {"stat.ruva.ParameterEstimates", "bcheader", "BCLowerCL", "BCUpperCL"},
    {"stat.ruva.ParameterEstimates", "percheader", "PercLowerCL", "percUpperCL"},
    {"stat.ruva.ParameterEstimates", "normalheader", "NormalLowerCL", "NormalUpperCL"},
};

int column_index(const OutputItem& item, const std::string& name) {
  for (std::size_t i = 0; i < item.columns.size(); ++i)
    if (upper_case(item.columns[i].name) == upper_case(name)) return static_cast<int>(i);
  return -1;
}

}  // namespace

std::vector<HeaderSpan> header_spans(const OutputItem& item) {
  std::vector<HeaderSpan> spans;
  for (const SpanRule& rule : kRules) {
    if (upper_case(item.template_path) != upper_case(rule.template_path)) continue;
    const auto text = item.attributes.find(rule.attribute);
    if (text == item.attributes.end() || !text->is_string()) continue;
    const int first = column_index(item, rule.first), last = column_index(item, rule.last);
    if (first < 0 || last < first) continue;
    spans.push_back({text->get<std::string>(), static_cast<std::size_t>(first), static_cast<std::size_t>(last)});
  }
  std::sort(spans.begin(), spans.end(), [](const HeaderSpan& a, const HeaderSpan& b) { return a.first < b.first; });
  return spans;
}

}  // namespace platform
