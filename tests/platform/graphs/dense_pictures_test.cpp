// Graphs past the marks they draw one by one: needle plots as the range of
// each pixel column with the needles beyond the cut-off drawn one by one,
// profile curves without their markers; graph data kept as numbers and
// turned back into rows when a second output object shows the table.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <set>

#include "platform/graphs/graph_fixture.h"

namespace {

using Polygon = std::vector<std::pair<double, double>>;

// The quoted values that follow `opening` (`<path d="`) in a text. Found
// by hand: the standard regex recurses once a character and overflows the
// stack on a path of thousands of hexagons.
std::vector<std::string> quoted_after(const std::string& text, const std::string& opening) {
  std::vector<std::string> out;
  for (std::size_t at = text.find(opening); at != std::string::npos; at = text.find(opening, at)) {
    at += opening.size();
    const std::size_t close = text.find('"', at);
    out.push_back(text.substr(at, close - at));
  }
  return out;
}

// The polygons of the paths of a layer: absolute M and L, and the relative
// l and v of a whole hexagon.
std::vector<Polygon> polygons(const std::string& layer_text) {
  std::vector<Polygon> out;
  for (const std::string& data : quoted_after(layer_text, "<path d=\"")) {
    std::istringstream in(data);
    char c = 0, comma = 0;
    double x = 0, y = 0, a = 0, b = 0;
    while (in >> c) {
      if (c == 'Z' || c == 'z') continue;
      if (c == 'M') out.emplace_back();
      if (c == 'v') in >> a, y += a;
      else if (in >> a >> comma >> b; c == 'l') x += a, y += b;
      else x = a, y = b;
      out.back().push_back({x, y});
    }
  }
  return out;
}

bool inside(const Polygon& p, std::pair<double, double> q) {
  bool in = false;
  for (std::size_t i = 0, j = p.size() - 1; i < p.size(); j = i++)
    if ((p[i].second > q.second) != (p[j].second > q.second) &&
        q.first < p[j].first + (q.second - p[j].second) * (p[i].first - p[j].first) / (p[i].second - p[j].second))
      in = !in;
  return in;
}

// Attribute `name`'s values in a text.
std::set<std::string> values_of(const std::string& text, const std::string& name) {
  const std::vector<std::string> all = quoted_after(text, " " + name + "=\"");
  return {all.begin(), all.end()};
}

constexpr int kRows = 6000;

TEST_F(GraphTest, LeveragesOfManyObservationsAreNeedleRangesWithThoseAboveTwoPOverNOneByOne) {
  ASSERT_EQ(run([] {
              wobop man = graph_manager();
              std::vector<std::vector<double>> rows;
              for (int i = 1; i <= kRows; ++i) {
                // 2p/n is 4/6000; ten observations stand above it.
                const double h = i % 600 == 5 ? 1e-3 + i * 1e-8 : (1 + 0.5 * std::sin(0.7 * i)) / kRows;
                rows.push_back({double(i), 1, h});
              }
              xobskey os = emit_table(man, "OutputStatistics", "stat.ruva.OutputStatistics",
                                      {"Observation", "Weight", "TangentLeverage"}, rows);
              request_graph(man, "LeveragePlot", "stat.ruva.Graphics.LeveragePlot", {os},
                            {{"_SHOW_TAN", 1}, {"_SHOW_JAC", 0}, {"_NPARM", 2}, {"_NOBS", kRows},
                             {"_LEV_LABEL", "Leverage"}, {"_LABEL_WITH_DATA", 1}});
            }),
            0);
  const std::string picture = svg("step1_LeveragePlot");
  ASSERT_FALSE(picture.empty()) << listing_text();
  EXPECT_LT(picture.size(), 60'000u);
  // One vertical stroke per pixel column of the data area.
  const std::string ranges = layer(picture, "needles", "Leverage");
  ASSERT_NE(ranges.find("data-envelope"), std::string::npos);
  const AxisRange x = axis(picture, "x-axis");
  EXPECT_LE(occurrences(ranges, "V"), std::fabs(x.p1 - x.p0) + 1);
  // The ten above the cut-off, at their observation numbers and labelled.
  const std::string one_by_one = layer(picture, "needles", "Leverage", 1);
  EXPECT_EQ(occurrences(one_by_one, "V"), 10);
  EXPECT_EQ(occurrences(layer(picture, "markers", "Leverage"), "<circle"), 10);
  for (int k = 0; k < 10; ++k) {
    const int obs = 600 * k + 5;
    EXPECT_NE(picture.find(">" + std::to_string(obs) + "</text>"), std::string::npos) << obs;
  }
  EXPECT_NE(layer(picture, "footnote").find("the 10 observations with a leverage above 2p/n"), std::string::npos);
  // The ranges fill their columns: the cut-off is drawn over them.
  EXPECT_GT(picture.find(">2p/n</text>"), picture.find("data-envelope"));
}

TEST_F(GraphTest, LocalInfluenceOfManyObservationsDrawsThoseBeyondTheCutOffsOneByOne) {
  ASSERT_EQ(run([] {
              wobop man = graph_manager();
              std::vector<std::vector<double>> rows;
              for (int i = 1; i <= kRows; ++i) {
                // 2/sqrt(n) is 0.0258; six observations stand beyond it, three on each side.
                const double l = i % 1000 == 7 ? (i % 2000 == 7 ? 0.1 : -0.1) : 0.01 * std::sin(0.3 * i);
                rows.push_back({double(i), 1, l});
              }
              xobskey os = emit_table(man, "OutputStatistics", "stat.ruva.OutputStatistics",
                                      {"Observation", "Weight", "LMAX"}, rows);
              request_graph(man, "LocalInfluencePlot", "stat.ruva.Graphics.LocalInfluencePlot", {os}, {});
            }),
            0);
  const std::string picture = svg("step1_LocalInfluencePlot");
  ASSERT_FALSE(picture.empty()) << listing_text();
  EXPECT_LT(picture.size(), 60'000u);
  EXPECT_NE(layer(picture, "needles", "", 0).find("data-envelope"), std::string::npos);
  EXPECT_EQ(occurrences(layer(picture, "needles", "", 1), "V"), 6);
  EXPECT_NE(layer(picture, "footnote").find("the 6 observations with a local influence beyond"), std::string::npos)
      << layer(picture, "footnote");
}

// Stacked rows of a dense leverage plot still share the observation axis:
// their data areas start at the same left edge however wide their values'
// tick labels, and each row draws its own needles beyond the cut-off.
TEST_F(GraphTest, StackedDenseLeverageRowsShareTheirLeftEdge) {
  ASSERT_EQ(run([] {
              wobop man = graph_manager();
              std::vector<std::vector<double>> rows;
              for (int i = 1; i <= kRows; ++i) {
                // Ten of each row beyond 2p/n; the Jacobian row's tick labels are far wider.
                const bool beyond = i % 600 == 5;
                const double h = (beyond ? 3.0 : 1 + 0.5 * std::sin(0.7 * i)) / kRows;
                rows.push_back({double(i), 1, h, beyond ? -250000 : h});
              }
              xobskey os = emit_table(man, "OutputStatistics", "stat.ruva.OutputStatistics",
                                      {"Observation", "Weight", "TangentLeverage", "JacobianLeverage"}, rows);
              request_graph(man, "LeveragePlot", "stat.ruva.Graphics.LeveragePlot", {os},
                            {{"_SHOW_TAN", 1}, {"_SHOW_JAC", 1}, {"_NPARM", 1}, {"_NOBS", kRows}});
            }),
            0);
  const std::string picture = svg("step1_LeveragePlot");
  ASSERT_FALSE(picture.empty()) << listing_text();
  EXPECT_DOUBLE_EQ(axis(picture, "x-axis", 0).p0, axis(picture, "x-axis", 1).p0);
  for (const char* row : {"TangentLeverage", "JacobianLeverage"}) {
    EXPECT_NE(layer(picture, "needles", row).find("data-envelope"), std::string::npos) << row;
    EXPECT_EQ(occurrences(layer(picture, "needles", row, 1), "V"), 10) << row;
  }
}

// Past the cap on the points of a series drawn one by one, the footnote
// still says how many of each series lie beyond the cut-off in all.
TEST_F(GraphTest, CappedSeriesFootnotesGiveTheirTotals) {
  ASSERT_EQ(run([] {
              wobop man = graph_manager();
              std::vector<std::vector<double>> rows;
              for (int i = 1; i <= kRows; ++i) {
                // 3,000 raw and 2,800 projected residuals beyond 2, 2,600 and 2,700 leverages above 2p/n.
                const double raw = i % 2 ? 3 : 0.5, projected = i % 15 < 7 ? -2.5 : 1;
                const double tangent = i % 30 < 13 ? 3.0 / kRows : 0.1 / kRows, jacobian = i % 20 < 9 ? 3.0 / kRows : 0;
                rows.push_back({double(i), 1, i * 0.01, raw, raw, projected, projected, tangent, jacobian});
              }
              xobskey os = emit_table(man, "OutputStatistics", "stat.ruva.OutputStatistics",
                                      {"Observation", "Weight", "x", "Residual", "StudentizedResidual",
                                       "ProjectedResidual", "StudentizedProjectedResidual", "TangentLeverage",
                                       "JacobianLeverage"},
                                      rows);
              request_graph(man, "ResidualPlot_x", "stat.ruva.Graphics.ResidualPlot", {os},
                            {{"_XVAR", "x"}, {"_SHOWRAW", 1}, {"_RAWRESD", "Residual"}, {"_RAWLEGENDLABEL", "Raw"},
                             {"_SHOWPROJ", 1}, {"_PROJRESD", "ProjectedResidual"}, {"_PROJLEGENDLABEL", "Projected"}});
              request_graph(man, "LeveragePlot", "stat.ruva.Graphics.LeveragePlot", {os},
                            {{"_SHOW_TAN", 1}, {"_SHOW_JAC", 1}, {"_NPARM", 1}, {"_NOBS", kRows},
                             {"_TAN_LEG", "Tangential"}, {"_JAC_LEG", "Jacobian"}});
              request_graph(man, "FitDiagnosticsPanel", "stat.ruva.Graphics.FitDiagnosticsPanel", {os},
                            {{"_NPARM", 1}, {"_NOBS", kRows}, {"_RAW_LEG", "Raw"}, {"_PROJ_LEG", "Projected"},
                             {"_X_SHORT_TAN_LEV_LABEL", "Tangential"}, {"_X_SHORT_JAC_LEV_LABEL", "Jacobian"}});
            }),
            0);
  const std::string residuals = svg("step1_ResidualPlot_x"), leverage = svg("step1_LeveragePlot");
  ASSERT_FALSE(residuals.empty() || leverage.empty()) << listing_text();
  auto note = [](const std::string& picture) {  // the footnote's lines as one text
    const std::string lines = layer(picture, "footnote");
    std::string text;
    for (auto end = lines.find("</text>"); end != std::string::npos; end = lines.find("</text>", end + 1)) {
      const auto start = lines.rfind('>', end) + 1;
      text += (text.empty() ? "" : " ") + lines.substr(start, end - start);
    }
    return text;
  };
  EXPECT_NE(note(residuals).find("at most 2,500 a series, the farthest first: the observations with a studentized "
                                 "residual beyond \xC2\xB1" "2 (Raw: 3,000 in all; Projected: 2,800 in all)."),
            std::string::npos) << note(residuals);
  EXPECT_EQ(occurrences(layer(residuals, "markers", "Residual"), "<circle"), 2500);
  EXPECT_NE(note(leverage).find("above 2p/n (Tangential: 2,600 in all; Jacobian: 2,700 in all)."), std::string::npos)
      << note(leverage);
  EXPECT_EQ(occurrences(layer(leverage, "markers", "Tangential"), "<circle"), 2500);
  const std::string panel = svg("step1_FitDiagnosticsPanel");
  EXPECT_NE(note(panel).find("(Raw: 3,000 in all; Projected: 2,800 in all) or a leverage above 2p/n (Tangential: "
                             "2,600 in all; Jacobian: 2,700 in all)."),
            std::string::npos) << note(panel);
}

// A dense residual plot of both kinds with their smooths: the smooths in a
// colour and weight no mark has, each kind's bins in a strip of every
// hexagon of their own, the bins shown in the legend with a key of counts.
TEST_F(GraphTest, DenseResidualPlotKeysItsBinsKeepsTheKindsApartAndItsSmoothInSight) {
  ASSERT_EQ(run([] {
              wobop man = graph_manager();
              std::vector<std::vector<double>> rows;
              for (int i = 1; i <= kRows; ++i) {
                const double x = i / 600.0, r = std::sin(x) + std::sin(7.3 * i);
                rows.push_back({double(i), x, r, 0.8 * r + 0.1});
              }
              xobskey os = emit_table(man, "OutputStatistics", "stat.ruva.OutputStatistics",
                                      {"Observation", "x", "Residual", "ProjectedResidual"}, rows);
              request_graph(man, "ResidualPlot_x", "stat.ruva.Graphics.ResidualPlot", {os},
                            {{"_XVAR", "x"}, {"_SHOWRAW", 1}, {"_RAWRESD", "Residual"}, {"_RAWLEGENDLABEL", "Raw"},
                             {"_SHOWPROJ", 1}, {"_PROJRESD", "ProjectedResidual"}, {"_PROJLEGENDLABEL", "Projected"},
                             {"_SHOWSMOOTH", 1}, {"_SMOOTHRAWRESD", "Residual"}, {"_SMOOTHPROJRESD", "ProjectedResidual"}});
            }),
            0);
  const std::string picture = svg("step1_ResidualPlot_x");
  ASSERT_FALSE(picture.empty()) << listing_text();
  std::set<std::string> mark_colours;
  double heaviest_mark = 0;
  for (const char* cls : {"markers", "bins"})
    for (int n = 0; !layer(picture, cls, "", n).empty(); ++n) {
      const std::string marks = layer(picture, cls, "", n);
      for (const char* paint : {"stroke", "fill"})
        for (const std::string& c : values_of(marks, paint)) mark_colours.insert(c);
      for (const std::string& w : values_of(marks, "stroke-width")) heaviest_mark = std::max(heaviest_mark, std::stod(w));
    }
  for (const char* smooth : {"loess Residual", "loess ProjectedResidual"}) {
    const std::string line = layer(picture, "line", smooth);
    ASSERT_FALSE(line.empty()) << smooth;
    EXPECT_EQ(mark_colours.count(*values_of(line, "stroke").begin()), 0u) << smooth;
    EXPECT_GT(std::stod(*values_of(line, "stroke-width").begin()), heaviest_mark + 1) << smooth;
  }

  const std::vector<Polygon> raw = polygons(layer(picture, "bins", "Residual")),
                             projected = polygons(layer(picture, "bins", "ProjectedResidual"));
  ASSERT_GT(raw.size(), 100u);
  ASSERT_GT(projected.size(), 100u);
  for (const auto& [mine, others] : {std::pair{&raw, &projected}, std::pair{&projected, &raw}})
    for (const Polygon& p : *mine) {
      std::pair<double, double> centre{0, 0};
      for (const auto& [x, y] : p) centre.first += x / p.size(), centre.second += y / p.size();
      for (const Polygon& q : *others) ASSERT_FALSE(inside(q, centre)) << "a bin covers another kind's";
    }

  // The legend: each kind's bin before its label, then a key whose ranges
  // of counts follow on from 1, in the shades the bins have.
  const std::string legend = layer(picture, "legend");
  const std::size_t raw_label = legend.find(">Raw<");
  ASSERT_NE(raw_label, std::string::npos);
  EXPECT_NE(legend.substr(0, raw_label).find("fill=\"#0072B2\" fill-opacity"), std::string::npos) << legend;
  const std::size_t key = legend.find("Points per bin:");
  ASSERT_NE(key, std::string::npos) << legend;
  const std::string ranges = legend.substr(key);
  static const std::regex range(">([0-9,]+)(\xE2\x80\x93([0-9,]+))?<");
  std::size_t next = 1, shades = 0;
  auto number = [](std::string s) { return std::stoul(std::regex_replace(s, std::regex(","), "")); };
  for (std::sregex_iterator m(ranges.begin(), ranges.end(), range), end; m != end; ++m, ++shades) {
    EXPECT_EQ(number((*m)[1]), next);
    next = number((*m)[3].matched ? (*m)[3].str() : (*m)[1].str()) + 1;
  }
  EXPECT_GE(shades, 2u);
  std::set<std::string> bin_shades = values_of(layer(picture, "bins", "Residual"), "fill-opacity");
  for (const std::string& o : values_of(layer(picture, "bins", "ProjectedResidual"), "fill-opacity")) bin_shades.insert(o);
  EXPECT_EQ(values_of(ranges, "fill-opacity"), bin_shades);
}

TEST_F(GraphTest, ProfileCurveOfManyPointsIsDrawnWithoutMarkers) {
  ASSERT_EQ(run([] {
              wobop man = graph_manager();
              std::vector<std::vector<double>> rows;
              for (int i = 0; i < kRows; ++i) {
                const double w = -3 + 6.0 * i / kRows;
                rows.push_back({1, w, w + 0.1 * w * w});
              }
              xobskey key = emit_table(man, "ProfileJackknifeOutputStatistics",
                                       "stat.ruva.ProfileJackknifeOutputStatistics",
                                       {"StatType", "WaldPivotalStat", "LikelihoodRatioPivotalStat"}, rows);
              request_graph(man, "ProfiletPlot", "stat.ruva.Graphics.ProfiletPlot", {key}, {{"_PARMNAME", "k"}});
            }),
            0);
  const std::string picture = svg("step1_ProfiletPlot_k");
  EXPECT_EQ(vertices(layer(picture, "line", "profile"), "polyline").size(), std::size_t(kRows)) << listing_text();
  EXPECT_EQ(occurrences(layer(picture, "markers", "profile"), "<circle"), 0);
  EXPECT_NE(layer(picture, "footnote").find("6,000 profile points"), std::string::npos);
}

TEST_F(GraphTest, GraphDataShownBySecondOutputObjectKeepsEveryRow) {
  ASSERT_EQ(run([] {
              wobop man = graph_manager();
              static double cells[2];
              wobop table = open_estimates_table(man, cells);
              auto open = [&](int graph_data, xobskey* key) {
                WOB_PARM_BLK_STR pb[5] = {wob_object(0, nullptr), wob_object(504, table), wob_flag(2640, graph_data),
                                          wob_text(339, yoltxt("stat.ruva.BootstrapOutputStatistics", -1)),
                                          wob_key_slot(784, key)};
                wobmth(man, nullptr, 422, 5, pb);
                return pb[0].d.op;
              };
              auto row = [&](double a) {
                cells[0] = a, cells[1] = 10 * a;
                wobmth(table, nullptr, 329, 0, nullptr);
              };
              xobskey graph_key = nullptr, listed_key = nullptr;
              wobop graph_data = open(1, &graph_key);
              row(1), row(2), row(3);
              wobop listed = open(0, &listed_key);  // the rows so far become cells again
              row(4);
              wobmth(table, nullptr, 299, 0, nullptr);
              for (wobop out : {listed, graph_data}) {
                WOB_PARM_BLK_STR release[1] = {wob_object(0, out)};
                wobmth(man, nullptr, 428, 1, release);
              }
              request_graph(man, "BootstrapScatterPlot", "stat.ruva.Graphics.BootstrapScatterPlot", {graph_key},
                            {{"_PARMNAMEX", "a"}, {"_PARMNAMEY", "b"}});
            }),
            0);
  const std::string picture = svg("step1_BootstrapScatterPlot_a-b");
  EXPECT_EQ(occurrences(layer(picture, "markers", "bootstrap"), "<circle"), 4) << listing_text();
  EXPECT_NE(listing_text().find("40"), std::string::npos);  // the second output object's one row
}

}  // namespace
