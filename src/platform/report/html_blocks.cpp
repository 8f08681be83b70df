#include "platform/report/html_blocks.h"

#include "platform/output/output_render_columns.h"
#include "platform/output/output_render_header_spans.h"
#include "platform/report/html_report.h"

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

// The header groups as a row of cells spanning their columns, blank
// cells over the others; empty when the table has none.
std::string header_group_row(const OutputItem& item) {
  const std::vector<HeaderSpan> spans = header_spans(item);
  if (spans.empty()) return {};
  std::string h = "<tr>";
  std::size_t c = 0;
  for (const HeaderSpan& s : spans) {
    if (s.first < c) continue;
    if (s.first > c) h += "<td colspan=\"" + std::to_string(s.first - c) + "\"></td>";
    h += "<th scope=\"colgroup\" class=\"group\" colspan=\"" + std::to_string(s.last - s.first + 1) + "\">" +
         html_escape(s.text) + "</th>";
    c = s.last + 1;
  }
  if (c < item.columns.size()) h += "<td colspan=\"" + std::to_string(item.columns.size() - c) + "\"></td>";
  return h + "</tr>";
}

std::string table_html(const OutputItem& item, const std::string& id) {
  // A wide table scrolls inside its own box rather than widening the page.
  std::string h = "<div class=\"table-wrap\">\n<table id=\"" + id + "\">\n<caption>" +
                  html_escape(output_caption(item)) + "</caption>\n";
  // Cells formatted as the listing shows them, column by column.
  std::vector<std::vector<std::string>> cells(item.columns.size());
  for (std::size_t c = 0; c < item.columns.size(); ++c) {
    std::vector<const Cell*> column;
    for (const auto& row : item.rows) column.push_back(c < row.size() ? &row[c] : nullptr);
    bool complete = true;
    for (const Cell* cell : column) complete = complete && cell;
    if (complete) cells[c] = format_cells(item.columns[c], column);
  }
  h += "<thead>" + header_group_row(item) + "<tr>";
  for (const ColumnSpec& c : item.columns) {
    const std::string label = c.label.empty() ? c.name : c.label;
    h += std::string("<th scope=\"col\"") + (numeric(c) ? " class=\"num\"" : "") + ">" + html_escape(label) + "</th>";
  }
  h += "</tr></thead>\n<tbody>\n";
  for (std::size_t r = 0; r < item.rows.size(); ++r) {
    h += "<tr>";
    for (std::size_t c = 0; c < item.columns.size(); ++c) {
      const std::string text = r < cells[c].size() ? trimmed(cells[c][r]) : "";
      const bool head = c == 0 && !numeric(item.columns[c]);
      h += std::string(head ? "<th scope=\"row\"" : "<td") + (numeric(item.columns[c]) ? " class=\"num\"" : "") + ">" +
           html_escape(text) + (head ? "</th>" : "</td>");
    }
    h += "</tr>\n";
  }
  return h + "</tbody>\n</table>\n</div>\n" + notes_html(item);
}

std::string factoid_html(const OutputItem& item, const std::string& id) {
  std::string h = "<table id=\"" + id + "\" class=\"facts\">\n<caption>" + html_escape(output_caption(item)) +
                  "</caption>\n<tbody>\n";
  for (std::size_t r = 0; r < item.rows.size(); ++r) {
    if (item.rows[r].size() < 2) continue;
    const ColumnSpec format = r < item.value_formats.size() ? item.value_formats[r] : ColumnSpec{};
    const std::string value = trimmed(format_cells(format, {&item.rows[r][1]}).front());
    h += "<tr><th scope=\"row\">" + html_escape(item.rows[r][0].text) + "</th><td" +
         (numeric(format) ? " class=\"num\"" : "") + ">" + html_escape(value) + "</td></tr>\n";
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
