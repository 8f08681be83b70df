// The HTML report: its structure, the page loaded in a real browser, and
// the page written as outputs arrive equal to the page assembled whole.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

#include "platform/graphs/graph_fixture.h"
#include "platform/report/html_blocks.h"
#include "platform/report/long_words.h"
#include "platform/report/report_style.h"
#include "support/ruva_command.h"

namespace {

using ReportTest = GraphTest;

// Loads the page in headless Chromium (tests/support/browser_check.py): 0
// when it passes, 77 when no browser is installed; `result` says what it saw.
int browser_check(const std::string& file, std::string* result) {
  const std::string command = std::string("python3 '") + RUVA_SOURCE_DIR + "/tests/support/browser_check.py' '" + file + "'";
  FILE* out = popen(command.c_str(), "r");
  if (!out) return -1;
  for (char buf[512]; fgets(buf, sizeof buf, out);) *result += buf;
  const int status = pclose(out);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(ReportTest, TablesAndGraphsStandUnderStepAndByHeadingsAndOpenInABrowser) {
  auto group = [](const char* site) {
    platform::Host::current().output().set_by_group({{"site", platform::Cell::of_text(site), site}});
    wobop man = graph_manager();
    emit_table(man, "ParameterEstimates", "stat.ruva.ParameterEstimates", {"Estimate", "StdErr"},
               {{1.2345, 0.0123}, {-20.5, 3.25}}, false);
    xobskey key = emit_table(man, "BootstrapOutputStatistics", "stat.ruva.BootstrapOutputStatistics",
                             {"BootstrapIndex", "ParameterValue1", "ParameterValue2"},
                             {{1, 0.5, 1.5}, {2, 0.7, 1.1}, {3, 0.2, 1.9}, {4, 0.9, 1.0}, {5, 0.4, 1.2}});
    request_graph(man, "BootstrapHistPlot", "stat.ruva.Graphics.BootstrapHistPlot", {key},
                  {{"_PARM", "ParameterValue1"}, {"_PARMNAME", "a"}, {"_PARM_RUVA_VAL", 0.5}, {"_TITLE", "Bootstrap a"}});
  };
  ASSERT_EQ(run([&] {
              group("north");
              group("south & east");
            }),
            0);
  const std::string page = report_.page("ruva report: t.ruva");
  for (const char* part : {"<nav class=\"toc\"", "href=\"#s1-by2\"", "BY group 2: site = south &amp; east",
                           "<caption>Paramete<wbr>rEstimat<wbr>es</caption>", "<td class=\"num\">1.234500</td>",
                           "<figure id=\"s1-o", "<svg xmlns=\"http://www.w3.org/2000/svg\" id=\"g-step1_by2_BootstrapHistPlot_a\"",
                           "@media print"})
    EXPECT_NE(page.find(part), std::string::npos) << part;
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(page.find("BootstrapOutputStatistics</caption>"), std::string::npos);  // graph data stay out
  EXPECT_EQ(occurrences(page, "http"), occurrences(page, "<svg"));  // only the SVG namespace

  const std::string file = (dir_ / "report.html").string();
  std::ofstream(file) << page;
  std::string result;
  const int code = browser_check(file, &result);
  if (code == 77) GTEST_SKIP() << "No browser to load the report in (tools/deps.sh installs chromium): " << result;
  EXPECT_EQ(code, 0) << result;
}

using ReportPages = RuvaCommandTest;

// A table wider than the page comes in panels of whole columns, each
// starting with the row labels, and a table that fits stays whole; in the
// browser no box is wider than the page, in an 800 by 900-pixel window, a
// 1280-pixel one or printed on A4. Every stored example is in the page: the
// bootstrap's Parameter Estimates has fifteen columns, bias.ruva's Output
// Statistics and estimate.ruva's Additional Estimates are wide too. Words
// longer than a line break to fit: the programs' path in the title (a
// folder's name without blank or hyphen, given relative to the run's
// folder, so that the page is the same wherever the checkout is), a BY
// value of 110 characters in the contents and its heading, an ID value of
// 200 characters in its cells, and 32-character parameter names heading the
// Grid Search, whose eight row labels would leave no room for the sum of
// squares: the point's number starts each panel and they show once, as the
// listing shows them.
TEST_F(ReportPages, WideTablesComeInPanelsThatFitTheWindowAndThePrintedPage) {
  const std::filesystem::path examples = std::filesystem::path(RUVA_SOURCE_DIR) / "examples";
  const std::string folder = "programs_kept_in_a_folder_whose_name_runs_on_and_on_without_any_blank_or_hyphen_in_it";
  std::filesystem::create_directory(dir_ / folder);
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(examples)) {
    const std::string extension = entry.path().extension().string();
    if (extension == ".csv") std::filesystem::copy_file(entry.path(), dir_ / entry.path().filename());
    if (extension == ".ruva") names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  std::string programs;
  for (const std::string& name : names) {
    std::filesystem::copy_file(examples / name, dir_ / folder / name);
    programs += " " + folder + "/" + name;
  }
  std::string site;
  while (site.size() < 110) site += "MeasuringStation";
  site.resize(110);
  const std::string id(199, 'S');
  std::string sites = "site,id,time,demand\n";
  for (const char* row : {"1,8.3", "2,10.3", "3,19", "4,16", "5,15.6", "7,19.8"})
    sites += site + "," + id + row[0] + "," + row + "\n";
  write("sites.csv", sites);
  write(folder + "/sites.ruva", "proc ruva data=sites; by site; id id; parms a=20 b=0.5;\n"
                                "  model demand = a*(1 - exp(-b*time));\n  output out=o r=r j=j;\nrun;\n");
  std::string points = "x,y\n";
  for (int i = 0; i < 20; ++i) points += std::to_string(i / 4.0) + "," + std::to_string(1 + i / 8.0 + (i % 3) / 10.0) + "\n";
  write("points.csv", points);
  std::string parms, model = "0";
  for (int p = 0; p < 8; ++p) {
    const std::string name = "p" + std::to_string(p) + "_named_at_the_length_of_32chrs";
    parms += " " + name + " = 0.1 0.2";
    model += " + " + name + "*x**" + std::to_string(p);
  }
  write(folder + "/grid.ruva", "proc ruva data=points best=2; parms" + parms + ";\n  model y = " + model + ";\nrun;\n");
  ASSERT_EQ(run("--work . --html r.html" + programs + " " + folder + "/sites.ruva " + folder + "/grid.ruva"), 0)
      << read("log.txt");
  const std::string page = read("r.html");
  EXPECT_NE(page.find("<h1>ruva report: " + folder + "/" + names.front()), std::string::npos);
  EXPECT_NE(page.find("<h3>BY group 1: site = " + site + "</h3>"), std::string::npos);
  EXPECT_NE(page.find(">SSSSSSSS<wbr>SSSSSSSS<wbr>"), std::string::npos);
  EXPECT_NE(page.find(">p0_named<wbr>_at_the_<wbr>length_o<wbr>f_32chrs</th>"), std::string::npos);

  // The bootstrap's estimates, after its limits.
  const std::size_t from = page.rfind("<caption>Parameter Estimates</caption>", page.find("Bias-Corrected Bootstrap"));
  ASSERT_NE(from, std::string::npos);
  const std::string estimates = page.substr(from, page.find("</div>", from) - from);
  const int panels = occurrences(estimates, "<caption>");
  EXPECT_GE(panels, 2);
  EXPECT_EQ(occurrences(estimates, "<caption>Parameter Estimates (continued)</caption>"), panels - 1);
  EXPECT_EQ(occurrences(estimates, "<th scope=\"col\">Parameter</th>"), panels);
  EXPECT_EQ(occurrences(estimates, "<th scope=\"row\">b</th>"), panels);
  // Every other column once: four pairs of limits, the t value, the p-value.
  EXPECT_EQ(occurrences(estimates, "Confidence Limit</th>"), 8);
  EXPECT_EQ(occurrences(estimates, ">t Value</th>"), 1);
  EXPECT_EQ(occurrences(estimates, ">Approx Pr &gt; |t|</th>"), 1);
  const std::size_t grid = page.rfind("<caption>Grid Search</caption>");
  ASSERT_NE(grid, std::string::npos);
  EXPECT_EQ(page.substr(0, grid).find("Iterative Phase (continued)"), std::string::npos);
  const std::string grid_panels = page.substr(grid, page.find("</div>", grid) - grid);
  EXPECT_GE(occurrences(grid_panels, "<caption>"), 2);
  EXPECT_EQ(occurrences(grid_panels, "<th scope=\"col\" class=\"num\">p7_named"), 1);
  EXPECT_EQ(occurrences(grid_panels, ">Sum of Squares</th>"), 1);

  std::string result;
  const int code = browser_check((dir_ / "r.html").string(), &result);
  if (code == 77) GTEST_SKIP() << "No browser to load the report in (tools/deps.sh installs chromium): " << result;
  EXPECT_EQ(code, 0) << result;
}

// A grid of seven parameters whose values leave no room for the sum of
// squares beside them all: the point's number starts every panel, where
// some of the parameters alone would show 64 distinct sets for 128 rows.
// The browser checks that each panel's leading columns tell its rows apart.
TEST_F(ReportPages, EveryPanelOfAWideGridStartsWithItsPoint) {
  std::string points = "x,y\n";
  for (int i = 0; i < 12; ++i) points += std::to_string(i / 4.0) + "," + std::to_string(1 + i / 3.0 + (i % 3) / 10.0) + "\n";
  write("points.csv", points);
  std::string parms, model = "0";
  for (int p = 1; p <= 7; ++p) {
    parms += " p" + std::to_string(p) + " = -1.5 2.5";
    model += " + p" + std::to_string(p) + "*x**" + std::to_string(p - 1) + "/" + std::to_string(p * p);
  }
  write("grid.ruva", "proc ruva data=points; parms" + parms + ";\n  model y = " + model + ";\nrun;\n");
  ASSERT_EQ(run("--work . --html r.html grid.ruva"), 0) << read("log.txt");
  const std::string page = read("r.html");
  const std::size_t grid = page.find("<caption>Grid Search</caption>");
  ASSERT_NE(grid, std::string::npos);
  const std::string grid_panels = page.substr(grid, page.find("</div>", grid) - grid);
  const int panels = occurrences(grid_panels, "<caption>");
  EXPECT_GE(panels, 2);
  EXPECT_EQ(occurrences(grid_panels, "<tr><th scope=\"col\" class=\"num\">Point</th>"), panels);

  std::string result;
  const int code = browser_check((dir_ / "r.html").string(), &result);
  if (code == 77) GTEST_SKIP() << "No browser to load the report in (tools/deps.sh installs chromium): " << result;
  EXPECT_EQ(code, 0) << result;
}

// The page assembled from every output at once, as the report was built
// before it wrote each output as it came: the reference for the page
// written as the run goes.
std::string whole_page(const std::vector<platform::OutputItem>& items, const std::string& title) {
  using platform::report::html_escape;
  struct Heading {
    std::string id, text, outputs;
    std::vector<Heading> children;
  };
  std::vector<Heading> steps;
  std::string body;
  int step = -1, by = -1, n = 0;
  bool in_by = false;
  std::vector<std::string> titles;
  for (const platform::OutputItem& item : items) {
    if (item.step != step) {
      body += std::string(in_by ? "</section>\n" : "") + (step >= 0 ? "</section>\n" : "");
      step = item.step, by = 0, n = 0, in_by = false;
      titles.clear();
      steps.push_back({"s" + std::to_string(step), "Step " + std::to_string(step), "", {}});
      body += "<section class=\"step\" id=\"s" + std::to_string(step) + "\">\n<h2>Step " + std::to_string(step) + "</h2>\n";
    }
    if (item.by_number != by) {
      if (in_by) body += "</section>\n";
      by = item.by_number;
      in_by = by > 0;
      if (in_by) {
        std::string text = "BY group " + std::to_string(by) + ": ";
        for (std::size_t i = 0; i < item.by.size(); ++i) text += (i ? ", " : "") + item.by[i].name + " = " + item.by[i].text;
        const std::string id = "s" + std::to_string(step) + "-by" + std::to_string(by);
        steps.back().children.push_back({id, text, "", {}});
        body += "<section class=\"by-group\" id=\"" + id + "\">\n<h3>" + html_escape(text) + "</h3>\n";
      }
    }
    if (item.titles != titles) {
      titles = item.titles;
      std::string t;
      for (const std::string& line : titles)
        if (!line.empty()) t += "<p>" + html_escape(line) + "</p>";
      if (!t.empty()) body += "<div class=\"titles\">" + t + "</div>\n";
    }
    const std::string id = "s" + std::to_string(step) + "-o" + std::to_string(++n);
    (in_by ? steps.back().children.back() : steps.back()).outputs +=
        "<li><a href=\"#" + id + "\">" + html_escape(platform::report::output_caption(item)) + "</a></li>";
    body += platform::report::output_html(item, id);
  }
  body += std::string(in_by ? "</section>\n" : "") + (step >= 0 ? "</section>\n" : "");
  auto entry = [](const Heading& h) {
    return "<a href=\"#" + h.id + "\">" + html_escape(h.text) + "</a>" + (h.outputs.empty() ? "" : "<ol>" + h.outputs + "</ol>");
  };
  std::string toc = "<nav class=\"toc\" aria-label=\"Contents\">\n<h2>Contents</h2>\n<ol>\n";
  for (const Heading& s : steps) {
    toc += "<li>" + entry(s);
    if (!s.children.empty()) {
      toc += "<ol>";
      for (const Heading& b : s.children) toc += "<li>" + entry(b) + "</li>";
      toc += "</ol>";
    }
    toc += "</li>\n";
  }
  toc += "</ol>\n</nav>\n";
  return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         "<link rel=\"icon\" href=\"data:,\">\n<title>" + html_escape(title) + "</title>\n<style>" +
         platform::report::report_css() + "</style>\n</head>\n<body>\n<h1>" + html_escape(title) + "</h1>\n" + toc +
         "<main>\n" + body + "</main>\n</body>\n</html>\n";
}

// Texts wrap at blanks in the browser: a long reason needs no panel of its own.
TEST(ReportPage, ATableWhoseTextWrapsStaysWhole) {
  platform::OutputItem item;
  item.kind = "table", item.name = "ConvergenceStatus";
  platform::ColumnSpec status, reason;
  status.name = "Status", reason.name = "Reason", reason.data_type = platform::kTypeChars, reason.width = 400;
  item.columns = {status, reason};
  std::string text;
  for (int i = 0; i < 30; ++i) text += "converged ";
  item.rows = {{platform::Cell::of_number(1), platform::Cell::of_text(text)}};
  const std::string html = platform::report::output_html(item, "t");
  EXPECT_EQ(occurrences(html, "<table"), 1) << html;
}

// Words of more than 12 columns may break after every 8 columns: never
// inside a character (two-byte accents, two-column ideographs) or an
// escape; a hyphen already ends a word, as it does for the browser.
TEST(ReportPage, LongWordsBreakIntoPiecesOfWholeCharacters) {
  using platform::report::breakable_html;
  using platform::report::unbroken_width;
  EXPECT_EQ(breakable_html("Rate at K, treated"), "Rate at K, treated");
  EXPECT_EQ(breakable_html("Bias-Corrected  limits"), "Bias-Corrected  limits");
  EXPECT_EQ(breakable_html("a&b_cdefghijklmn x"), "a&amp;b_cdef<wbr>ghijklmn x");
  EXPECT_EQ(breakable_html("\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9"),
            "\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9<wbr>\u00e9\u00e9\u00e9\u00e9\u00e9");
  EXPECT_EQ(breakable_html("\u6f22\u5b57\u6f22\u5b57\u6f22\u5b57\u6f22"),
            "\u6f22\u5b57\u6f22\u5b57<wbr>\u6f22\u5b57\u6f22");
  EXPECT_EQ(unbroken_width("Approximate 95% Confidence"), 11);
  EXPECT_EQ(unbroken_width("Bias-Corrected"), 9);
  EXPECT_EQ(unbroken_width(std::string(200, 'S')), 8);
}

TEST(ReportPage, WrittenOutputByOutputItEqualsThePageAssembledWhole) {
  // Two steps: outputs before, in and after two BY groups with a title
  // that changes, then a step without BY groups.
  std::vector<platform::OutputItem> items;
  auto add = [&](int step, int by, const char* kind, const char* label, std::vector<std::string> titles) {
    platform::OutputItem item;
    item.step = step, item.by_number = by, item.has_by = by > 0, item.kind = kind, item.label = label;
    item.name = label;
    item.titles = std::move(titles);
    if (by > 0) item.by = {{"site", platform::Cell::of_text(by == 1 ? "north" : "<south>"), by == 1 ? "north" : "<south>"}};
    if (item.kind == "message") item.extra["text"] = std::string("NOTE & ") + label;
    if (item.kind == "graph") item.svg = "<svg><title>" + std::string(label) + "</title></svg>\n";
    if (item.kind == "table") {
      platform::ColumnSpec c;
      c.name = c.label = "Estimate";
      item.columns = {c};
      item.rows = {{platform::Cell::of_number(by + 0.25)}};
    }
    items.push_back(item);
  };
  add(1, 0, "message", "set-up", {"The RUVA Procedure"});
  add(1, 1, "table", "Parameter Estimates", {"The RUVA Procedure"});
  add(1, 1, "graph", "Fit Plot", {"The RUVA Procedure", "Dependent Variable y"});
  add(1, 2, "table", "Parameter Estimates", {"The RUVA Procedure"});
  add(1, 2, "graph", "Fit Plot", {"The RUVA Procedure"});
  add(1, 0, "message", "end", {});
  add(2, 0, "table", "Estimates", {"Second"});
  platform::report::HtmlReport report;
  for (const platform::OutputItem& item : items) report.add(item);
  const std::string expected = whole_page(items, "ruva report: a & b");
  EXPECT_EQ(report.page("ruva report: a & b"), expected);
  const std::string file =
      (std::filesystem::temp_directory_path() / ("ruva_report_whole_page_" + std::to_string(::getpid()) + ".html"))
          .string();
  std::string why;
  ASSERT_TRUE(report.write(file, "ruva report: a & b", &why)) << why;
  std::ifstream in(file);
  std::stringstream written;
  written << in.rdbuf();
  std::filesystem::remove(file);
  EXPECT_EQ(written.str(), expected);
}

}  // namespace
