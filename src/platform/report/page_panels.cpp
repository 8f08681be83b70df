#include "platform/report/page_panels.h"

#include <algorithm>

#include "platform/listing/visible_text.h"
#include "platform/output/output_render.h"
#include "platform/output/output_render_columns.h"
#include "platform/output/output_render_panels.h"
#include "platform/output/output_render_row_headers.h"
#include "platform/report/long_words.h"

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
// The tables' width on the page: that of an 800-pixel window, the
// narrowest the report is laid out for. Less its scroll bar and the body's
// 1 rem margins on a narrow screen, it holds 753 px, 50.6 em of the 0.93
// rem tables. A4 portrait in print holds 65.9 em of the 8 pt tables, a
// 1280-pixel window 75 em.
constexpr int kPageWidth = 5000;
// The characters a text column keeps room for when its long words wrap:
// the browser gives it the room the others leave, at least a long word's
// piece, so that a row's label reads over a few lines, not one per piece.
constexpr int kWrappedText = 16;

// The least width the browser can give the column, or for text that wraps
// the room it keeps: labels and texts wrap at blanks and within long
// words, numbers do not wrap.
int estimated_width(const ColumnSpec& column, const std::vector<std::string>& cells) {
  const bool text = style_of(column).kind == ColumnStyle::Text;
  int widest = 0;
  for (const std::string& c : cells)
    widest = std::max(widest, text ? std::min(longest_word(c), kWrappedText) : static_cast<int>(display_width(c)));
  return std::max(widest * kCellChar, unbroken_width(column_heading(column)) * kLabelChar) + kPadding;
}

// Whether the row headers leave room beside them for the widest other column.
bool room_beside_row_headers(const std::vector<PanelColumn>& columns) {
  int headers = 0, widest = 0;
  for (const PanelColumn& c : columns) {
    if (c.row_header) headers += c.width;
    else widest = std::max(widest, c.width);
  }
  return headers + widest <= kPageWidth;
}

// Row headers start every panel; where they leave no room beside them for
// the widest other column, the last of them show once, as the others do.
void fit_beside_row_headers(std::vector<PanelColumn>* columns) {
  for (auto c = columns->rbegin(); c != columns->rend() && !room_beside_row_headers(*columns); ++c)
    c->row_header = false;
}

// The grid search's rows are told apart by the point's number, which the
// report always shows, so it starts every panel; the parameters that vary
// join it there only where they all fit beside the widest other column, as
// the listing has them all or none: some of them alone would show rows
// that look alike.
void identify_grid_points(std::vector<PanelColumn>* columns, std::size_t point) {
  (*columns)[point].row_header = true;
  if (room_beside_row_headers(*columns)) return;
  for (std::size_t c = 0; c < columns->size(); ++c) (*columns)[c].row_header = c == point;
}

}  // namespace

std::vector<std::vector<std::size_t>> page_panels(const OutputItem& item,
                                                  const std::vector<std::vector<std::string>>& cells,
                                                  const std::vector<HeaderSpan>& spans) {
  const std::vector<bool> row_headers = row_header_columns(item);
  std::vector<PanelColumn> widths;
  for (std::size_t c = 0; c < item.columns.size(); ++c)
    widths.push_back({estimated_width(item.columns[c], cells[c]), row_headers[c]});
  if (const std::size_t point = grid_point_column(item); point < widths.size()) identify_grid_points(&widths, point);
  fit_beside_row_headers(&widths);
  return table_panels(widths, spans, kPageWidth, 0);
}

}  // namespace platform::report
