#include "platform/report/page_panels.h"

#include <algorithm>

#include "platform/listing/visible_text.h"
#include "platform/output/output_render.h"
#include "platform/output/output_render_columns.h"
#include "platform/output/output_render_panels.h"
#include "platform/output/output_render_row_headers.h"

namespace platform::report {
namespace {

// Widths in hundredths of an em of the table's font (report_style.cpp).
// A character of a cell: digits take 0.64 em in DejaVu Sans and in Verdana,
// the most of the characters of a number; the letters of words average less.
constexpr int kCellChar = 64;
// A character of a column label, in bold: words average 0.60 to 0.66 em.
constexpr int kLabelChar = 70;
// A cell's padding, 0.5 em on either side.
constexpr int kPadding = 100;
// The tables' width on the page. In print, A4 portrait less its 12 mm
// margins is 703 px, 65.9 em of the 8 pt tables; Letter is wider. On the
// screen the body's 70 rem hold 75 em of the 0.93 rem tables.
constexpr int kPageWidth = 6400;

// The least width the browser can give the column: labels and texts wrap
// at blanks, numbers do not wrap.
int estimated_width(const ColumnSpec& column, const std::vector<std::string>& cells) {
  const bool text = style_of(column).kind == ColumnStyle::Text;
  int widest = 0;
  for (const std::string& c : cells)
    widest = std::max(widest, text ? longest_word(c) : static_cast<int>(display_width(c)));
  return std::max(widest * kCellChar, longest_word(column_heading(column)) * kLabelChar) + kPadding;
}

}  // namespace

std::vector<std::vector<std::size_t>> page_panels(const OutputItem& item,
                                                  const std::vector<std::vector<std::string>>& cells,
                                                  const std::vector<HeaderSpan>& spans) {
  const std::vector<bool> row_headers = row_header_columns(item);
  std::vector<PanelColumn> widths;
  for (std::size_t c = 0; c < item.columns.size(); ++c)
    widths.push_back({estimated_width(item.columns[c], cells[c]), row_headers[c]});
  return table_panels(widths, spans, kPageWidth, 0);
}

}  // namespace platform::report
