// Header groups in the listing: each text sits centred over exactly the
// columns its template names, with a dashed rule to their width, and the
// columns of a group are never split between panels.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace platform
