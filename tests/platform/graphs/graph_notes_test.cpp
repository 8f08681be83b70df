// What a graph does when its data fall short or its file cannot be made:
// the listing says why it was not drawn, a panel notes the cell it cannot
// fill, a graph of a table still open shows the rows so far, and a graph
// whose file cannot be written is named once and leaves nothing behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/graphs/graph_fixture.h"

namespace {

constexpr double kMissing = NAN;

xobskey bootstrap_table(wobop man, double value) {
  return emit_table(man, "BootstrapOutputStatistics", "stat.ruva.BootstrapOutputStatistics",
                    {"BootstrapIndex", "ParameterValue1", "ParameterValue2"}, {{1, value, value}, {2, value, value}});
}

xobskey statistics(wobop man, const std::vector<std::string>& columns) {
  std::vector<std::vector<double>> rows;
  for (int i = 1; i <= 6; ++i) rows.push_back(std::vector<double>(columns.size(), i));
  return emit_table(man, "OutputStatistics", "stat.ruva.OutputStatistics", columns, rows);
}

xobskey grid(wobop man, const std::vector<std::vector<double>>& rows) {
  return emit_table(man, "ContourGrid", "stat.ruva.ContourGrid", {"xgrid", "ygrid", "zgrid"}, rows);
}

struct Shortfall {
  const char* graph;
  void (*request)(wobop man);
  const char* why;
};

const Shortfall kShortfalls[] = {
    {"BootstrapHistPlot",
     [](wobop man) {
       request_graph(man, "BootstrapHistPlot", "stat.ruva.Graphics.BootstrapHistPlot", {bootstrap_table(man, kMissing)},
                     {{"_PARMNAME", "a"}});
     },
     "no bootstrap sample converged"},
    {"BootstrapScatterPlot",
     [](wobop man) {
       request_graph(man, "BootstrapScatterPlot", "stat.ruva.Graphics.BootstrapScatterPlot",
                     {bootstrap_table(man, kMissing)}, {{"_PARMNAMEX", "a"}, {"_PARMNAMEY", "b"}});
     },
     "no bootstrap sample converged"},
    {"LeveragePlot",
     [](wobop man) {
       request_graph(man, "LeveragePlot", "stat.ruva.Graphics.LeveragePlot", {statistics(man, {"Observation", "Weight"})},
                     {{"_SHOW_TAN", 1}, {"_SHOW_JAC", 1}});
     },
     "the output-statistics table has no leverage column"},
    {"LocalInfluencePlot",
     [](wobop man) {
       request_graph(man, "LocalInfluencePlot", "stat.ruva.Graphics.LocalInfluencePlot",
                     {statistics(man, {"Observation", "Weight"})}, {});
     },
     "the output-statistics table has no local-influence column"},
    {"ResidualPlot",
     [](wobop man) {
       request_graph(man, "ResidualPlot", "stat.ruva.Graphics.ResidualPlot",
                     {statistics(man, {"Observation", "Residual"})}, {{"_XVAR", "dose"}});
     },
     "the output-statistics table has no column dose"},
    {"ProfiletPlot",
     [](wobop man) {  // jackknife rows only
       xobskey t = emit_table(man, "ProfileJackknifeOutputStatistics", "stat.ruva.ProfileJackknifeOutputStatistics",
                              {"StatType", "WaldPivotalStat", "LikelihoodRatioPivotalStat"}, {{2, 0.1, 0.2}, {2, 0.3, 0.4}});
       request_graph(man, "ProfiletPlot", "stat.ruva.Graphics.ProfiletPlot", {t}, {{"_PARMNAME", "a"}});
     },
     "the profile table has no profile rows with statistics"},
    {"ConfidenceCurve",
     [](wobop man) {
       xobskey t = emit_table(man, "ProfileJackknifeOutputStatistics", "stat.ruva.ProfileJackknifeOutputStatistics",
                              {"StatType", "ParameterValue", "xValue"}, {{2, 0.1, 0.2}});
       request_graph(man, "ConfidenceCurve", "stat.ruva.Graphics.ConfidenceCurve", {t}, {{"_PARMNAME", "a"}});
     },
     "the profile table has no profile rows with statistics"},
    {"ContourFitPlot",
     [](wobop man) {
       request_graph(man, "ContourFitPlot", "stat.ruva.Graphics.ContourFitPlot",
                     {statistics(man, {"Observation"}), grid(man, {{1, 1, 5}, {1, 2, 6}, {2, 1, 7}})}, {});
     },
     "the two-regressor score grid of the contour-fit plot is not in the output"},
    {"ContourFitPlot",
     [](wobop man) {  // two x values, the second with one y only
       request_graph(man, "ContourFitPlot", "stat.ruva.Graphics.ContourFitPlot",
                     {statistics(man, {"Observation"}), grid(man, {{1, 1, 5}, {1, 2, 6}, {2, 1, 7}, {2, 2, 8}, {3, 1, 9}})},
                     {});
     },
     "the contour-fit plot's grid is not a rectangular grid"},
    {"ContourFitPlot",
     [](wobop man) {
       request_graph(man, "ContourFitPlot", "stat.ruva.Graphics.ContourFitPlot",
                     {statistics(man, {"Observation"}),
                      grid(man, {{1, 1, kMissing}, {1, 2, kMissing}, {2, 1, kMissing}, {2, 2, kMissing}})},
                     {});
     },
     "the fitted surface has no value on the grid"},
    {"NoSuchPlot",
     [](wobop man) {
       request_graph(man, "NoSuchPlot", "stat.ruva.Graphics.NoSuchPlot", {statistics(man, {"Observation"})}, {});
     },
     "no drawing is known for the template stat.ruva.Graphics.NoSuchPlot"},
};

class GraphShortfall : public GraphTest, public ::testing::WithParamInterface<Shortfall> {};

TEST_P(GraphShortfall, TheListingSaysWhyTheGraphWasNotDrawn) {
  static const Shortfall* current;
  current = &GetParam();
  ASSERT_EQ(run([] { current->request(graph_manager()); }), 0);
  const std::string note = "The graph " + std::string(GetParam().graph) + " was not drawn: " + GetParam().why + ".";
  EXPECT_NE(listing_text().find(note), std::string::npos) << listing_text();
  EXPECT_TRUE(std::filesystem::is_empty(dir_));
}

INSTANTIATE_TEST_SUITE_P(Graphs, GraphShortfall, ::testing::ValuesIn(kShortfalls));

TEST_F(GraphTest, APanelNotesTheCellItCannotFillAndALabelNearTheEdgeTurnsInward) {
  ASSERT_EQ(run([] {
              wobop man = graph_manager();
              std::vector<std::vector<double>> rows;
              // Ten observations; the last, 100000, alone has a leverage above 2p/n = 0.4.
              for (int i = 1; i <= 10; ++i)
                rows.push_back({99990.0 + i, 1, std::sin(i), i * 0.1, i == 10 ? 0.9 : 0.1});
              xobskey os = emit_table(man, "OutputStatistics", "stat.ruva.OutputStatistics",
                                      {"Observation", "Weight", "Residual", "x", "TangentLeverage"}, rows);
              request_graph(man, "ResidualPanel", "stat.ruva.Graphics.ResidualPanel", {os},
                            {{"_NROWS", 1}, {"_NCOLS", 2}, {"_NPLOTS", 2}, {"_XVAR1", "x"}, {"_XVAR2", "dose"},
                             {"_SHOWRAW", 1}, {"_RAWRESD", "Residual"}});
              request_graph(man, "LeveragePlot", "stat.ruva.Graphics.LeveragePlot", {os},
                            {{"_SHOW_TAN", 1}, {"_NPARM", 2}, {"_NOBS", 10}, {"_LABEL_WITH_DATA", 1}});
            }),
            0);
  const std::string panel = svg("step1_ResidualPanel");
  EXPECT_NE(layer(panel, "cell", "", 1).find("dose: not in the output statistics"), std::string::npos) << panel;
  EXPECT_NE(layer(panel, "cell", "", 0).find("data-series=\"Residual\""), std::string::npos);

  const std::string leverage = svg("step1_LeveragePlot");
  const std::vector<std::pair<double, double>> markers = marker_centres(layer(leverage, "markers"));
  ASSERT_EQ(markers.size(), 10u) << leverage;
  const double last = std::max_element(markers.begin(), markers.end())->first;
  std::string label;
  for (const std::string& t : elements(leverage, "text"))
    if (leverage.find(t + "100000</text>") != std::string::npos) label = t;
  ASSERT_FALSE(label.empty()) << "the observation's label";
  EXPECT_NE(label.find("text-anchor=\"end\""), std::string::npos) << label;
  EXPECT_LT(attribute(label, "x"), last);
}

TEST_F(GraphTest, AGraphOfATableStillOpenShowsItsRowsSoFar) {
  ASSERT_EQ(run([] {
              wobop man = graph_manager();
              static double cells[2];
              wobop table = open_estimates_table(man, cells);
              xobskey key = nullptr;
              WOB_PARM_BLK_STR open[5] = {wob_object(0, nullptr), wob_object(504, table), wob_flag(2640, 1),
                                          wob_text(339, yoltxt("stat.ruva.BootstrapOutputStatistics", -1)),
                                          wob_key_slot(784, &key)};
              wobmth(man, nullptr, 422, 5, open);
              auto scatter = [&] {
                request_graph(man, "BootstrapScatterPlot", "stat.ruva.Graphics.BootstrapScatterPlot", {key},
                              {{"_PARMNAMEX", "a"}, {"_PARMNAMEY", "b"}});
              };
              for (double a : {1.0, 2.0, 3.0}) {
                cells[0] = a, cells[1] = 10 * a;
                wobmth(table, nullptr, 329, 0, nullptr);
              }
              scatter();
              cells[0] = 4, cells[1] = 40;
              wobmth(table, nullptr, 329, 0, nullptr);
              scatter();
              wobmth(table, nullptr, 299, 0, nullptr);
              WOB_PARM_BLK_STR release[1] = {wob_object(0, open[0].d.op)};
              wobmth(man, nullptr, 428, 1, release);
            }),
            0);
  EXPECT_EQ(occurrences(layer(svg("step1_BootstrapScatterPlot_a-b"), "markers", "bootstrap"), "<circle"), 3);
  EXPECT_EQ(occurrences(layer(svg("step1_BootstrapScatterPlot_a-b_2"), "markers", "bootstrap"), "<circle"), 4);
}

TEST_F(GraphTest, AGraphFileThatCannotBeWrittenIsNamedOnceAndLeavesNothing) {
  // A folder where the file should go: no file can take its name.
  std::filesystem::create_directory(dir_ / "step1_BootstrapScatterPlot_a-b.svg");
  ASSERT_EQ(run([] {
              wobop man = graph_manager();
              request_graph(man, "BootstrapScatterPlot", "stat.ruva.Graphics.BootstrapScatterPlot",
                            {bootstrap_table(man, 1.5)}, {{"_PARMNAMEX", "a"}, {"_PARMNAMEY", "b"}});
              // A name with the folder separator stays a file of the folder.
              request_graph(man, "../Fit Plot", "stat.ruva.Graphics.BootstrapScatterPlot", {bootstrap_table(man, 2.5)},
                            {{"_PARMNAMEX", "a"}, {"_PARMNAMEY", "b"}});
            }),
            4);
  EXPECT_EQ(occurrences(log_.str(), "WARNING: The graph BootstrapScatterPlot was not written: "), 1) << log_.str();
  EXPECT_EQ(occurrences(listing_text(), "The graph BootstrapScatterPlot was not written: "), 1);
  std::vector<std::string> files;
  for (const auto& f : std::filesystem::directory_iterator(dir_)) files.push_back(f.path().filename().string());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"step1_.._Fit_Plot_a-b.svg", "step1_BootstrapScatterPlot_a-b.svg"}));
}

}  // namespace
