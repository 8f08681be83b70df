// The report's budget: past it the report embeds no more outputs, keeps
// what it embedded byte for byte, still lists every step and BY group, and
// says in the page and once in the log what it left out and where that is.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

#include "platform/graphs/graph_fixture.h"
#include "platform/report/html_report.h"
#include "support/xml_check.h"

namespace {

using platform::OutputItem;
using platform::report::HtmlReport;
using platform::report::ReportSettings;

// Six BY groups of step 1 with a table and a graph each, then step 2
// without BY groups: a table and a message.
std::vector<OutputItem> run_outputs(bool graph_files) {
  std::vector<OutputItem> items;
  auto add = [&](int step, int by, const char* kind) {
    OutputItem item;
    item.step = step, item.by_number = by, item.has_by = by > 0, item.kind = kind;
    item.name = item.label = kind;
    item.titles = {"The RUVA Procedure"};
    if (by > 0) item.by = {{"site", platform::Cell::of_text("s" + std::to_string(by)), "s" + std::to_string(by)}};
    if (item.kind == "graph") {
      item.svg = "<svg><title>" + std::string(600, 'x') + "</title></svg>\n";
      if (graph_files) item.extra["file"] = "g/step1_by" + std::to_string(by) + "_FitPlot.svg";
    }
    if (item.kind == "message") item.extra["text"] = "NOTE: done.";
    if (item.kind == "table") {
      platform::ColumnSpec c;
      c.name = c.label = "Estimate";
      item.columns = {c};
      item.rows = {{platform::Cell::of_number(by + 0.5)}};
    }
    items.push_back(item);
  };
  for (int by = 1; by <= 6; ++by) add(1, by, "table"), add(1, by, "graph");
  add(2, 0, "table"), add(2, 0, "message");
  return items;
}

std::string between(const std::string& text, const std::string& from, const std::string& to) {
  const std::size_t a = text.find(from), b = text.find(to, a);
  return a == std::string::npos || b == std::string::npos ? "" : text.substr(a, b - a);
}

// Every link of the page leads to an element that is there, and no id is
// given twice.
void expect_links_resolve(const std::string& page) {
  std::set<std::string> ids;
  const std::regex id("id=\"([^\"]+)\""), href("href=\"#([^\"]+)\"");
  for (std::sregex_iterator i(page.begin(), page.end(), id), end; i != end; ++i)
    EXPECT_TRUE(ids.insert((*i)[1]).second) << "id given twice: " << (*i)[1];
  for (std::sregex_iterator i(page.begin(), page.end(), href), end; i != end; ++i)
    EXPECT_TRUE(ids.count((*i)[1])) << "link to nothing: " << (*i)[1];
}

struct Where {
  ReportSettings settings;
  bool graph_files;
  const char* places;  // where the note sends the reader for the tables and the graphs
};

class ReportBudget : public ::testing::TestWithParam<Where> {};

TEST_P(ReportBudget, StopsWhereItIsReachedKeepsWhatCameBeforeAndSaysWhatIsLeftOutAndWhere) {
  const std::vector<OutputItem> items = run_outputs(GetParam().graph_files);
  HtmlReport whole;
  for (const OutputItem& item : items) EXPECT_FALSE(whole.add(item));
  const std::string uncut = whole.page("t");

  ReportSettings settings = GetParam().settings;
  settings.budget = 4000;  // about half of what the run's outputs take
  HtmlReport report(settings);
  std::size_t stop = items.size();
  for (std::size_t i = 0; i < items.size(); ++i)
    if (report.add(items[i])) {
      EXPECT_EQ(stop, items.size()) << "told twice";
      stop = i;
    }
  ASSERT_GT(stop, 2u);
  ASSERT_LT(stop, 10u);
  const std::string page = report.page("t");

  // What was embedded is today's page byte for byte, within the budget.
  const std::string kept = between(page, "<main>\n", "<p id=\"left-out\"");
  ASSERT_FALSE(kept.empty());
  EXPECT_EQ(uncut.find(kept), uncut.find("<main>\n"));
  EXPECT_LE(kept.size(), settings.budget);
  EXPECT_EQ(xml_error(between(page, "<body>", "</html>")), "");
  expect_links_resolve(page);
  const std::string contents = between(page, "<nav", "</nav>");
  for (const char* heading : {">Step 1<", ">Step 2<", ">BY group 1: site = s1<", ">BY group 6: site = s6<"})
    EXPECT_EQ(occurrences(contents, heading), 1) << heading;

  int graphs = 0, first_graph = 0;
  for (std::size_t i = stop; i < items.size(); ++i)
    if (items[i].kind == "graph" && ++graphs == 1) first_graph = items[i].by_number;
  const int by = items[stop].by_number, others = static_cast<int>(items.size() - stop) - graphs;
  const std::string from = "step 1, BY group " + std::to_string(by) + " (site = s" + std::to_string(by) + ")";
  const std::string note = between(page, "<p id=\"left-out\"", "</p>");
  EXPECT_NE(note.find("at most 4000 bytes"), std::string::npos) << note;
  EXPECT_NE(note.find("Left out: " + std::to_string(graphs + others) + " outputs (" + std::to_string(others) +
                      " tables, fact lists and messages, " + std::to_string(graphs) + " graphs), from " + from +
                      " to step 2."),
            std::string::npos)
      << note;
  std::string places = GetParam().places;
  places = std::regex_replace(places, std::regex("FIRST"), "step1_by" + std::to_string(first_graph) + "_FitPlot.svg");
  EXPECT_NE(note.find(places), std::string::npos) << note;
  EXPECT_NE(report.log_note().find("the outputs from " + from + " on are not embedded"), std::string::npos)
      << report.log_note();
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, ReportBudget,
    ::testing::Values(Where{{0, "r.html", "out.lst", "g", "o.json"}, true,
                            "in the listing out.lst and in the JSON file o.json, which holds every output. The graphs "
                            "are SVG files in the folder g, from FIRST to step1_by6_FitPlot.svg."},
                      Where{{}, false,
                            "in the listing (standard output). The graphs left out are in no file: "
                            "--graphs DIR writes each graph as an SVG file."}));

// Five BY groups of one bootstrap histogram each.
void five_histograms() {
  for (const char* site : {"a", "b", "c", "d", "e"}) {
    platform::Host::current().output().set_by_group({{"site", platform::Cell::of_text(site), site}});
    wobop man = graph_manager();
    xobskey key = emit_table(man, "BootstrapOutputStatistics", "stat.ruva.BootstrapOutputStatistics",
                             {"BootstrapIndex", "ParameterValue1"}, {{1, 0.5}, {2, 0.7}, {3, 0.2}});
    request_graph(man, "BootstrapHistPlot", "stat.ruva.Graphics.BootstrapHistPlot", {key},
                  {{"_PARM", "ParameterValue1"}, {"_PARMNAME", "a"}, {"_PARM_RUVA_VAL", 0.5}});
  }
}

const char kLogNote[] =
    "NOTE: The report r.html has reached its limit of 20000 bytes: the outputs from step 1, BY group 2 (site = b) on "
    "are not embedded in it; they are in the listing (standard output)";

class ReportBudgetRun : public GraphTest {
 protected:
  // Room for one BY group's histogram (about 12 KB), not two.
  ReportBudgetRun() : GraphTest({20000, "r.html", "", "g", ""}) {}
};

TEST_F(ReportBudgetRun, ARunPastTheBudgetLogsOneNoteAndStillWritesEveryGraphFile) {
  ASSERT_EQ(run(five_histograms), 0);
  EXPECT_EQ(occurrences(log_.str(), std::string(kLogNote) + " and the graph files in g."), 1) << log_.str();
  const std::string page = report_.page("t");
  EXPECT_EQ(occurrences(page, "<svg"), 1);
  EXPECT_NE(page.find("from step1_by2_BootstrapHistPlot_a.svg to step1_by5_BootstrapHistPlot_a.svg."), std::string::npos);
  for (int by = 1; by <= 5; ++by)
    EXPECT_FALSE(svg("step1_by" + std::to_string(by) + "_BootstrapHistPlot_a").empty()) << by;
}

class ReportBudgetRunWithoutFiles : public GraphTest {
 protected:
  ReportBudgetRunWithoutFiles() : GraphTest({20000, "r.html", "", "", ""}, false) {}
};

TEST_F(ReportBudgetRunWithoutFiles, ARunWithoutGraphFilesSaysTheGraphsLeftOutAreInNoFile) {
  ASSERT_EQ(run(five_histograms), 0);
  EXPECT_EQ(occurrences(log_.str(), std::string(kLogNote) + "."), 1) << log_.str();
  const std::string page = report_.page("t");
  EXPECT_EQ(occurrences(page, "<svg"), 1);
  EXPECT_NE(page.find("4 graphs), from step 1, BY group 2 (site = b) to step 1, BY group 5 (site = e). The tables, "
                      "fact lists and messages are in the listing (standard output). The graphs left out are in no file"),
            std::string::npos);
}

}  // namespace
