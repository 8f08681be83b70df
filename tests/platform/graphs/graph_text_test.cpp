// Text in the pictures: measured with the font's own metrics, any bytes
// give well-formed XML in valid UTF-8, a label too long for its place is
// cut to the longest prefix that fits, and an axis title keeps the scale its
// values are read with.
#include <gtest/gtest.h>

#include <string>

#include "platform/graphs/plot_area.h"
#include "platform/graphs/svg_document.h"
#include "platform/graphs/text_metrics.h"
#include "support/svg_reading.h"
#include "support/xml_check.h"

namespace platform::graphs {
namespace {

TEST(GraphTextTest, AnyBytesInTextOrAttributesGiveWellFormedXml) {
  const std::pair<const char*, std::string> bad[] = {
      {"C0 control", "\x01\x1F"},           {"U+FFFE", "\xEF\xBF\xBE"},          {"U+FFFF", "\xEF\xBF\xBF"},
      {"lone surrogate", "\xED\xA0\x80"},   {"stray bytes", "\xFF\xFE\x80"},     {"cut sequence", "\xE2\x82"},
      {"overlong form", "\xC0\xAF"},        {"past U+10FFFF", "\xF4\x90\x80\x80"}, {"markup", "<&\"'>"}};
  for (const auto& [kind, bytes] : bad) {
    const std::string text = "a" + bytes + "b";
    SvgDocument svg(100, 50, "id" + text, "title " + text);
    svg.text({1, 10}, text, TextStyle{});
    svg.begin_layer("markers", "", "data-series=\"" + xml_escape(text) + "\"");
    svg.end_layer();
    const std::string picture = svg.str();
    EXPECT_EQ(xml_error(picture), "") << kind;
    EXPECT_TRUE(valid_utf8(picture)) << kind;
  }
  // What XML allows passes unchanged, but for the five special characters.
  const std::string fine = "\xC3\xA9\t\xE4\xB8\xAD\n\xF0\x9F\x98\x80\xEF\xBF\xBD \xEE\x80\x80";
  EXPECT_EQ(xml_escape(fine + "<&>\""), fine + "&lt;&amp;&gt;&quot;");
  EXPECT_EQ(xml_escape("x\xEF\xBF\xBEy\xFFz\x02"), "x\xEF\xBF\xBDy\xEF\xBF\xBDz\\x02");
}

// Widths are DejaVu Sans' advances and kerning pairs, in font units of
// 2048 to the em, as its hmtx and kern tables give them (version 2.37).
TEST(GraphTextTest, WidthsAreTheFontsAdvancesAndKerningPairs) {
  const struct {
    const char* text;
    FontWeight weight;
    int units;
  } cases[] = {
      {"0", FontWeight::Normal, 1303},          {"0", FontWeight::Bold, 1425},
      {"W e", FontWeight::Normal, 2025 + 651 + 1260},
      {"AV", FontWeight::Normal, 1401 + 1401 - 131}, {"AV", FontWeight::Bold, 1585 + 1585 - 139},
      {"Ty", FontWeight::Normal, 1251 + 1212 - 319}, {"LT", FontWeight::Bold, 1305 + 1397 - 339},
      {"\xCE\xB1\xE2\x88\x92", FontWeight::Normal, 1350 + 1716},  // alpha, minus sign
      {"e\xCC\x81", FontWeight::Normal, 1260 + 0},                   // e and a combining acute accent
      // A character outside the table breaks the kerning: an East Asian
      // wide or fullwidth one or an emoji takes a full em, any other (a
      // Hebrew letter, a control character) the missing glyph's box; a
      // stray byte is the replacement character.
      {"A\xE4\xB8\xADV", FontWeight::Normal, 1401 + 2048 + 1401},
      {"\xEF\xBC\xA1\xF0\x9F\x98\x80\xD7\x90", FontWeight::Normal, 2048 + 2048 + 1229},
      {"A\x01V\xFF", FontWeight::Bold, 1585 + 1229 + 1585 + 2280},
  };
  for (const auto& c : cases)
    EXPECT_DOUBLE_EQ(text_width(c.text, 20.48, c.weight), c.units / 100.0) << c.text;
}

TEST(GraphTextTest, ALongLabelIsCutToTheLongestPrefixThatFits) {
  std::string label;
  while (label.size() < 60000) label += "Incubation time \xC3\xA9 ";  // a two-byte character among plain ones
  const std::string ellipsis = "\xE2\x80\xA6";
  const double width = 300, size = 11;
  const std::string cut = fit_text(label, width, size);
  ASSERT_GT(cut.size(), ellipsis.size());
  const std::string kept = cut.substr(0, cut.size() - ellipsis.size());
  EXPECT_EQ(cut.substr(kept.size()), ellipsis);
  EXPECT_EQ(label.compare(0, kept.size(), kept), 0);
  EXPECT_TRUE(valid_utf8(cut));
  EXPECT_LE(text_width(cut, size), width);
  // One character more would not fit.
  const std::size_t next = kept.size() + ((static_cast<unsigned char>(label[kept.size()]) & 0x80) ? 2 : 1);
  EXPECT_GT(text_width(label.substr(0, next) + ellipsis, size), width);
  EXPECT_EQ(fit_text("short", width, size), "short");
  EXPECT_EQ(fit_text("\xE4\xB8\xAD\xE4\xB8\xAD", 1, size), "");
}

TEST(GraphTextTest, AnAxisTitleTooLongGivesWayBeforeItsScale) {
  SvgDocument svg(400, 160, "id", "title");
  Plot plot(svg, Box{0, 0, 400, 160}, AxisSpec{"Observation", 1, 200000},
            AxisSpec{"Tangential leverage of the observation in the fit", 0, 2e-5});
  plot.frame();
  // The title is the axis's last text.
  const std::string axis = layer(svg.str(), "y-axis");
  const std::size_t start = axis.find('>', axis.rfind("<text")) + 1;
  const std::string title = axis.substr(start, axis.find("</text>", start) - start);
  EXPECT_EQ(title.rfind("Tange", 0), 0u) << title;
  EXPECT_EQ(title.substr(title.size() - 14), "\xE2\x80\xA6 (\xC3\x97 10^-5)") << title;
}

}  // namespace
}  // namespace platform::graphs
