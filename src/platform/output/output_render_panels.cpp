#include "platform/output/output_render_panels.h"

#include <algorithm>

namespace platform {
namespace {

// The end of the unit that starts at each column: a header group's columns
// are placed as one unit from its first column, unless a row header is
// among them.
std::vector<std::size_t> unit_ends(const std::vector<PanelColumn>& cols, const std::vector<HeaderSpan>& spans) {
  std::vector<std::size_t> end(cols.size());
  for (std::size_t i = 0; i < cols.size(); ++i) end[i] = i;
  for (const HeaderSpan& s : spans) {
    if (s.last >= cols.size()) continue;
    bool plain = true;
    for (std::size_t j = s.first; j <= s.last; ++j) plain = plain && !cols[j].row_header;
    if (plain) end[s.first] = s.last;
  }
  return end;
}

}  // namespace

std::vector<std::vector<std::size_t>> table_panels(const std::vector<PanelColumn>& cols,
                                                   const std::vector<HeaderSpan>& spans, int line, int gap) {
  std::vector<std::size_t> headers;
  int header_width = -gap;  // a panel's width so far, -gap when it is empty
  for (std::size_t i = 0; i < cols.size(); ++i)
    if (cols[i].row_header) {
      headers.push_back(i);
      header_width += cols[i].width + gap;
    }
  const std::vector<std::size_t> unit_end = unit_ends(cols, spans);
  std::vector<std::vector<std::size_t>> out;
  std::vector<std::size_t> run;
  auto close_panel = [&] {
    std::vector<std::size_t> panel = headers;
    panel.insert(panel.end(), run.begin(), run.end());
    std::sort(panel.begin(), panel.end());
    out.push_back(std::move(panel));
    run.clear();
  };
  int used = header_width;
  for (std::size_t i = 0; i < cols.size(); ++i) {
    if (cols[i].row_header) continue;
    int need = 0;
    for (std::size_t j = i; j <= unit_end[i]; ++j) need += cols[j].width + gap;
    if (!run.empty() && used + need > line) {
      close_panel();
      used = header_width;
    }
    run.push_back(i);
    used += cols[i].width + gap;
  }
  if (!run.empty() || out.empty()) close_panel();
  return out;
}

}  // namespace platform
