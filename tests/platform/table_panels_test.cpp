// Panels of tables wider than the line or the page. Header groups: each
// text sits centred over exactly the columns its template names, with a
// dashed rule to their width, and the columns of a group are never split
// between panels. Row headers: every panel shows the columns that say which
// row it is, and every other column once.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>

#include "platform/options.h"
#include "platform/output/output_render.h"
#include "platform/listing/print_file.h"
#include "platform/report/html_blocks.h"

namespace platform {
namespace {

OutputItem estimates_with_limits(int pairs) {
  OutputItem item;
  item.kind = "table";
  item.template_path = "stat.ruva.ParameterEstimates";
  const char* names[][2] = {{"LowerCL", "UpperCL"}, {"BCLowerCL", "BCUpperCL"},
                            {"PercLowerCL", "percUpperCL"}, {"NormalLowerCL", "NormalUpperCL"}};
  const char* headers[] = {"ciheader", "bcheader", "percheader", "normalheader"};
  auto column = [](const char* name, const char* label) {
    ColumnSpec c;
    c.name = name;
    c.label = label;
    return c;
  };
  item.columns.push_back(column("Estimate", "Estimate"));
  for (int k = 0; k < pairs; ++k) {
    item.columns.push_back(column(names[k][0], "Lower Confidence Limit"));
    item.columns.push_back(column(names[k][1], "Upper Confidence Limit"));
    item.attributes[headers[k]] = "Kind " + std::to_string(k) + " 95% Confidence Limits";
  }
  item.rows.push_back(std::vector<Cell>(item.columns.size(), Cell::of_number(12.345678)));
  return item;
}

std::vector<std::string> listing_lines(const OutputItem& item, int linesize) {
  SystemOptions options;
  EXPECT_TRUE(options.set("LINESIZE=" + std::to_string(linesize)));
  std::ostringstream out;
  {
    PrintFile print(out, options);
    render_listing(item, print);
  }
  std::vector<std::string> lines;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(HeaderSpans, EachGroupSpansItsPairOfColumnsInEveryPanel) {
  for (int linesize : {64, 80, 160}) {
    SCOPED_TRACE(linesize);
    const auto lines = listing_lines(estimates_with_limits(4), linesize);
    std::string all;
    for (const std::string& l : lines) all += l + "\n";
    for (int k = 0; k < 4; ++k) EXPECT_NE(all.find("Kind " + std::to_string(k)), std::string::npos) << all;
    // Each rule (a run between gaps of two blanks) lies over one Lower and
    // one Upper header, and no rule is cut by a panel break.
    int rules = 0;
    for (std::size_t r = 0; r + 1 < lines.size(); ++r) {
      if (lines[r].find("---") == std::string::npos) continue;
      for (std::size_t at = lines[r].find('-'); at != std::string::npos;) {
        std::size_t end = lines[r].find("  ", at);
        if (end == std::string::npos) end = lines[r].size();
        const std::string under = lines[r + 1].substr(at, end - at);
        EXPECT_NE(under.find("Lower"), std::string::npos) << lines[r] << "\n" << lines[r + 1];
        EXPECT_NE(under.find("Upper"), std::string::npos) << lines[r] << "\n" << lines[r + 1];
        ++rules;
        at = lines[r].find('-', end);
      }
    }
    EXPECT_EQ(rules, 4) << all;
  }
}

TEST(HeaderSpans, TheReportSpansThePairsWithHeaderCells) {
  const std::string html = report::output_html(estimates_with_limits(4), "t");
  const std::string row = html.substr(html.find("<thead>"), html.find("</tr>") - html.find("<thead>"));
  EXPECT_NE(row.find("<td colspan=\"1\"></td><th scope=\"colgroup\" class=\"group\" colspan=\"2\">Kind 0 "),
            std::string::npos)
      << row;
  // The table is wider than the page: each group spans its pair once, in
  // whichever panel holds it.
  for (int k = 1; k < 4; ++k) {
    const std::string group = "colspan=\"2\">Kind " + std::to_string(k);
    EXPECT_NE(html.find(group), std::string::npos) << html;
    EXPECT_EQ(html.find(group), html.rfind(group)) << html;
  }
}

TEST(HeaderSpans, AnAttributeWithoutItsColumnsDrawsNothing) {
  OutputItem item = estimates_with_limits(1);
  item.attributes["bcheader"] = "Never shown";
  item.template_path = "stat.ruva.Other";
  for (const std::string& line : listing_lines(item, 80)) EXPECT_EQ(line.find("95%"), std::string::npos) << line;
  // The table's own template, with the columns of one group only.
  OutputItem one = estimates_with_limits(1);
  one.attributes["bcheader"] = "Never shown";
  std::string all;
  for (const std::string& line : listing_lines(one, 80)) all += line + "\n";
  EXPECT_EQ(all.find("Never shown"), std::string::npos) << all;
  EXPECT_NE(all.find("Kind 0"), std::string::npos) << all;
}

// A group's text one column narrower than its columns gets no rule: a rule
// shows on both sides of the text or not at all.
TEST(HeaderSpans, ARuleNeverTouchesTheText) {
  OutputItem item = estimates_with_limits(1);
  for (const char* text : {"Percentile Bootstrap 95% Confidence Limits", "Kind 0 95% Confidence Limits"}) {
    item.attributes["ciheader"] = text;
    for (const std::string& line : listing_lines(item, 80)) {
      std::istringstream groups(std::regex_replace(line, std::regex("  +"), "\n"));
      for (std::string g; std::getline(groups, g);)
        if (!g.empty()) EXPECT_EQ(g.front() == '-', g.back() == '-') << line;
    }
  }
}

// A wide table of `kRows` rows under `templ`: the row headers `heads` (a
// name, a role, a text cell or an integer one), then numeric columns whose
// every cell is unique: 1000 times the column's number plus the row's.
struct Head {
  const char* name;
  const char* role;
  std::string text;  // the cells' text, the row's number after it; none: the row's number
};
constexpr int kRows = 3;

OutputItem wide_table(const char* templ, const std::vector<Head>& heads, int numbers) {
  OutputItem item;
  item.kind = "table";
  item.template_path = templ;
  for (const Head& h : heads) {
    ColumnSpec c;
    c.name = h.name, c.role = h.role;
    c.data_type = h.text.empty() ? kTypeInt : kTypeChars;
    c.text_width = h.text.empty() ? 0 : 200;
    item.columns.push_back(c);
  }
  for (int k = 1; k <= numbers; ++k) {
    ColumnSpec c;
    c.name = "P" + std::to_string(k);
    item.columns.push_back(c);
  }
  for (int r = 1; r <= kRows; ++r) {
    std::vector<Cell> row;
    for (const Head& h : heads)
      row.push_back(h.text.empty() ? Cell::of_integer(r) : Cell::of_text(h.text + std::to_string(r)));
    for (int k = 1; k <= numbers; ++k) row.push_back(Cell::of_number(1000.0 * k + r));
    item.rows.push_back(row);
  }
  return item;
}

struct WideCase {
  const char* what;
  OutputItem item;
  std::vector<std::string> heads;  // the headings of the row headers
};

// Output Statistics with a Weight between the observation's number and its
// ID variable, estimates with labels wider than half the line, and the
// iterations of 24 parameters.
std::vector<WideCase> wide_cases() {
  OutputItem stats = wide_table("stat.ruva.OutputStatistics", {{"Observation", "", ""}, {"id1", "IDCharVariable", "site"}}, 22);
  stats.columns.insert(stats.columns.begin() + 1, ColumnSpec{});
  stats.columns[1].name = "Weight";
  for (auto& row : stats.rows) row.insert(row.begin() + 1, Cell::of_number(999));
  const std::string label = "Rate_at_the_half_saturation_constant_of_the_treated_enzyme,_estimate_number_";
  return {{"output statistics", stats, {"Observation", "id1"}},
          {"estimates", wide_table("Stat.RUVA.AdditionalEstimates", {{"Label", "", label}}, 12), {"Label"}},
          {"iterations", wide_table("stat.ruva.IterHistory", {{"Iter", "", ""}}, 24), {"Iter"}}};
}

// The cells of the row headers of row r (1-based), as texts.
std::vector<std::string> head_cells(const WideCase& c, int r) {
  std::vector<std::string> cells;
  for (const std::string& name : c.heads)
    for (std::size_t k = 0; k < c.item.columns.size(); ++k)
      if (c.item.columns[k].name == name) {
        const Cell& cell = c.item.rows[r - 1][k];
        cells.push_back(cell.kind == Cell::Text ? cell.text : std::to_string(cell.integer));
      }
  return cells;
}

bool coded_number(const std::string& token) {
  return std::regex_match(token, std::regex("[0-9]{4,5}"));
}

TEST(RowHeaders, EveryPanelOfTheListingShowsWhichRowItIs) {
  for (const WideCase& c : wide_cases())
    for (int linesize : {64, 100, 132}) {
      SCOPED_TRACE(std::string(c.what) + " at LINESIZE=" + std::to_string(linesize));
      std::map<std::string, int> seen;  // each numeric cell, how often shown
      int lines = 0;
      for (const std::string& line : listing_lines(c.item, linesize)) {
        std::istringstream in(line);
        const std::vector<std::string> tokens{std::istream_iterator<std::string>(in), {}};
        if (tokens.empty() || !coded_number(tokens.back())) continue;
        ++lines;
        EXPECT_LE(static_cast<int>(line.size()), linesize) << line;
        // A row header's cell shows whole, or cut after ten characters or more.
        auto shows = [&](const std::string& token, const std::string& cell) {
          return token == cell || (token.size() >= 10 && cell.rfind(token, 0) == 0);
        };
        const std::vector<std::string> heads = head_cells(c, std::stoi(tokens.back()) % 1000);
        EXPECT_TRUE(shows(tokens.front(), heads.front())) << line;
        for (const std::string& head : heads)
          EXPECT_TRUE(std::any_of(tokens.begin(), tokens.end(), [&](const std::string& t) { return shows(t, head); }))
              << head << " in " << line;
        for (const std::string& t : tokens) seen[t] += coded_number(t);
      }
      EXPECT_GE(lines, 2 * kRows);  // the table came in panels
      int numbers = 0;
      for (const ColumnSpec& column : c.item.columns) numbers += column.name[0] == 'P';
      std::erase_if(seen, [](const auto& s) { return s.second == 0; });
      EXPECT_EQ(static_cast<int>(seen.size()), numbers * kRows);
      for (const auto& [cell, count] : seen) EXPECT_EQ(count, 1) << cell;
    }
}

TEST(RowHeaders, EveryPanelOfTheReportShowsWhichRowItIs) {
  for (const WideCase& c : wide_cases()) {
    SCOPED_TRACE(c.what);
    const std::string html = report::output_html(c.item, "t");
    std::map<std::string, int> headings;
    int panels = 0;
    for (std::size_t at = html.find("<thead>"); at != std::string::npos; at = html.find("<thead>", at + 1)) {
      ++panels;
      const std::string head = html.substr(at, html.find("</thead>", at) - at);
      std::vector<std::string> shown;
      const std::regex cell("<th scope=\"col\"[^>]*>([^<]*)</th>");
      for (std::sregex_iterator m(head.begin(), head.end(), cell), end; m != end; ++m) shown.push_back((*m)[1]);
      for (const std::string& h : c.heads) EXPECT_EQ(std::count(shown.begin(), shown.end(), h), 1) << head;
      for (const std::string& s : shown) ++headings[s];
    }
    EXPECT_GE(panels, 2);
    for (const auto& [heading, count] : headings)
      EXPECT_EQ(count, std::count(c.heads.begin(), c.heads.end(), heading) ? panels : 1) << heading;
  }
}

// Labels of 120 characters wrap over a few lines of their rows so that each
// estimate stands in one panel with all its values, not one value a panel.
TEST(RowHeaders, LongLabelsWrapSoThatOnePanelHoldsEveryValue) {
  std::string label;
  while (label.size() < 110) label += "word" + std::to_string(label.size()) + " ";
  const OutputItem item = wide_table("Stat.RUVA.AdditionalEstimates", {{"Label", "", label}}, 8);
  const auto lines = listing_lines(item, 132);
  std::string all;
  for (const std::string& line : lines) all += line + "\n";
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.find("Label") != std::string::npos; }), 1)
      << all;
  for (int r = 1; r <= kRows; ++r) {
    const auto row = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) {
      return l.find(" 1000" + std::to_string(r)) != std::string::npos || l.find(" 100" + std::to_string(r)) != std::string::npos;
    });
    ASSERT_NE(row, lines.end()) << all;
    EXPECT_NE(row->find("800" + std::to_string(r)), std::string::npos) << all;
    // The label's words follow one another over at most four lines.
    std::string words;
    for (auto l = row; l != lines.end() && l - row < 4; ++l) words += l->substr(0, l->find("  ")) + " ";
    EXPECT_NE(words.find(label + std::to_string(r)), std::string::npos) << all;
  }
}

// The row names of a matrix stand under its corner text, blank or not, in
// the report as in the listing.
TEST(RowHeaders, AMatrixRowNamesStandUnderItsCornerText) {
  OutputItem matrix = wide_table("stat.ruva.CorrB", {{"RowName", "rowname", "b"}}, 2);
  matrix.kind = "matrix";
  const std::string html = report::output_html(matrix, "t");
  EXPECT_NE(html.find("<tr><th scope=\"col\"></th><th scope=\"col\" class=\"num\">P1</th>"), std::string::npos) << html;
  EXPECT_EQ(html.find("RowName"), std::string::npos) << html;
}

}  // namespace
}  // namespace platform
