// Centring, title splitting and printing, and p-value fields.
#include <gtest/gtest.h>

#include <string>

#include "host/listing_titles.h"
#include "host/missing.h"
#include "support/listing_fixture.h"

namespace {

using ListingTitlesTest = ListingTest;

TEST_F(ListingTitlesTest, CentringUsesTheLineSizeAndTheCenterOption) {
  set("LINESIZE=100");
  std::vector<int> got;
  print([&] {
    for (int length : {80, 101, 99}) got.push_back(zcenter(length));
  });
  EXPECT_EQ(got, (std::vector<int>{11, 1, 1}));  // (100 - 99) / 2 + 1 for 99
  set("NOCENTER");
  print([&] { got = {zcenter(10)}; });
  EXPECT_EQ(got, std::vector<int>{1});
}

TEST_F(ListingTitlesTest, PValueFields) {
  struct Case { double x; int w, d; std::string field; int result; };
  const Case cases[] = {
      {0.5, 2, 4, "**", 1},
      {0.5, 1, 4, "*", 1},
      {0.00001, 6, 4, "<.0001", 0},
      {-0.3, 6, 4, "<.0001", 0},     // negative values count as 0
      {0.2345, 6, 4, "0.2345", 0},
      {0.5, 6, 0, "0.5000", 0},      // d 0 takes w - 2 decimals
      {0.5, 0, 2, "  0.50", 0},      // w 0 becomes 6
      {0.001, 7, 9, "0.00100", 0},   // d above w - 2 becomes w - 2
      {0.01, 5, 2, " 0.01", 0},
      {0.001, 5, 2, " <.01", 0},      // the sign replaces the byte before the point
      {missing_value(), 6, 4, "     .", 0},
  };
  for (const Case& c : cases) {
    char buffer[40];
    int result = -1;
    print([&] {
      std::fill(std::begin(buffer), std::end(buffer), '#');
      result = zpvalue(c.x, c.w, c.d, buffer);
    });
    const int w = c.w < 1 ? 6 : c.w;
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(w)), c.field) << c.x << " " << c.w << " " << c.d;
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(buffer[w], '#');  // nothing written past the field
  }
  // A field over 32 is blanked and the value formatted in its first 32.
  char wide[48];
  print([&] { zpvalue(0.25, 40, 4, wide); });
  EXPECT_EQ(std::string(wide, 40), std::string(26, ' ') + "0.2500" + std::string(8, ' '));
}

TEST_F(ListingTitlesTest, TitleOfTwelveLinesKeepsTen) {
  set("LINESIZE=64");
  std::string title;
  for (int i = 0; i < 12; ++i) title += "line" + std::to_string(i) + std::string(58, 'x') + " ";
  int pieces = 0;
  print([&] {
    pieces = zptiti(kTitleSplit, title.data());
    zptitx(title.data());
  });
  EXPECT_EQ(pieces, 11);
  ASSERT_EQ(lines().size(), 10u);
  EXPECT_EQ(lines()[0].find("line0"), 0u);  // 63 wide: margin 1
  EXPECT_EQ(lines()[9].find("line9"), 0u);
}

TEST_F(ListingTitlesTest, TitlesAreCentredAndANullTitlePrintsNothing) {
  set("LINESIZE=64");
  char title[] = "Short title", other[] = "other";
  int pieces = 0;
  print([&] {
    pieces = zptiti(kTitleSplit, title);
    zptitx(title);
  });
  EXPECT_EQ(pieces, 2);
  EXPECT_EQ(listing_text(), std::string(26, ' ') + "Short title\n");
  listing_.str("");
  print([&] {
    pieces = zptiti(kTitleSplit, nullptr);
    zptitx(other);
    zptitx(nullptr);
  });
  EXPECT_EQ(pieces, 0);
  EXPECT_EQ(listing_text(), "");
}

TEST_F(ListingTitlesTest, LongTitleBreaksAtBlanksWithinTheLine) {
  set("LINESIZE=64");
  std::string title = std::string(40, 'a') + " " + std::string(40, 'b') + " " + std::string(70, 'c');
  int result = 0;
  print([&] { result = zptitle(title.data()); });
  EXPECT_EQ(result, 5);
  const auto l = lines();
  ASSERT_EQ(l.size(), 4u);
  EXPECT_EQ(l[0], std::string(12, ' ') + std::string(40, 'a'));
  EXPECT_EQ(l[1], std::string(12, ' ') + std::string(40, 'b'));
  EXPECT_EQ(l[2], std::string(64, 'c'));  // a word longer than the line is cut
  EXPECT_EQ(l[3], std::string(29, ' ') + std::string(6, 'c'));
}

}  // namespace
