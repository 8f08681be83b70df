// The HTML report: its structure, and the page loaded in a real browser.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>

#include "platform/graphs/graph_fixture.h"

namespace {

using ReportTest = GraphTest;

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
                           "<caption>ParameterEstimates</caption>", "<td class=\"num\">1.234500</td>",
                           "<figure id=\"s1-o", "<svg xmlns=\"http://www.w3.org/2000/svg\" id=\"g-step1_by2_BootstrapHistPlot_a\"",
                           "@media print"})
    EXPECT_NE(page.find(part), std::string::npos) << part;
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(page.find("BootstrapOutputStatistics</caption>"), std::string::npos);  // graph data stay out
  EXPECT_EQ(occurrences(page, "http"), occurrences(page, "<svg"));  // only the SVG namespace

  const std::string file = (dir_ / "report.html").string();
  std::ofstream(file) << page;
  const std::string command = std::string("python3 '") + RUVA_SOURCE_DIR + "/tests/support/browser_check.py' '" + file + "'";
  FILE* out = popen(command.c_str(), "r");
  ASSERT_NE(out, nullptr);
  std::string result;
  for (char buf[512]; fgets(buf, sizeof buf, out);) result += buf;
  const int status = pclose(out);
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (code == 77) GTEST_SKIP() << "No browser to load the report in (tools/deps.sh installs chromium): " << result;
  EXPECT_EQ(code, 0) << result;
}

}  // namespace
