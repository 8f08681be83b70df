#include "platform/output/output_render_panels.h"

namespace platform {

std::vector<std::vector<std::size_t>> table_panels(const std::vector<PanelColumn>& cols,
                                                   const std::vector<HeaderSpan>& spans, int line, int gap) {
  std::vector<std::size_t> ids;
  int id_width = 0;
  for (std::size_t i = 0; i + 1 < cols.size() && cols[i].text; ++i) {
    ids.push_back(i);
    id_width += cols[i].width + gap;
  }
  if (id_width > line / 2) {
    ids.clear();
    id_width = 0;
  }
  // A header group's columns are placed as one unit from its first column.
  std::vector<std::size_t> unit_end(cols.size());
  for (std::size_t i = 0; i < cols.size(); ++i) unit_end[i] = i;
  for (const HeaderSpan& s : spans)
    if (s.first >= ids.size() && s.last < cols.size()) unit_end[s.first] = s.last;
  std::vector<std::vector<std::size_t>> out;
  std::vector<std::size_t> current = ids;
  int used = id_width;
  for (std::size_t i = ids.size(); i < cols.size(); ++i) {
    int need = current.empty() ? -gap : 0;
    for (std::size_t j = i; j <= unit_end[i]; ++j) need += cols[j].width + gap;
    if (current.size() > ids.size() && used + need > line) {
      out.push_back(current);
      current = ids;
      used = id_width;
    }
    used += cols[i].width + (current.empty() ? 0 : gap);
    current.push_back(i);
  }
  if (current.size() > ids.size() || out.empty()) out.push_back(current);
  return out;
}

}  // namespace platform
