#include "platform/report/html_blocks.h"

#include <algorithm>

#include "platform/output/output_render_columns.h"
#include "platform/output/output_render_header_spans.h"
#include "platform/report/html_report.h"
#include "platform/report/long_words.h"
#include "platform/report/page_panels.h"

namespace platform::report {
namespace {

std::string trimmed(const std::string& s) {
  const auto a = s.find_first_not_of(' ');
  if (a == std::string::npos) return {};
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

bool numeric(const ColumnSpec& c) { return style_of(c).kind != ColumnStyle::Text; }

std::string notes_html(const OutputItem& item) {
  std::string h;
  for (const std::string& n : item.notes) h += "<p class=\"note\">" + html_escape(n) + "</p>\n";
  return h;
}

// The header groups over the panel's columns `ids` that show a group's
// columns whole, blank cells over the others; empty when there are none.
std::string header_group_row(const std::vector<HeaderSpan>& spans, const std::vector<std::size_t>& ids) {
  auto blank = [](std::size_t n) { return "<td colspan=\"" + std::to_string(n) + "\"></td>"; };
  std::string h;
  std::size_t k = 0;  // the panel's columns before k have their cell
  for (const HeaderSpan& s : spans) {
    const std::size_t first = std::find(ids.begin(), ids.end(), s.first) - ids.begin();
    const std::size_t n = s.last - s.first + 1;
    if (first < k || first + n > ids.size() || ids[first + n - 1] != s.last) continue;
    if (first > k) h += blank(first - k);
    h += "<th scope=\"colgroup\" class=\"group\" colspan=\"" + std::to_string(n) + "\">" + breakable_html(s.text) + "</th>";
    k = first + n;
  }
  if (h.empty()) return {};
  if (k < ids.size()) h += blank(ids.size() - k);
  return "<tr>" + h + "</tr>";
}

// Each column's cells as the listing shows them, blank where a row lacks it.
std::vector<std::vector<std::string>> table_cells(const OutputItem& item) {
  std::vector<std::vector<std::string>> cells(item.columns.size(), std::vector<std::string>(item.rows.size()));
  const std::vector<const Cell*> shared = shared_decimal_cells(item);
  for (std::size_t c = 0; c < item.columns.size(); ++c) {
    std::vector<const Cell*> column;
    for (const auto& row : item.rows)
      if (c < row.size()) column.push_back(&row[c]);
    if (column.size() < item.rows.size()) continue;
    const std::vector<std::string> shown = format_cells(item.columns[c], column, shared.empty() ? nullptr : &shared);
    for (std::size_t r = 0; r < shown.size(); ++r) cells[c][r] = trimmed(shown[r]);
  }
  return cells;
}

// One panel: the table of the columns `ids`.
std::string panel_html(const OutputItem& item, const std::vector<std::vector<std::string>>& cells,
                       const std::vector<HeaderSpan>& spans, const std::vector<std::size_t>& ids,
                       const std::string& attributes, const std::string& caption) {
  std::string h = "<table" + attributes + ">\n<caption>" + breakable_html(caption) + "</caption>\n";
  h += "<thead>" + header_group_row(spans, ids) + "<tr>";
  for (std::size_t c : ids) {
    const ColumnSpec& column = item.columns[c];
    h += std::string("<th scope=\"col\"") + (numeric(column) ? " class=\"num\"" : "") + ">" +
         breakable_html(column_heading(column)) + "</th>";
  }
  h += "</tr></thead>\n<tbody>\n";
  for (std::size_t r = 0; r < item.rows.size(); ++r) {
    h += "<tr>";
    for (std::size_t c : ids) {
      const bool number = numeric(item.columns[c]), head = c == 0 && !number;
      h += std::string(head ? "<th scope=\"row\"" : "<td") + (number ? " class=\"num\">" : ">") +
           (number ? html_escape(cells[c][r]) : breakable_html(cells[c][r])) + (head ? "</th>" : "</td>");
    }
    h += "</tr>\n";
  }
  return h + "</tbody>\n</table>\n";
}

// A table wider than the page comes in panels, each repeating the row
// labels; the box scrolls only on a screen narrower than the panels.
std::string table_html(const OutputItem& item, const std::string& id) {
  const std::vector<std::vector<std::string>> cells = table_cells(item);
  const std::vector<HeaderSpan> spans = header_spans(item);
  const std::vector<std::vector<std::size_t>> panels = page_panels(item, cells, spans);
  const std::string caption = output_caption(item);
  std::string h = "<div class=\"table-wrap\">\n";
  for (std::size_t p = 0; p < panels.size(); ++p)
    h += p == 0 ? panel_html(item, cells, spans, panels[p], " id=\"" + id + "\"", caption)
                : panel_html(item, cells, spans, panels[p], " class=\"continued\"", caption + " (continued)");
  return h + "</div>\n" + notes_html(item);
}

std::string factoid_html(const OutputItem& item, const std::string& id) {
  std::string h = "<table id=\"" + id + "\" class=\"facts\">\n<caption>" + breakable_html(output_caption(item)) +
                  "</caption>\n<tbody>\n";
  for (std::size_t r = 0; r < item.rows.size(); ++r) {
    if (item.rows[r].size() < 2) continue;
    const ColumnSpec format = r < item.value_formats.size() ? item.value_formats[r] : ColumnSpec{};
    const std::string value = trimmed(format_cells(format, {&item.rows[r][1]}).front());
    h += "<tr><th scope=\"row\">" + breakable_html(item.rows[r][0].text) + "</th><td" +
         (numeric(format) ? " class=\"num\">" + html_escape(value) : ">" + breakable_html(value)) + "</td></tr>\n";
  }
  return h + "</tbody>\n</table>\n" + notes_html(item);
}

std::string graph_html(const OutputItem& item, const std::string& id) {
  const std::string caption = html_escape(output_caption(item));
  if (item.svg.empty()) {
    const std::string why = item.graph_note.empty() ? "The graph " + item.name + " was not drawn." : item.graph_note;
    return "<p id=\"" + id + "\" class=\"note\">" + html_escape(why) + "</p>\n";
  }
  return "<figure id=\"" + id + "\">\n" + item.svg + "<figcaption>" + caption + "</figcaption>\n</figure>\n";
}

}  // namespace

std::string output_caption(const OutputItem& item) {
  if (!item.label.empty()) return item.label;
  if (item.kind == "message") return "Message";
  return item.name;
}

std::string output_html(const OutputItem& item, const std::string& id) {
  if (item.kind == "graph") return graph_html(item, id);
  if (item.kind == "factoid") return factoid_html(item, id);
  if (item.kind == "message")
    return "<p id=\"" + id + "\" class=\"message\">" + html_escape(item.extra.value("text", std::string())) + "</p>\n";
  return table_html(item, id);
}

}  // namespace platform::report
