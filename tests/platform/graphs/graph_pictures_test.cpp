// Graphs drawn from requests made as the procedure makes them: the pictures'
// axes, markers, bands, panel layout and histogram bars.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "platform/graphs/graph_fixture.h"
#include "support/straight_line.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST_F(GraphTest, FitPlotShowsTheUsedObservationsAndTheConfidenceBand) {
  static const StraightLine line;
  ASSERT_EQ(run([] {
              wobop man = graph_manager();
              std::vector<std::vector<double>> stats, grid;
              for (int i = 0; i < 10; ++i)
                stats.push_back({i + 1.0, 1.0, line.dose[i], line.b0 + line.b1 * line.dose[i], line.y[i]});
              stats.push_back({11, 0.0, 5.5, kNaN, 100});
              xobskey os = emit_table(man, "OutputStatistics", "stat.ruva.OutputStatistics",
                                      {"Observation", "Weight", "dose", "Predicted", "Observed"}, stats);
              for (int k = 0; k <= 200; ++k) {
                const double x = 1 + 9.0 * k / 200, f = line.b0 + line.b1 * x, h = line.mean_half_width(x);
                grid.push_back({x, f, f + h, f - h});
              }
              xobskey sg = emit_table(man, "ScoreGrid", "stat.ruva.ScoreGrid", {"xgrid", "ygrid", "ucmgrid", "lcmgrid"}, grid);
              request_graph(man, "FitPlot", "STAT.RUVA.GRAPHICS.FITPLOT", {os, sg},
                            {{"_XPRED", "xgrid"}, {"_YPRED", "ygrid"}, {"_UCM", "ucmgrid"}, {"_LCM", "lcmgrid"},
                             {"_XVAR", "dose"}, {"_YVAR", "Observed"}, {"_HASCONFLIMITS", 1.0}, {"_HASPREDLIMITS", 0.0},
                             {"_CONFLABEL", "95% Confidence Limits"}, {"_DEPLABEL", "y"}});
            }),
            0)
      << log_.str();
  const std::string picture = svg("step1_FitPlot");
  ASSERT_FALSE(picture.empty()) << listing_text();
  EXPECT_EQ(occurrences(layer(picture, "markers", "observed"), "<circle"), 10);  // not the unused one
  const AxisRange x = axis(picture, "x-axis"), y = axis(picture, "y-axis");
  EXPECT_NEAR(x.lo, 1 - 0.36, 1e-9);  // the data range widened by 4%
  EXPECT_NEAR(x.hi, 10 + 0.36, 1e-9);
  const auto band = vertices(layer(picture, "band", "confidence"));
  ASSERT_EQ(band.size(), 402u);
  const double tolerance = 0.01 * (y.hi - y.lo) / std::fabs(y.p1 - y.p0);  // a hundredth of a pixel
  for (std::size_t i = 0; i < band.size(); ++i) {
    const double xv = x.value(band[i].first), fit = line.b0 + line.b1 * xv;
    const double limit = fit + (i < 201 ? 1 : -1) * line.mean_half_width(xv);
    EXPECT_NEAR(y.value(band[i].second), limit, tolerance + std::fabs(line.b1) * 0.01 * (x.hi - x.lo) / (x.p1 - x.p0))
        << "vertex " << i;
  }
  EXPECT_NE(listing_text().find("Graph FitPlot: " + (dir_ / "step1_FitPlot.svg").string()), std::string::npos);
}

TEST_F(GraphTest, FitDiagnosticsPanelHasNineCellsOnAThreeByThreeGrid) {
  ASSERT_EQ(run([] {
              wobop man = graph_manager();
              std::vector<std::vector<double>> rows;
              for (int i = 1; i <= 12; ++i) {
                const double r = std::sin(i * 1.7), p = 10 + i;
                rows.push_back({double(i), 1, r, r * 1.1, 0.01 * i, r * 0.9, r, 0.1 + 0.01 * i, 0.12 + 0.01 * i, p, p + r});
              }
              xobskey os = emit_table(man, "OutputStatistics", "stat.ruva.OutputStatistics",
                                      {"Observation", "Weight", "Residual", "StudentizedResidual", "ResidualExpectation",
                                       "ProjectedResidual", "StudentizedProjectedResidual", "TangentLeverage",
                                       "JacobianLeverage", "Predicted", "Observed"},
                                      rows);
              request_graph(man, "FitDiagnosticsPanel", "stat.ruva.Graphics.FitDiagnosticsPanel", {os},
                            {{"_NROWS", 3}, {"_SHOW_RAW", 1}, {"_SHOW_PROJ", 1}, {"_SHOWSTATS", 1}, {"_SHOWNOBS", 1},
                             {"_NOBS", 12}});
            }),
            0);
  const std::string picture = svg("step1_FitDiagnosticsPanel");
  ASSERT_EQ(occurrences(picture, "<g class=\"cell\""), 9) << listing_text();
  std::multiset<long> lefts, tops;
  for (int k = 0; k < 9; ++k) {
    lefts.insert(std::lround(axis(picture, "x-axis", k).p0 / 40));  // columns 240 pixels apart
    tops.insert(std::lround(axis(picture, "y-axis", k).p1 / 40));
  }
  for (const auto* edges : {&lefts, &tops}) {
    EXPECT_EQ(std::set<long>(edges->begin(), edges->end()).size(), 3u);
    for (long e : *edges) EXPECT_EQ(edges->count(e), 3u);
  }
  EXPECT_NE(layer(picture, "inset").find("Observations"), std::string::npos);
}

TEST_F(GraphTest, BootstrapHistogramBarsFollowTheBinningRule) {
  ASSERT_EQ(run([] {
              wobop man = graph_manager();
              // 1..100: IQR 49.5, Freedman-Diaconis width 21.3, nice width 20: bars on 0, 20, ..., 100.
              std::vector<std::vector<double>> spread, lumped;
              for (int i = 1; i <= 100; ++i) spread.push_back({double(i), double(i), 0});
              // Twenty zeros and a 5: IQR 0, Sturges' 6 bins of 0.83, nice width 1: five bars.
              for (int i = 0; i < 20; ++i) lumped.push_back({double(i), 0, 0});
              lumped.push_back({20, 5, 0});
              for (const auto* rows : {&spread, &lumped}) {
                xobskey key = emit_table(man, "BootstrapOutputStatistics", "stat.ruva.BootstrapOutputStatistics",
                                         {"BootstrapIndex", "ParameterValue1", "ParameterValue2"}, *rows);
                request_graph(man, "BootstrapHistPlot", "stat.ruva.Graphics.BootstrapHistPlot", {key},
                              {{"_PARM", "ParameterValue1"}, {"_PARMNAME", "theta"}, {"_PARM_RUVA_VAL", 50.0}});
              }
            }),
            0);
  EXPECT_EQ(occurrences(layer(svg("step1_BootstrapHistPlot_theta"), "bars"), "<rect"), 5);
  EXPECT_EQ(occurrences(layer(svg("step1_BootstrapHistPlot_theta_2"), "bars"), "<rect"), 5);
}

TEST_F(GraphTest, SameRequestsGiveTheSameBytesAndMissingDataAreNoted) {
  auto step = [] {
    wobop man = graph_manager();
    // A key of an earlier BY group finds nothing in a later one.
    platform::Host::current().output().set_by_group({{"g", platform::Cell::of_number(1), "1"}});
    xobskey earlier = emit_table(man, "ProfileJackknifeOutputStatistics", "stat.ruva.ProfileJackknifeOutputStatistics",
                                 {"Observation", "StatType", "ParameterPercentageChange"}, {{1, 2, 0.5}, {2, 2, 1.5}});
    platform::Host::current().output().set_by_group({{"g", platform::Cell::of_number(2), "2"}});
    request_graph(man, "JackknifePlot", "stat.ruva.Graphics.JackknifePlot", {earlier}, {{"_PARMNAME", "k"}});
    xobskey key = emit_table(man, "BootstrapOutputStatistics", "stat.ruva.BootstrapOutputStatistics",
                             {"BootstrapIndex", "ParameterValue1", "ParameterValue2"},
                             {{1, 0.5, 1.5}, {2, 0.7, 1.1}, {3, 0.2, 1.9}, {4, 0.9, 1.0}});
    request_graph(man, "BootstrapScatterPlot", "stat.ruva.Graphics.BootstrapScatterPlot", {key},
                  {{"_PARMX", "ParameterValue1"}, {"_PARMY", "ParameterValue2"}, {"_PARMNAMEX", "a"}, {"_PARMNAMEY", "b"}});
    request_graph(man, "FitPlot", "stat.ruva.Graphics.FitPlot", {yoltxt("ScoreGrid#9", -1)}, {});
  };
  ASSERT_EQ(run(step), 0);
  ASSERT_EQ(run(step), 0);
  std::string first = svg("step1_by2_BootstrapScatterPlot_a-b"), second = svg("step2_by2_BootstrapScatterPlot_a-b");
  ASSERT_FALSE(first.empty());
  for (std::size_t at; (at = first.find("step1")) != std::string::npos;) first.replace(at, 5, "step2");
  EXPECT_EQ(first, second);
  EXPECT_NE(listing_text().find("The graph FitPlot was not drawn"), std::string::npos);
  EXPECT_NE(listing_text().find("The graph JackknifePlot was not drawn"), std::string::npos);
  EXPECT_TRUE(svg("step1_by2_JackknifePlot_k").empty());
}

}  // namespace

// The residual panel's legend is sized in the font it is drawn in (10
// pixels, 9 when the panel is shrunk): its strip, from the cells down to
// the picture's 4-pixel margin, holds one row as tall as the text (1.5
// times its size) and 2 pixels above and below, the row's marks centred:
// a strip sized in a larger font would set them higher.
TEST_F(GraphTest, ResidualPanelLegendRowIsAsTallAsItsText) {
  for (int shrink : {0, 1}) {
    ASSERT_EQ(run([shrink] {
                wobop man = graph_manager();
                std::vector<std::vector<double>> rows;
                for (int i = 1; i <= 12; ++i) rows.push_back({i * 1.0, 1, std::sin(i), std::cos(i), i * 0.5, i % 4 * 1.0});
                xobskey os = emit_table(man, "OutputStatistics", "stat.ruva.OutputStatistics",
                                        {"Observation", "Weight", "Residual", "ProjectedResidual", "x", "z"}, rows);
                request_graph(man, "ResidualPanel", "stat.ruva.Graphics.ResidualPanel", {os},
                              {{"_NROWS", 1}, {"_NCOLS", 2}, {"_NPLOTS", 2}, {"_XVAR1", "x"}, {"_XVAR2", "z"},
                               {"_SHOWRAW", 1}, {"_RAWRESD", "Residual"}, {"_SHOWPROJ", 1},
                               {"_PROJRESD", "ProjectedResidual"}, {"_SHRINKFONTS", shrink}});
              }),
              0)
        << log_.str();
    const std::string panel = svg("step" + std::to_string(shrink + 1) + "_ResidualPanel");
    ASSERT_FALSE(panel.empty()) << listing_text();
    const std::string legend = layer(panel, "legend");
    const double font = attribute(elements(legend, "text").at(0), "font-size");
    EXPECT_EQ(font, shrink ? 9 : 10);
    const double bottom = attribute(elements(panel, "svg").at(0), "height") - 4;
    const double row = 1.5 * font, strip = row + 4;
    const auto marks = marker_centres(legend);
    ASSERT_EQ(marks.size(), 2u);
    for (const auto& [x, y] : marks) EXPECT_NEAR(y, bottom - strip + 2 + row / 2, 0.01) << "shrunk " << shrink;
  }
}
