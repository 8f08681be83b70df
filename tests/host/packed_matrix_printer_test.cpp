// The packed symmetric matrix printer: its golden layout, the choice of one
// or two blanks between columns, the width rules and the repeated heading.
#include <gtest/gtest.h>

#include <cstdio>

#include "host/matrix_printer.h"
#include "support/listing_fixture.h"

namespace {

using ZpsmatTest = ListingTest;

char g_a[] = "alpha", g_b[] = "beta", g_c[] = "gamma";
char* g_names3[] = {g_a, g_b, g_c};
double g_x3[] = {1, 0.5, 2, 0.25, 0.125, 3};

TEST_F(ZpsmatTest, GoldenLayoutWithTitle) {
  set("LINESIZE=64");
  char corner[] = "", title[] = "Packed";
  print([&] { zpsmat(g_x3, 3, g_names3, 10, 4, corner, title, nullptr); });
  // Row names 5 wide, columns of 10 two blanks apart: the heading is 41
  // wide and centred at margin 12; values take the decimal code 4.
  const std::string expected =
      "                             Packed\n"
      "\n"
      "\n"
      "                       alpha        beta       gamma\n"
      "\n"
      "\n"
      "           alpha      1.0000      0.5000      0.2500\n"
      "           beta       0.5000      2.0000      0.1250\n"
      "           gamma      0.2500      0.1250      3.0000\n"
      "\n";
  EXPECT_EQ(listing_text(), expected);
}

TEST_F(ZpsmatTest, OneBlankBetweenColumnsOnlyWhenItSavesAPanel) {
  set("LINESIZE=64");
  double x[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  char n1[] = "v1", n2[] = "v2", n3[] = "v3", n4[] = "v4";
  char* names[] = {n1, n2, n3, n4};
  auto row_of_v1 = [&](int width) {
    listing_.str("");
    print([&] { zpsmat(x, 4, names, width, 2, nullptr, nullptr, nullptr); });
    for (const std::string& l : lines())
      if (l.find("v1 ") != std::string::npos && l.find("1.00") != std::string::npos) return l;
    return std::string();
  };
  // Columns of 14: two blanks fit 3 to a panel, one blank fits all 4.
  EXPECT_EQ(row_of_v1(14), " v1           1.00           2.00           4.00           7.00");
  // Columns of 10: two blanks already fit all 4.
  const std::string two_blanks = row_of_v1(10);
  EXPECT_EQ(two_blanks.substr(two_blanks.find("v1")), "v1        1.00        2.00        4.00        7.00");
}

TEST_F(ZpsmatTest, LongNamesWidenTheRowNamesButNotTheValueColumns) {
  set("LINESIZE=100");
  set("NOCENTER");
  char longer[] = "a_very_long_parameter_name", shorter[] = "b";
  char* names[] = {longer, shorter};
  double x[3] = {1, 2, 3};
  print([&] { zpsmat(x, 2, names, 8, 1, nullptr, nullptr, nullptr); });
  std::string row;
  for (const std::string& l : lines())
    if (l.rfind("b ", 0) == 0) row = l;
  // The row column is 26 wide; each value column is capped at 14.
  EXPECT_EQ(row, "b" + std::string(25, ' ') + "  " + std::string(11, ' ') + "2.0" + "  " + std::string(11, ' ') + "3.0");
}

TEST_F(ZpsmatTest, HeadingIsRepeatedWhenThePageRunsOut) {
  set("PAGESIZE=15");
  char names[20][4];
  char* pointers[20];
  double x[210] = {};
  for (int i = 0; i < 20; ++i) {
    std::snprintf(names[i], sizeof names[i], "p%02d", i);
    pointers[i] = names[i];
  }
  char corner[] = "Corner";
  auto count = [&](int n) {
    listing_.str("");
    print([&] { zpsmat(x, n, pointers, 8, 2, corner, nullptr, nullptr); });
    std::pair<int, int> headings_and_pages{0, 0};
    for (const std::string& l : lines()) {
      headings_and_pages.first += l.find("Corner") != std::string::npos;
      headings_and_pages.second += !l.empty() && l[0] == '\f';
    }
    return headings_and_pages;
  };
  EXPECT_EQ(count(3), std::make_pair(1, 0));
  const auto [headings, pages] = count(20);
  EXPECT_GE(headings, 2);
  EXPECT_EQ(headings, pages + 1);
}

TEST_F(ZpsmatTest, NothingForAnEmptyOrMissingMatrix) {
  print([] {
    zpsmat(nullptr, 3, g_names3, 8, 2, nullptr, nullptr, nullptr);
    zpsmat(g_x3, 0, g_names3, 8, 2, nullptr, nullptr, nullptr);
  });
  EXPECT_EQ(listing_text(), "");
}

}  // namespace
