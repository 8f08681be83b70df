#include <algorithm>
#include <limits>

#include "platform/output/output_render_columns.h"
#include "platform/output/output_render_header_spans.h"
#include "platform/output/output_render_panels.h"
#include "platform/output/output_render_row_headers.h"
#include "platform/output/output_render.h"
#include "platform/listing/print_file.h"
#include "platform/listing/visible_text.h"
#include "platform/utf8.h"

namespace platform {
namespace {

constexpr int kGap = 2;  // blanks between columns
constexpr int kNoteWidth = 40;  // notes wrap at no fewer columns

struct GridColumn {
  std::string heading;              // the text over the column
  std::vector<std::string> header;  // the heading's lines, top to bottom
  std::vector<std::string> cells;
  int width = 1;
  int field = 1;            // the widest cell
  bool left = false;        // left-aligned (text)
  bool plain = false;       // every cell printable ASCII, a column a byte
  bool row_header = false;  // starts every panel
  bool wraps = false;       // text: wrapped over the row's lines, never cut
};

// Widths here are terminal columns, as display_width counts them: text
// with accents or wide characters lines up as ASCII does.
int columns(std::string_view text) { return static_cast<int>(display_width(text)); }

std::string repeated(int n, char c = ' ') { return std::string(static_cast<std::size_t>(std::max(n, 0)), c); }

// Appends `text` to `line` in a field `width` columns wide; `plain` text
// is known to take a column a byte.
void append_aligned(std::string& line, std::string_view text, int width, bool left, bool plain = false) {
  const auto field = static_cast<std::size_t>(std::max(width, 0));
  std::size_t used = std::min(text.size(), field);
  const std::string_view t = plain ? text.substr(0, used) : fit_width(text, field, &used);
  const std::size_t fill = field - used;
  if (!left) line.append(fill, ' ');
  line += t;
  if (left) line.append(fill, ' ');
}

// Numbers are right-aligned in their format's width; a column keeps only
// the width its widest value needs.
void trim_common_blanks(std::vector<std::string>* cells) {
  std::size_t common = std::string::npos;
  for (const std::string& c : *cells) common = std::min(common, std::min(c.find_first_not_of(' '), c.size()));
  if (common == std::string::npos || common == 0) return;
  for (std::string& c : *cells) c.erase(0, common);
}

GridColumn grid_column(const ColumnSpec& desc, const std::vector<std::vector<Cell>>& rows,
                       std::size_t index, int linesize, bool row_header, const std::vector<const Cell*>* peers) {
  std::vector<const Cell*> cells;
  static const Cell empty = Cell::of_text("");
  for (const auto& row : rows) cells.push_back(index < row.size() ? &row[index] : &empty);
  GridColumn g;
  // Text that says which row a row is shows whole, whatever its format's width.
  ColumnSpec format = desc;
  if (row_header) format.text_width = std::numeric_limits<int>::max();
  // Widths are measured on the text as the listing shows it, escapes and all.
  g.cells = format_cells(format, cells, peers);
  g.plain = true;
  for (std::string& c : g.cells)
    if (!plain_text(c)) {
      c = one_line_text(c);
      g.plain = false;
    }
  g.left = style_of(desc).kind == ColumnStyle::Text;
  g.row_header = row_header;
  g.wraps = g.left;
  if (!g.left) trim_common_blanks(&g.cells);
  for (const std::string& c : g.cells)
    g.field = std::max(g.field, g.plain ? static_cast<int>(c.size()) : columns(c));
  g.heading = one_line_text(column_heading(desc));
  g.width = std::min(std::max(g.field, longest_word(g.heading)), linesize);
  return g;
}

// Text that wraps is still read in this many columns.
constexpr int kNarrowText = 10;

// The least width a column's values need: numbers whole, wrapping text
// kNarrowText columns. A heading's word breaks where its column is narrower.
int value_width(const GridColumn& c) {
  return c.left ? std::min(c.field, kNarrowText) : c.field;
}

int row_headers_width(const std::vector<GridColumn>& cols) {
  int width = 0;
  for (const GridColumn& c : cols) width += c.row_header ? c.width + kGap : 0;
  return width;
}

// The widest column beside the row headers, as `need` measures it.
template <class Need>
int widest_other(const std::vector<GridColumn>& cols, Need need) {
  int widest = 0;
  for (const GridColumn& c : cols)
    if (!c.row_header) widest = std::max(widest, need(c));
  return widest;
}

// Row headers give up width, the widest first and none below `least`,
// until they leave room for the widest other column as `need` measures it.
template <class Need, class Least>
void narrow_row_headers(std::vector<GridColumn>* cols, int linesize, Need need, Least least) {
  const int widest = widest_other(*cols, need);
  for (int excess = row_headers_width(*cols) + widest - linesize; widest > 0 && excess > 0;
       --excess) {
    GridColumn* wide = nullptr;
    for (GridColumn& c : *cols)
      if (c.row_header && c.width > least(c) && (!wide || c.width > wide->width)) wide = &c;
    if (!wide) return;
    --wide->width;
  }
}

// Row headers start every panel, and every other column must fit beside
// them. Text ones leave room for the others' headings, up to half the
// line, down to their own heading's longest word (their cells wrap). Where
// the values would still not fit, any gives up the width its heading holds
// (the heading's words break), and the last ones still too wide show once,
// as the others do. The others' headings break to fit beside them, and
// their texts wrap to the room left.
void fit_beside_row_headers(std::vector<GridColumn>* cols, int linesize) {
  narrow_row_headers(
      cols, linesize,
      [&](const GridColumn& c) {
        return std::min(c.width, std::max(value_width(c), linesize / 2));
      },
      [](const GridColumn& c) {
        return c.left ? std::max(longest_word(c.heading), value_width(c)) : c.width;
      });
  narrow_row_headers(cols, linesize, value_width, value_width);
  for (auto c = cols->rbegin(); c != cols->rend(); ++c)
    if (row_headers_width(*cols) + widest_other(*cols, value_width) > linesize) c->row_header = false;
  const int room = linesize - row_headers_width(*cols);
  for (GridColumn& c : *cols)
    if (!c.row_header) c.width = std::min(c.width, std::max(c.wraps ? value_width(c) : c.field, room));
}

// Puts the row headers first, the others after them, each in their order.
void row_headers_first(std::vector<GridColumn>* cols, std::vector<std::size_t>* shown) {
  std::vector<std::size_t> order(cols->size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_partition(order.begin(), order.end(), [&](std::size_t i) { return (*cols)[i].row_header; });
  std::vector<GridColumn> sorted;
  std::vector<std::size_t> sorted_shown;
  for (std::size_t i : order) {
    sorted.push_back(std::move((*cols)[i]));
    sorted_shown.push_back((*shown)[i]);
  }
  *cols = std::move(sorted);
  *shown = std::move(sorted_shown);
}

// The grid search's rows are told apart by the parameters that vary where
// those all stand beside each other column, first in every panel when the
// table takes more than one; else by the grid point's number alone, which
// then starts every panel. `at` is its column.
void identify_grid_points(std::vector<GridColumn>* cols, std::vector<std::size_t>* shown, std::size_t at,
                          int linesize) {
  const auto offset = static_cast<std::ptrdiff_t>(at);
  GridColumn number = std::move((*cols)[at]);
  const std::size_t item_column = (*shown)[at];
  cols->erase(cols->begin() + offset);
  shown->erase(shown->begin() + offset);
  int least = 0;  // the row headers at their values' width, their headings broken
  int whole = -kGap;
  for (const GridColumn& c : *cols) {
    least += c.row_header ? value_width(c) + kGap : 0;
    whole += c.width + kGap;
  }
  if (least + widest_other(*cols, value_width) <= linesize) {
    if (whole > linesize) row_headers_first(cols, shown);
    return;
  }
  for (GridColumn& c : *cols) c.row_header = false;
  number.row_header = true;
  cols->insert(cols->begin() + offset, std::move(number));
  shown->insert(shown->begin() + offset, item_column);
}

// The panels of the listing: widths in columns, kGap blanks between them.
std::vector<std::vector<std::size_t>> panels(const std::vector<GridColumn>& cols, const std::vector<HeaderSpan>& spans,
                                             int linesize) {
  std::vector<PanelColumn> widths;
  for (const GridColumn& c : cols) widths.push_back({c.width, c.row_header});
  return table_panels(widths, spans, linesize, kGap);
}

// The lines of row `r` in a panel: its values on the first, the text that
// says which row it is wrapped over as many as it needs.
std::vector<std::string> row_lines(const std::vector<GridColumn>& cols,
                                   const std::vector<std::size_t>& ids, std::size_t r) {
  std::vector<std::vector<std::string>> wrapped(ids.size());  // empty: the cell on one line
  std::size_t height = 1;
  for (std::size_t k = 0; k < ids.size(); ++k) {
    const GridColumn& c = cols[ids[k]];
    if (!c.wraps || columns(c.cells[r]) <= c.width) continue;
    wrapped[k] = wrap_text(c.cells[r], c.width);
    height = std::max(height, wrapped[k].size());
  }
  std::vector<std::string> lines(height);
  for (std::size_t h = 0; h < height; ++h)
    for (std::size_t k = 0; k < ids.size(); ++k) {
      const GridColumn& c = cols[ids[k]];
      const std::vector<std::string>& parts = wrapped[k];
      const std::string_view text = parts.empty() ? (h ? "" : std::string_view(c.cells[r]))
                                    : h < parts.size() ? std::string_view(parts[h]) : "";
      if (k) lines[h] += std::string(kGap, ' ');
      append_aligned(lines[h], text, c.width, c.left, c.plain);
    }
  return lines;
}

// The header groups over the columns `shown` (the item's, in order),
// numbered among them; a group over a column left out is dropped.
std::vector<HeaderSpan> shown_spans(const OutputItem& item, const std::vector<std::size_t>& shown) {
  std::vector<HeaderSpan> spans;
  for (HeaderSpan s : header_spans(item)) {
    const auto first = std::find(shown.begin(), shown.end(), s.first);
    const auto last = std::find(shown.begin(), shown.end(), s.last);
    if (first == shown.end() || last == shown.end() || *last - *first != static_cast<std::size_t>(last - first))
      continue;
    s.first = static_cast<std::size_t>(first - shown.begin());
    s.last = static_cast<std::size_t>(last - shown.begin());
    spans.push_back(s);
  }
  return spans;
}

// A text row header wraps over this many lines at most to save panels.
constexpr int kFewLines = 4;

// The least width of a row header that narrows to save panels: its text
// on a few lines, its words whole.
int few_lines_width(const GridColumn& c) {
  int least = std::max({longest_word(c.heading), value_width(c), (c.field + kFewLines - 1) / kFewLines});
  for (const std::string& cell : c.cells) least = std::max(least, longest_word(cell));
  return least;
}

// Text row headers wrap over a few lines where that lets fewer panels hold
// the other columns (an estimate and its limits side by side): they narrow,
// the widest first, and only as far as the fewest panels need.
void narrow_to_save_panels(std::vector<GridColumn>* cols, const std::vector<HeaderSpan>& spans, int linesize) {
  auto count = [&] { return panels(*cols, spans, linesize).size(); };
  const std::size_t now = count();
  std::vector<int> widths, least;
  for (GridColumn& c : *cols) {
    widths.push_back(c.width);
    least.push_back(c.row_header && c.wraps ? std::min(c.width, few_lines_width(c)) : c.width);
    c.width = least.back();
  }
  const std::size_t fewest = count();
  for (std::size_t i = 0; i < cols->size(); ++i) (*cols)[i].width = widths[i];
  while (fewest < now && count() > fewest) {
    std::size_t wide = cols->size();
    for (std::size_t i = 0; i < cols->size(); ++i)
      if ((*cols)[i].width > least[i] && (wide == cols->size() || (*cols)[i].width > (*cols)[wide].width)) wide = i;
    --(*cols)[wide].width;
  }
}

class TableWriter {
 public:
  // `shown`: the item's columns that the grid columns show, in order.
  TableWriter(const OutputItem& item, PrintFile& print, const std::vector<std::size_t>& shown)
      : item_(item), print_(print), spans_(shown_spans(item, shown)) {}

  void write(const std::vector<GridColumn>& cols, bool headers) {
    const auto groups = panels(cols, spans_, print_.linesize());
    for (std::size_t p = 0; p < groups.size(); ++p) write_panel(cols, groups[p], headers, p == 0);
  }

 private:
  // The title, and a blank line below it where the page has room for a
  // line of the table after that.
  void write_label() {
    if (item_.label.empty()) return;
    for (const std::string& line : wrap_text(item_.label, print_.linesize()))
      print_.write_line(line, print_.centred_margin(columns(line)));
    if (print_.lines_left() > 1) print_.blank_lines(1);
  }

  // Header groups over runs of columns that this panel shows whole: the text
  // centred over the run, its last line filled out to the run's width with
  // the listing's rule character (FORMCHAR=) where that leaves some on each
  // side, the groups' bottom lines level.
  void add_spans(const std::vector<GridColumn>& cols, const std::vector<std::size_t>& ids,
                 std::vector<std::string>* heading) {
    int panel_width = -kGap;
    std::vector<int> offsets;
    for (std::size_t i : ids) {
      offsets.push_back(panel_width + kGap);
      panel_width += cols[i].width + kGap;
    }
    struct Placed {
      int offset, width;
      std::vector<std::string> lines;
    };
    std::vector<Placed> placed;
    std::size_t height = 0;
    for (const HeaderSpan& s : spans_) {
      const auto k = std::find(ids.begin(), ids.end(), s.first) - ids.begin();
      const std::size_t n = s.last - s.first;
      if (k + n >= ids.size() || ids[k + n] != s.last) continue;
      const int width = offsets[k + n] + cols[s.last].width - offsets[k];
      placed.push_back({offsets[k], width, wrap_text(s.text, width)});
      height = std::max(height, placed.back().lines.size());
    }
    for (std::size_t h = 0; h < height; ++h) {
      // Spans come in column order and share no column: each is appended
      // after the blanks that lead to its offset.
      std::string line;
      int used = 0;
      for (const Placed& p : placed) {
        const std::size_t skip = height - p.lines.size();
        if (h < skip || p.offset < used) continue;
        const std::string& text = p.lines[h - skip];
        const int left = (p.width - columns(text)) / 2;
        // A rule shows on both sides of the text or not at all.
        const char fill = h + 1 == height && left > 0 ? print_.rule_character() : ' ';
        line += repeated(p.offset - used) + repeated(left, fill) + text + repeated(p.width - left - columns(text), fill);
        used = p.offset + p.width;
      }
      while (!line.empty() && line.back() == ' ') line.pop_back();
      heading->push_back(line);
    }
  }

  // The panel's whole heading, top line first.
  std::vector<std::string> heading_lines(const std::vector<GridColumn>& cols, const std::vector<std::size_t>& ids) {
    std::vector<std::string> heading;
    add_spans(cols, ids, &heading);
    std::size_t height = 0;
    for (std::size_t i : ids) height = std::max(height, cols[i].header.size());
    for (std::size_t h = 0; h < height; ++h) {
      std::string line;
      for (std::size_t k = 0; k < ids.size(); ++k) {
        const GridColumn& c = cols[ids[k]];
        const std::size_t skip = height - c.header.size();  // headers sit on the bottom line
        if (k) line += std::string(kGap, ' ');
        append_aligned(line, h < skip ? "" : c.header[h - skip], c.width, c.left);
      }
      heading.push_back(line);
    }
    return heading;
  }

  int label_lines() const {
    return item_.label.empty() ? 0 : static_cast<int>(wrap_text(item_.label, print_.linesize()).size()) + 1;
  }

  // A new page for the rest of the table, headed by its title unless the
  // title alone fills a page.
  void continue_on_new_page() {
    print_.new_page();
    if (label_lines() <= print_.page_lines()) write_label();
  }

  // One line of the table: a page that ends inside the table, even inside
  // its heading, is followed by one that starts with its title.
  void write_table_line(const std::string& line, int margin) {
    if (print_.lines_left() < 1) continue_on_new_page();
    print_.write_line(line, margin);
  }

  void write_heading(const std::vector<std::string>& heading, int margin) {
    for (const std::string& line : heading) write_table_line(line, margin);
  }

  // The rest of the panel on a new page, from a row of `row` lines: under
  // its title the heading, or where the page cannot hold it whole above the
  // row its last lines, as many as hold whole the headings of the columns
  // that fit there, at least one: no page shows rows without the columns'
  // names, and a heading too tall for a page takes no more room than the
  // others need.
  void continue_rows(const std::vector<GridColumn>& cols, const std::vector<std::size_t>& ids,
                     const std::vector<std::string>& heading, int margin, int row) {
    continue_on_new_page();
    const auto room = static_cast<std::size_t>(std::max(print_.lines_left() - row, 1));
    std::size_t lines = heading.size();
    if (lines > room) {
      lines = 1;
      for (std::size_t i : ids)
        if (cols[i].header.size() <= room) lines = std::max(lines, cols[i].header.size());
    }
    for (std::size_t h = heading.size() - std::min(heading.size(), lines); h < heading.size(); ++h)
      write_table_line(heading[h], margin);
  }

  // The panel's lines from `above` its rows down to its last row, counted
  // only while a page could hold them.
  int lines_to_last_row(const std::vector<GridColumn>& cols, const std::vector<std::size_t>& ids,
                        std::size_t rows, int above) const {
    int lines = above;
    for (std::size_t r = 0; r < rows && lines <= print_.page_lines(); ++r)
      lines += static_cast<int>(row_lines(cols, ids, r).size());
    return lines;
  }

  void write_panel(const std::vector<GridColumn>& cols, const std::vector<std::size_t>& ids, bool headers,
                   bool first) {
    int width = -kGap;
    for (std::size_t i : ids) width += cols[i].width + kGap;
    const int margin = print_.centred_margin(width);
    const std::size_t rows = cols.empty() ? 0 : cols[ids.front()].cells.size();
    const std::vector<std::string> heading = headers ? heading_lines(cols, ids) : std::vector<std::string>{};
    const std::vector<std::string> notes = first ? note_lines(width) : std::vector<std::string>{};
    const int note_count = static_cast<int>(notes.size());
    // The title, the whole heading and a first row start on one page; a
    // table continued on a new page repeats its title and heading there.
    // A table with notes that a page holds whole starts on the page that
    // holds it with its notes.
    const int above = 1 + (first ? label_lines() : 0) + static_cast<int>(heading.size());
    const int first_row = rows > 0 ? static_cast<int>(row_lines(cols, ids, 0).size()) : 0;
    int keep = std::max(above + first_row,
                        std::min<int>(print_.pagesize() / 2, 6 + static_cast<int>(std::min<std::size_t>(rows, 3))));
    if (note_count > 0) {
      const int whole = lines_to_last_row(cols, ids, rows, above) + note_count;
      if (whole <= print_.page_lines()) keep = std::max(keep, whole);
    }
    print_.keep_together(keep);
    const bool continued = !first && print_.at_page_top();
    print_.blank_lines(1);
    if (first || continued) write_label();
    write_heading(heading, margin);
    for (std::size_t r = 0; r < rows; ++r) {
      const std::vector<std::string> lines = row_lines(cols, ids, r);
      // The notes go with the last row, on its page.
      const int need = static_cast<int>(lines.size()) + (r + 1 == rows ? note_count : 0);
      if (print_.lines_left() < need && !print_.at_page_top()) continue_rows(cols, ids, heading, margin, need);
      for (const std::string& line : lines) write_table_line(line, margin);
    }
    for (const std::string& line : notes) write_table_line(line, note_margin(margin));
  }

  std::vector<std::string> note_lines(int width) const {
    std::vector<std::string> lines;
    for (const std::string& note : item_.notes)
      for (std::string& line : wrap_text("Note: " + note, std::max(width, kNoteWidth))) lines.push_back(std::move(line));
    return lines;
  }

  int note_margin(int margin) const {
    return std::max(1, std::min(margin, print_.linesize() - kNoteWidth + 1));
  }

  const OutputItem& item_;
  PrintFile& print_;
  std::vector<HeaderSpan> spans_;
};

void render_factoid(const OutputItem& item, PrintFile& print) {
  GridColumn labels, values;
  labels.left = values.left = true;
  labels.row_header = true;
  for (std::size_t r = 0; r < item.rows.size(); ++r) {
    labels.cells.push_back(one_line_text(item.rows[r][0].text));
    ColumnSpec format = r < item.value_formats.size() ? item.value_formats[r] : ColumnSpec{};
    std::string v = format_cells(format, {&item.rows[r][1]}).front();
    v.erase(0, v.find_first_not_of(' ') == std::string::npos ? v.size() : v.find_first_not_of(' '));
    values.cells.push_back(one_line_text(v));
  }
  for (GridColumn* g : {&labels, &values})
    for (const std::string& c : g->cells) g->width = std::max(g->width, columns(c));
  TableWriter(item, print, {}).write({labels, values}, false);
}

void render_message(const OutputItem& item, PrintFile& print) {
  print.blank_lines(1);
  for (const std::string& line : wrap_text(item.extra.value("text", std::string()), print.linesize()))
    print.write_line(line, 1);
}

}  // namespace

int longest_word(const std::string& text) {
  int longest = 0;
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t blank = std::min(text.find(' ', start), text.size());
    longest = std::max(longest, columns(std::string_view(text).substr(start, blank - start)));
    start = blank + 1;
  }
  return longest;
}

std::vector<std::string> wrap_text(const std::string& text, int width) {
  std::vector<std::string> lines;
  width = std::max(width, 1);
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (pos >= text.size()) break;
    std::size_t end = pos + fit_width(std::string_view(text).substr(pos), static_cast<std::size_t>(width)).size();
    if (end == pos) decode_utf8(text, end);  // a character wider than the line goes on a line alone
    if (end < text.size() && text[end] != ' ') {
      const std::size_t blank = text.rfind(' ', end);
      if (blank != std::string::npos && blank > pos) end = blank;
    }
    std::string line = text.substr(pos, end - pos);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    lines.push_back(line);
    pos = end;
  }
  if (lines.empty()) lines.emplace_back();
  return lines;
}

std::string by_text(const std::vector<ByValue>& by) {
  std::string text;
  for (const ByValue& b : by) text += (text.empty() ? "" : " ") + b.name + "=" + b.text;
  return text;
}

std::vector<std::string> by_lines(const std::vector<ByValue>& by, int linesize, char rule) {
  constexpr int kRuleEnds = 8;  // a wrapped line keeps a blank and three rule characters at each end
  const std::string all = one_line_text(by_text(by));
  int width = columns(all) + 2 > linesize ? linesize - kRuleEnds : linesize - 2;
  // Lines of even length: as narrow as the same number of lines allows, so
  // that a value broken inside a word leaves no letter alone on a line.
  const std::size_t count = wrap_text(all, width).size();
  while (count > 1 && width > 1 && wrap_text(all, width - 1).size() == count) --width;
  std::vector<std::string> lines;
  for (const std::string& piece : wrap_text(all, width)) {
    const int fill = linesize - columns(piece) - 2;
    if (fill < 2) lines.push_back(piece);
    else
      lines.push_back(std::string(static_cast<std::size_t>(fill / 2), rule) + " " + piece + " " +
                      std::string(static_cast<std::size_t>(fill - fill / 2), rule));
  }
  return lines;
}

void render_listing(const OutputItem& item, PrintFile& print) {
  print.end_line(print.output());
  if (item.kind == "message") return render_message(item, print);
  if (item.kind == "factoid") return render_factoid(item, print);
  std::vector<GridColumn> cols;
  std::vector<std::size_t> shown;  // the item's columns that the listing shows
  const std::vector<bool> row_headers = row_header_columns(item);
  const std::size_t point = grid_point_column(item);
  const std::vector<const Cell*> shared = shared_decimal_cells(item);
  std::size_t identify_grid_points_at = 0;
  for (std::size_t i = 0; i < item.columns.size(); ++i) {
    if (!item.columns[i].listed) continue;  // data for the other outputs only
    if (i == point) identify_grid_points_at = cols.size();
    shown.push_back(i);
    cols.push_back(grid_column(item.columns[i], item.rows, i, print.linesize(), row_headers[i],
                               shared.empty() ? nullptr : &shared));
  }
  if (point < item.columns.size()) identify_grid_points(&cols, &shown, identify_grid_points_at, print.linesize());
  fit_beside_row_headers(&cols, print.linesize());
  narrow_to_save_panels(&cols, shown_spans(item, shown), print.linesize());
  for (GridColumn& c : cols) c.header = wrap_text(c.heading, c.width);
  TableWriter(item, print, shown).write(cols, true);
}

}  // namespace platform
