// The graphs of a fit drawn end to end: the limits the fit plot shows for a
// model linear in its parameters equal their closed forms, a run writes the
// same pictures and report byte for byte, any bytes in labels, BY and ID
// values give well-formed pictures and a report in UTF-8, and a machine
// without fonts draws the same pictures.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "support/ruva_command.h"
#include "support/straight_line.h"
#include "support/svg_reading.h"
#include "support/xml_check.h"

namespace {

using GraphFilesTest = RuvaCommandTest;

TEST_F(GraphFilesTest, FitPlotLimitsAreTheClosedFormsAndRunsRepeatByteForByte) {
  const StraightLine line;
  std::string csv = "dose,y\n";
  for (int i = 0; i < 10; ++i) csv += std::to_string(line.dose[i]) + "," + std::to_string(line.y[i]) + "\n";
  csv += "5.5,.\n";  // not used: its response is missing
  write("d.csv", csv);
  write("fit.ruva", "proc ruva data=d plots=fit;\n  parms b0=0 b1=1;\n  model y = b0 + b1*dose;\nrun;\n");
  ASSERT_EQ(run("--work . --graphs g --html r.html fit.ruva"), 0) << read("log.txt");
  const std::string svg = read("g/step1_FitPlot.svg");
  ASSERT_FALSE(svg.empty()) << read("listing.txt");
  EXPECT_NE(read("listing.txt").find("Graph FitPlot: g/step1_FitPlot.svg"), std::string::npos);
  EXPECT_EQ(occurrences(layer(svg, "markers", "observed"), "<circle"), 10);

  const AxisRange x = axis(svg, "x-axis"), y = axis(svg, "y-axis");
  // Two-decimal pixels: a hundredth of a pixel in y, and the slope times
  // a hundredth of a pixel in x.
  const double tolerance = 0.01 * ((y.hi - y.lo) / std::fabs(y.p1 - y.p0) + 2 * (x.hi - x.lo) / (x.p1 - x.p0));
  auto check = [&](const std::vector<std::pair<double, double>>& points, auto limit, const char* what) {
    ASSERT_FALSE(points.empty()) << what;
    for (const auto& [px, py] : points) EXPECT_NEAR(y.value(py), limit(x.value(px)), tolerance) << what;
  };
  const auto band = vertices(layer(svg, "band", "confidence"));
  ASSERT_EQ(band.size(), 402u);  // 201 grid points each way
  check({band.begin(), band.begin() + 201}, [&](double v) { return line.b0 + line.b1 * v + line.mean_half_width(v); },
        "upper confidence limit");
  check({band.begin() + 201, band.end()}, [&](double v) { return line.b0 + line.b1 * v - line.mean_half_width(v); },
        "lower confidence limit");
  check(vertices(layer(svg, "line", "upper prediction"), "polyline"),
        [&](double v) { return line.b0 + line.b1 * v + line.prediction_half_width(v); }, "upper prediction limit");
  check(vertices(layer(svg, "line", "lower prediction"), "polyline"),
        [&](double v) { return line.b0 + line.b1 * v - line.prediction_half_width(v); }, "lower prediction limit");

  ASSERT_EQ(run("--work . --graphs g2 --html r2.html fit.ruva"), 0);
  EXPECT_EQ(read("g2/step1_FitPlot.svg"), svg);
  EXPECT_EQ(read("r2.html"), read("r.html"));

  // A file name longer than the line goes on over the next lines, whole.
  const std::string folder = "graphs_in_a_folder_whose_name_is_longer_than_the_narrowest_line";
  ASSERT_EQ(run("--work . --option LINESIZE=64 --graphs " + folder + " fit.ruva"), 0) << read("log.txt");
  std::istringstream listing(read("listing.txt"));
  std::string named;
  bool naming = false;
  for (std::string l; std::getline(listing, l);) {
    EXPECT_LE(l.size(), 64u) << l;
    naming = l.rfind("Graph FitPlot:", 0) == 0 || (naming && !l.empty());
    if (naming) named += l;
  }
  EXPECT_EQ(named, "Graph FitPlot:" + folder + "/step1_FitPlot.svg");
}

TEST_F(GraphFilesTest, AnyBytesInLabelsByAndIdValuesGiveWellFormedPicturesAndAUtf8Report) {
  // Each BY group and ID value carries one kind of text that XML 1.0 or
  // UTF-8 does not allow; the labels carry the characters a JSON file can.
  const char* bad[] = {"\x01\x1F", "\xEF\xBF\xBE", "\xEF\xBF\xBF", "\xED\xA0\x80", "\xFF\xFE", "\xC0\xAF"};
  const double time[] = {1, 2, 3, 4, 5, 7}, demand[] = {8.3, 10.3, 19, 16, 15.6, 19.8};
  std::string csv = "grp,tag,time,demand\n";
  for (const char* g : bad)
    for (int i = 0; i < 6; ++i)
      csv += std::string("g") + g + ",t" + bad[i] + "," + std::to_string(time[i]) + "," + std::to_string(demand[i]) + "\n";
  write("d.csv", csv);
  write("d.meta.json", R"j({"variables":[{"name":"time","label":"Time \ufffe\uffff\u0001 (days)"},)j"
                       R"j({"name":"demand","label":"Demand \u0002\ufffe"}]})j");
  write("p.ruva", "proc ruva data=d plots=all;\n  by grp notsorted;\n  id tag;\n  parms th1=20 th2=0.5;\n"
                  "  model demand = th1*(1-exp(-th2*time));\n  output out=o j=jl;\nrun;\n");
  ASSERT_EQ(run("--work . --graphs g --html r.html p.ruva"), 0) << read("log.txt");
  int pictures = 0;
  for (const auto& file : std::filesystem::directory_iterator(dir_ / "g")) {
    const std::string svg = read("g/" + file.path().filename().string());
    EXPECT_EQ(xml_error(svg), "") << file.path();
    ++pictures;
  }
  EXPECT_GE(pictures, 6 * 3);  // each group's fit plot, diagnostics panel and leverage plot at least
  const std::string html = read("r.html");
  EXPECT_TRUE(valid_utf8(html));
  for (const char* by : {"grp = g\xEF\xBF\xBD</h3>", "grp = g\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD</h3>"})
    EXPECT_NE(html.find(by), std::string::npos) << by;  // U+FFFF; a lone surrogate's three bytes
  EXPECT_NE(html.find(">t\\x01\\x1F</t"), std::string::npos);  // the ID's controls escaped, as the listing shows them
}

// A CJK character shows a full em wide, as does the ellipsis: a variable
// label of 66 of them is cut to the most that fit the plot's width with
// the ellipsis, centred under the plot.
TEST_F(GraphFilesTest, AWideCharacterLabelIsShortenedToFitItsAxis) {
  std::string label;
  for (int i = 0; i < 66; ++i) label += "\xE6\x99\x82";  // U+6642, a CJK ideograph of three bytes
  write("d.csv", "t,y\n1,2.1\n2,3.9\n3,6.2\n4,7.8\n");
  write("d.meta.json", R"({"variables":[{"name":"t","label":")" + label + R"("}]})");
  write("p.ruva", "proc ruva data=d plots=fit; parms b=1; model y = b*t; run;\n");
  ASSERT_EQ(run("--work . --graphs g p.ruva"), 0) << read("log.txt");
  const std::string svg = read("g/step1_FitPlot.svg");
  // The title is the axis's last text.
  const std::string axis_text = layer(svg, "x-axis");
  const std::size_t at = axis_text.rfind("<text"), start = axis_text.find('>', at) + 1;
  const std::string title = axis_text.substr(at, start - at);
  const std::string shown = axis_text.substr(start, axis_text.find("</text>", start) - start);
  ASSERT_EQ(shown.size() % 3, 0u) << shown;
  const std::size_t kept = shown.size() / 3 - 1;
  EXPECT_EQ(shown, label.substr(0, 3 * kept) + "\xE2\x80\xA6");
  const AxisRange x = axis(svg, "x-axis");
  const double size = attribute(title, "font-size"), width = (kept + 1) * size;
  EXPECT_LE(width, x.p1 - x.p0);
  EXPECT_GT(width + size, x.p1 - x.p0);  // one character more would not fit
  EXPECT_NEAR(attribute(title, "x"), (x.p0 + x.p1) / 2, 0.01);
}

// In the bod example the 2p/n line lies near the top of each leverage
// plot: its label stays inside the plot area. An em above the baseline and
// a quarter below it bound any glyph, an em in width any character.
TEST_F(GraphFilesTest, TheLeverageCutOffsLabelStaysInsideThePlotArea) {
  const std::filesystem::path examples = std::filesystem::path(RUVA_SOURCE_DIR) / "examples";
  std::filesystem::copy_file(examples / "bod.csv", dir_ / "bod.csv");
  std::ifstream in(examples / "bod.ruva");
  std::string program{std::istreambuf_iterator<char>(in), {}};
  const std::string method = "method=marquardt";
  ASSERT_NE(program.find(method), std::string::npos) << program;
  write("bod.ruva", program.insert(program.find(method) + method.size(), " plots=diagnostics"));
  ASSERT_EQ(run("--work . --graphs g bod.ruva"), 0) << read("log.txt");
  const std::string svg = read("g/step1_LeveragePlot.svg");
  int labels = 0;
  for (int nth = 0; !layer(svg, "reference", "", nth).empty(); ++nth) {
    const std::string reference = layer(svg, "reference", "", nth);
    const std::size_t at = reference.find("<text");
    if (at == std::string::npos) continue;
    const std::string text = reference.substr(at, reference.find("</text>") - at);
    ASSERT_EQ(text.substr(text.find('>') + 1), "2p/n");
    const AxisRange x = axis(svg, "x-axis", labels), y = axis(svg, "y-axis", labels);
    ++labels;
    const double size = attribute(text, "font-size"), right = attribute(text, "x"), base = attribute(text, "y");
    EXPECT_GE(base - size, y.p1) << text;
    EXPECT_LE(base + size / 4, y.p0) << text;
    EXPECT_LE(right, x.p1) << text;
    EXPECT_GE(right - 4 * size, x.p0) << text;
  }
  EXPECT_EQ(labels, 2);  // the tangential and the Jacobian leverage
}

// An exact fit: the residuals and the bootstrap estimates have no spread,
// so no histogram draws a normal curve, and no legend names one.
TEST_F(GraphFilesTest, AHistogramWithoutSpreadNamesNoNormalCurve) {
  write("d.csv", "x,y\n1,2\n2,4\n3,6\n4,8\n5,10\n");
  write("f.ruva", "proc ruva data=d plots=diagnostics(unpack);\n  parms a=1;\n  model y = a*x;\n"
                  "  bootstrap / seed=3;\nrun;\n");
  ASSERT_EQ(run("--work . --graphs g f.ruva"), 0) << read("log.txt");
  for (const char* graph : {"RawResidualHistogram", "ProjectedResidualHistogram", "BootstrapHistPlot_a"}) {
    const std::string svg = read(std::string("g/step1_") + graph + ".svg");
    ASSERT_FALSE(layer(svg, "bars").empty()) << graph;
    EXPECT_TRUE(layer(svg, "line", "normal").empty()) << graph;
    EXPECT_EQ(svg.find("Normal density"), std::string::npos) << graph;
  }
}

// LABELOBS numbers the two observations of high leverage, the higher at
// the very top of each plot: every number stays inside its plot area (a
// digit rises three quarters of an em above its baseline).
TEST_F(GraphFilesTest, ObservationNumbersStayInsideThePlotArea) {
  write("d.csv", "x,y\n1,1.1\n2,2.1\n3,2.9\n4,4.2\n5,5.1\n6,5.8\n7,7.1\n8,8\n30,29\n-20,-21\n");
  write("f.ruva", "proc ruva data=d plots=diagnostics(labelobs);\n  parms a=0 b=1;\n  model y = a + b*x;\nrun;\n");
  ASSERT_EQ(run("--work . --graphs g f.ruva"), 0) << read("log.txt");
  const std::string svg = read("g/step1_LeveragePlot.svg");
  // The numbers are the picture's only texts of 9 pixels, two per plot.
  std::vector<std::string> numbers;
  for (const std::string& text : elements(svg, "text"))
    if (attribute(text, "font-size") == 9) numbers.push_back(text);
  ASSERT_EQ(numbers.size(), 4u);
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    const AxisRange x = axis(svg, "x-axis", static_cast<int>(i / 2)), y = axis(svg, "y-axis", static_cast<int>(i / 2));
    const double base = attribute(numbers[i], "y"), left = attribute(numbers[i], "x");
    EXPECT_GE(base - 0.75 * 9, y.p1) << numbers[i];
    EXPECT_LE(base, y.p0) << numbers[i];
    EXPECT_GE(left, x.p0) << numbers[i];
    EXPECT_LE(left, x.p1) << numbers[i];
  }
}

// The graphs measure their text with the font's metrics carried in the
// program: a machine without any font (fontconfig given a configuration
// that lists none) writes the stored pictures of the graphs example byte
// for byte.
TEST_F(GraphFilesTest, WithoutAnyFontTheGraphsAreTheStoredBytes) {
  const std::filesystem::path examples = std::filesystem::path(RUVA_SOURCE_DIR) / "examples";
  std::filesystem::copy_file(examples / "bod.csv", dir_ / "bod.csv");
  write("none.conf", "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n");
  setenv("FONTCONFIG_FILE", (dir_ / "none.conf").c_str(), 1);
  const int status = run("--work . --graphs g '" + (examples / "graphs.ruva").string() + "'");
  unsetenv("FONTCONFIG_FILE");
  ASSERT_EQ(status, 0) << read("log.txt");
  int pictures = 0;
  for (const auto& file : std::filesystem::directory_iterator(examples / "expected" / "graphs" / "graphs")) {
    const std::string name = file.path().filename().string();
    std::ifstream in(file.path(), std::ios::binary);
    const std::string stored{std::istreambuf_iterator<char>(in), {}};
    EXPECT_TRUE(read("g/" + name) == stored) << name << " differs from the stored picture";
    ++pictures;
  }
  EXPECT_EQ(pictures, 14);
}

}  // namespace
