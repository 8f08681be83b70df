// The listing read back against the JSON of the same run: Output
// Statistics shows the same columns whatever other outputs the run writes,
// a long BY line is wrapped whole, and pages break between tables and rows,
// never inside a heading, a continued table repeating its title and heading.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/ruva_command.h"

namespace {

using Lines = std::vector<std::string>;

// The treated enzyme of the Puromycin data.
const char* const kTreated =
    "conc,rate\n0.02,76\n0.02,47\n0.06,97\n0.06,107\n0.11,123\n0.11,139\n"
    "0.22,159\n0.22,152\n0.56,191\n0.56,201\n1.10,207\n1.10,200\n";
const char* const kModel = "  parms Vm=200 K=0.05;\n  model rate = Vm*conc/(K+conc);\n";

std::string trimmed(const std::string& s) {
  const std::size_t first = s.find_first_not_of(" -"), last = s.find_last_not_of(" -");
  return first == std::string::npos ? "" : s.substr(first, last - first + 1);
}

Lines words(const std::string& line) {
  Lines out;
  std::istringstream in(line);
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

std::string first_word(const std::string& line) { return words(line).empty() ? "" : words(line)[0]; }

// The listing's pages, each as its lines.
std::vector<Lines> pages_of(const std::string& listing) {
  std::vector<Lines> pages(1);
  std::istringstream in(listing);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line[0] == '\f') {
      pages.emplace_back();
      line.erase(0, 1);
    }
    pages.back().push_back(line);
  }
  return pages;
}

Lines all_lines(const std::string& listing) {
  Lines lines;
  for (const Lines& page : pages_of(listing)) lines.insert(lines.end(), page.begin(), page.end());
  return lines;
}

class ListingPagesTest : public RuvaCommandTest {
 protected:
  std::vector<nlohmann::json> json(const std::string& name) {
    std::vector<nlohmann::json> out;
    std::istringstream in(read(name));
    for (std::string line; std::getline(in, line);) out.push_back(nlohmann::json::parse(line));
    return out;
  }
  nlohmann::json named(const std::string& file, const std::string& name) {
    for (auto& j : json(file))
      if (j["name"] == name) return j;
    ADD_FAILURE() << "no " << name << " in " << file;
    return nlohmann::json::object();
  }
};

// The rows of numbers below the title `title`, up to the first blank line.
std::vector<Lines> number_rows(const Lines& lines, const std::string& title) {
  std::vector<Lines> rows;
  std::size_t i = 0;
  while (i < lines.size() && trimmed(lines[i]) != title) ++i;
  for (i += 2; i < lines.size() && !trimmed(lines[i]).empty(); ++i) {
    const std::string first = first_word(lines[i]);
    char* end = nullptr;
    std::strtod(first.c_str(), &end);
    if (*end == '\0') rows.push_back(words(lines[i]));
  }
  return rows;
}

TEST_F(ListingPagesTest, OutputStatisticsListsTheGuidesColumnsWhateverElseTheRunWrites) {
  write("p.csv", kTreated);
  write("fit.ruva", std::string("proc ruva data=p plots=fit;\n") + kModel + "  output out=o j=j;\nrun;\n");
  ASSERT_EQ(run("--listing plain.lst fit.ruva"), 0) << read("log.txt");
  const std::string plain = read("plain.lst");
  for (const char* extra : {"--json r.json", "--html r.html"}) {
    ASSERT_EQ(run(std::string("--listing x.lst ") + extra + " fit.ruva"), 0);
    EXPECT_EQ(read("x.lst"), plain) << extra;
  }
  // --graphs adds a line naming each file, which moves the page breaks: the
  // table itself is the same.
  ASSERT_EQ(run("--listing g.lst --graphs g --json r.json fit.ruva"), 0);
  const auto table = number_rows(all_lines(plain), "Output Statistics");
  EXPECT_EQ(number_rows(all_lines(read("g.lst")), "Output Statistics"), table);

  // The weight, the residual and the studentized residual, then the
  // Jacobian leverage J= asks for; the JSON keeps the tangential leverage
  // and the graphs' data too.
  const nlohmann::json stats = named("r.json", "OutputStatistics");
  const Lines shown = {"Observation", "Weight", "Residual", "StudentizedResidual", "JacobianLeverage"};
  std::vector<std::size_t> at;
  for (const std::string& name : shown)
    for (std::size_t k = 0; k < stats["columns"].size(); ++k)
      if (stats["columns"][k]["name"] == name) at.push_back(k);
  ASSERT_EQ(at.size(), shown.size()) << stats["columns"];
  EXPECT_GT(stats["columns"].size(), shown.size());  // Predicted, the regressor, ...
  ASSERT_EQ(table.size(), stats["rows"].size()) << plain;
  for (std::size_t r = 0; r < table.size(); ++r) {
    ASSERT_EQ(table[r].size(), shown.size()) << plain;
    for (std::size_t c = 0; c < shown.size(); ++c) {
      const double expected = stats["rows"][r][at[c]].get<double>();
      EXPECT_NEAR(std::stod(table[r][c]), expected, 1e-6 * std::max(1.0, std::fabs(expected))) << shown[c] << r;
    }
  }
}

TEST_F(ListingPagesTest, ALongByLineIsWrappedWholeAndTellsTheGroupsApart) {
  const std::string stem = "laboratory_batch_of_enzyme_preparation_received_in_spring_from_supplier_";
  std::string csv = "batch,conc,rate\n";
  for (const char* supplier : {"A", "B"})
    for (const char* row : {",0.02,76\n", ",0.06,97\n", ",0.22,159\n", ",1.10,207\n"}) csv += stem + supplier + row;
  write("b.csv", csv);
  write("fit.ruva", std::string("proc ruva data=b;\n  by batch;\n") + kModel + "run;\n");
  ASSERT_EQ(run("--listing l.lst --json r.json --option LINESIZE=64 fit.ruva"), 0) << read("log.txt");
  // The BY lines of each page (at the left margin, between rules), joined.
  Lines by_lines, expected;
  for (const Lines& page : pages_of(read("l.lst"))) {
    std::string by;
    for (const std::string& line : page) {
      EXPECT_LE(line.size(), 64u) << line;
      if (line.rfind("---", 0) == 0 || line.rfind("batch=", 0) == 0) by += trimmed(line);
    }
    if (!by.empty() && (by_lines.empty() || by_lines.back() != by)) by_lines.push_back(by);
  }
  for (const auto& j : json("r.json")) {
    const std::string by = "batch=" + j["by"]["batch"].get<std::string>();
    if (expected.empty() || expected.back() != by) expected.push_back(by);
  }
  EXPECT_EQ(expected, (Lines{"batch=" + stem + "A", "batch=" + stem + "B"}));
  EXPECT_EQ(by_lines, expected) << read("l.lst");
}

// Every page but the first starts, below the titles and the BY line, with
// an output's title.
void expect_pages_start_with_titles(const std::string& listing, const std::vector<nlohmann::json>& outputs) {
  std::vector<std::string> labels, titles;
  for (const auto& j : outputs) {
    labels.push_back(j["label"]);
    for (const auto& t : j["titles"]) titles.push_back(t);
  }
  const auto pages = pages_of(listing);
  for (std::size_t p = 1; p < pages.size(); ++p) {
    std::size_t top = 0;
    while (top < pages[p].size() && (trimmed(pages[p][top]).empty() || pages[p][top].rfind("---", 0) == 0 ||
                                     std::count(titles.begin(), titles.end(), trimmed(pages[p][top]))))
      ++top;
    ASSERT_LT(top, pages[p].size());
    EXPECT_TRUE(std::count(labels.begin(), labels.end(), trimmed(pages[p][top])))
        << "page " << p + 1 << " starts with \"" << pages[p][top] << "\"\n" << listing;
  }
}

TEST_F(ListingPagesTest, APageBreaksBeforeAHeadingAndAContinuedTableRepeatsTitleAndHeading) {
  write("p.csv", kTreated);
  const std::string at_02 = "Predicted rate of the treated enzyme at a substrate concentration of 0.02";
  const std::string at_50 = "Predicted rate of the treated enzyme at a substrate concentration of 0.50";
  write("fit.ruva", "proc ruva data=p ecorr;\n" + std::string(kModel) + "  estimate '" + at_02 +
                        "' Vm*0.02/(K+0.02);\n  estimate '" + at_50 + "' Vm*0.5/(K+0.5);\n  contrast '" + at_02 +
                        "' Vm*0.02/(K+0.02) - 70;\n  contrast '" + at_50 + "' Vm*0.5/(K+0.5) - 180;\nrun;\n");
  ASSERT_EQ(run("--listing l.lst --json r.json --option LINESIZE=80 fit.ruva"), 0) << read("log.txt");
  const std::string listing = read("l.lst");
  expect_pages_start_with_titles(listing, json("r.json"));
  // The correlation matrix's heading is whole on its page, above its rows:
  // the labels side by side, each wrapped in its column.
  const std::string title = named("r.json", "CorrMatAddEst")["label"];
  int shown = 0;
  for (const Lines& page : pages_of(listing)) {
    std::string heading[2];
    std::size_t i = 0;
    while (i < page.size() && trimmed(page[i]) != title) ++i;
    if (i == page.size()) continue;
    for (i += 2; i < page.size() && page[i].find("1.0000000") == std::string::npos; ++i) {
      const std::string line = trimmed(page[i]);
      const std::regex gap("  +");
      std::sregex_token_iterator part(line.begin(), line.end(), gap, -1);
      for (std::string& h : heading)
        if (part != std::sregex_token_iterator()) h += (h.empty() ? "" : " ") + (part++)->str();
    }
    EXPECT_EQ(heading[0], at_02) << listing;
    EXPECT_EQ(heading[1], at_50) << listing;
    ++shown;
  }
  EXPECT_EQ(shown, 1) << listing;

  // A table longer than a page: every page repeats the title and the
  // heading, and the rows are the JSON's, each once.
  std::string csv = "conc,rate\n";
  for (int i = 1; i <= 40; ++i) csv += std::to_string(0.02 * i) + "," + std::to_string(200 * i / (i + 3)) + "\n";
  write("p.csv", csv);
  write("fit.ruva", std::string("proc ruva data=p;\n") + kModel + "  output out=o j=j;\nrun;\n");
  ASSERT_EQ(run("--listing l.lst --json r.json --option PAGESIZE=20 fit.ruva"), 0) << read("log.txt");
  expect_pages_start_with_titles(read("l.lst"), json("r.json"));
  Lines first_heading;
  std::size_t rows = 0;
  for (const Lines& page : pages_of(read("l.lst"))) {
    std::size_t i = 0;
    while (i < page.size() && trimmed(page[i]) != "Output Statistics") ++i;
    if (i == page.size()) continue;
    Lines heading;
    for (i += 2; i < page.size() && first_word(page[i]) != std::to_string(rows + 1); ++i) heading.push_back(page[i]);
    if (first_heading.empty()) first_heading = heading;
    EXPECT_EQ(heading, first_heading) << read("l.lst");
    for (; i < page.size() && first_word(page[i]) == std::to_string(rows + 1); ++i) ++rows;
  }
  EXPECT_EQ(rows, named("r.json", "OutputStatistics")["rows"].size()) << read("l.lst");
}

// At PAGESIZE=15 to 20 no page starts inside a table: a note goes with
// its table (the ANOVA's of a model without intercept, below a BY block of
// four lines), and a heading taller than what is left of the page (one of
// 120-character ESTIMATE labels over ECOV's columns) starts the table on a
// new page, or, taller than a page, goes on with its title on every page.
TEST_F(ListingPagesTest, ANoteAndAHeadingStayWithTheirTable) {
  const std::string group = "enzyme preparation with puromycin added to the solution before the assay ";
  std::string csv = "state,conc,rate\n";
  for (const std::string state : {"treated ", "untreated "})
    for (const char* row : {",0.02,76\n", ",0.06,97\n", ",0.22,159\n", ",1.10,207\n"})
      csv += (state + group + group + group).substr(0, 200) + row;
  write("b.csv", csv);
  write("p.csv", kTreated);
  const std::string label = "Predicted rate of the treated enzyme at a substrate concentration of one hundred micromoles in "
                            "the solution at ";
  write("by.ruva", std::string("proc ruva data=b;\n  by state;\n") + kModel + "run;\n");
  write("ecov.ruva", "proc ruva data=p ecov;\n" + std::string(kModel) + "  estimate '" + label +
                         "0.02' Vm*0.02/(K+0.02);\n  estimate '" + label + "0.50' Vm*0.5/(K+0.5);\nrun;\n");
  for (const char* program : {"by.ruva", "ecov.ruva"})
    for (int pagesize = 15; pagesize <= 20; ++pagesize) {
      SCOPED_TRACE(std::string(program) + " at PAGESIZE=" + std::to_string(pagesize));
      ASSERT_EQ(run("--listing l.lst --json r.json --option LINESIZE=64 --option PAGESIZE=" +
                    std::to_string(pagesize) + " " + program),
                0)
          << read("log.txt");
      expect_pages_start_with_titles(read("l.lst"), json("r.json"));
      for (const Lines& page : pages_of(read("l.lst"))) EXPECT_LE(page.size(), std::size_t(pagesize));
    }
}

// The rows of the table titled `title` on each page, below the title down
// to the first blank line, where `is_row` says a line starts a row; each
// page's first row must have a line that `is_names` holds for above it.
template <class IsRow, class IsNames>
std::size_t rows_below_names(const std::string& listing, const std::string& title, IsRow is_row, IsNames is_names) {
  std::size_t rows = 0;
  for (const Lines& page : pages_of(listing)) {
    std::size_t i = 0;
    while (i < page.size() && trimmed(page[i]) != title) ++i;
    bool named = false, first = true;
    for (i += 2; i < page.size() && !trimmed(page[i]).empty(); ++i) {
      if (!is_row(page[i])) {
        named = named || is_names(page[i]);
        continue;
      }
      EXPECT_TRUE(named || !first) << "rows without their columns' names above them:\n" << listing;
      first = false;
      ++rows;
    }
  }
  return rows;
}

// A heading too tall for a page with a row, of a 140-character label on an
// ID variable or of 120-character ESTIMATE labels over ECOV's columns,
// leaves on every page that holds rows its last lines, with the names.
TEST_F(ListingPagesTest, EveryPageOfRowsShowsTheColumnsNames) {
  std::string csv = "site,conc,rate\n", label;
  for (int i = 0; i < 20; ++i) csv += "S" + std::to_string(i) + "," + std::to_string(0.05 * (i + 1)) + "," +
                                      std::to_string(200 * (i + 1) / (i + 2)) + "\n";
  while (label.size() < 140) label += "Station that recorded the sample, by its code in the field register ";
  label.resize(140);
  write("s.csv", csv);
  write("p.csv", kTreated);
  write("id.ruva", "proc ruva data=s;\n  id site;\n  label site='" + label + "';\n" + kModel +
                       "  output out=o r=r j=j;\nrun;\n");
  const std::string estimate = "Predicted rate of the treated enzyme at a substrate concentration of one hundred "
                               "micromoles in the solution at ";
  write("ecov.ruva", "proc ruva data=p ecov;\n" + std::string(kModel) + "  estimate '" + estimate +
                         "0.02' Vm*0.02/(K+0.02);\n  estimate '" + estimate + "0.50' Vm*0.5/(K+0.5);\nrun;\n");
  for (int pagesize = 15; pagesize <= 18; ++pagesize) {
    SCOPED_TRACE("PAGESIZE=" + std::to_string(pagesize));
    const std::string options = "--listing l.lst --option PAGESIZE=" + std::to_string(pagesize);
    ASSERT_EQ(run(options + " id.ruva"), 0) << read("log.txt");
    EXPECT_EQ(rows_below_names(
                  read("l.lst"), "Output Statistics",
                  [](const std::string& line) { return !first_word(line).empty() && std::isdigit(first_word(line)[0]); },
                  [](const std::string& line) { return first_word(line) == "Observation"; }),
              20u);
    // One panel for each column; a panel that starts below another has no title.
    ASSERT_EQ(run(options + " --option LINESIZE=64 ecov.ruva"), 0) << read("log.txt");
    EXPECT_GE(rows_below_names(
                  read("l.lst"), "Approximate Covariance Matrix of Additional Estimates",
                  [](const std::string& line) { return line.rfind("Predicted rate", 0) == 0; },
                  [](const std::string& line) { return trimmed(line).rfind("at 0.", 0) == 0; }),
              2u);
  }
}

}  // namespace
