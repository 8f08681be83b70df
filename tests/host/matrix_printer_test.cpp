// The matrix printer's layouts: column fitting, balanced panels, margins,
// number formats, row groups, page breaks and clipping to the line.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "host/matrix_printer.h"
#include "host/missing.h"
#include "support/listing_fixture.h"

namespace {

using MatrixPrinterTest = ListingTest;

std::string fixed(double v, int w, int d) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%*.*f", w, d, v);
  return buffer;
}

// Row names "rowname_01", "rowname_02", ...: ten characters each.
char g_rownames[64 * 10 + 1];
void make_row_names(int n) {
  for (int i = 0; i < n; ++i) std::snprintf(g_rownames + 10 * i, 11, "rowname_%02d", i + 1);
}

TEST_F(MatrixPrinterTest, FiveColumnsOnAHundredColumnLineFillTheLineAtMarginOne) {
  set("LINESIZE=100");
  static double m[2 * 5] = {1.5, -2.25, 10, 3, 4, 5, 6, 7, 8, 9.125};
  make_row_names(2);
  static PMATSTR p;
  print([] {
    p = PMATSTR{};
    p.rows = 2, p.cols = 5, p.matrix = m, p.rowname = g_rownames, p.rowsize = 10;
    zpmat2(&p);
  });
  EXPECT_EQ(p.lmargin, 1);
  EXPECT_EQ(p.length, 100);
  // w 12 in columns of 18; decimals fill the width for the largest value (10).
  std::string expected = "rowname_01";
  for (int c = 0; c < 5; ++c) expected += std::string(6, ' ') + fixed(m[c], 12, 8);
  ASSERT_EQ(lines().size(), 2u);
  EXPECT_EQ(lines()[0], expected);
}

TEST_F(MatrixPrinterTest, TwentyColumnsBalanceIntoPanelsOfSevenSevenAndSix) {
  set("LINESIZE=100");
  static double m[2 * 20];
  for (int i = 0; i < 40; ++i) m[i] = i + 0.5;
  make_row_names(2);
  static PMATSTR p;
  print([] {
    p = PMATSTR{};
    p.rows = 2, p.cols = 20, p.matrix = m, p.rowname = g_rownames, p.rowsize = 10;
    zpmat2(&p);
  });
  EXPECT_EQ(p.lmargin, 4);
  EXPECT_EQ(p.length, 94);
  std::vector<std::string> rows;
  for (const std::string& l : lines())
    if (l.find("rowname_01") != std::string::npos) rows.push_back(l);
  ASSERT_EQ(rows.size(), 3u);
  // w widens from 8 to 10 in columns of 12; each panel is centred alone.
  std::string first = "   rowname_01";
  for (int c = 0; c < 7; ++c) first += "  " + fixed(m[c], 10, 6);
  EXPECT_EQ(rows[0], first);
  EXPECT_EQ(words(rows[1]).size(), 8u);
  EXPECT_EQ(words(rows[2]).size(), 7u);
  EXPECT_EQ(rows[2].find("rowname_01"), 9u);  // total 82: margin 10
}

TEST_F(MatrixPrinterTest, AlignedPanelsShareTheFirstPanelsMargin) {
  set("LINESIZE=100");
  static double m[20];
  make_row_names(1);
  print([] {
    PMATSTR p{};
    p.rows = 1, p.cols = 20, p.matrix = m, p.rowname = g_rownames, p.rowsize = 10, p.alignbit = 1;
    zpmat2(&p);
  });
  for (const std::string& l : lines())
    if (!l.empty()) {
      EXPECT_EQ(l.find("rowname_01"), 3u) << l;
    }
}

TEST_F(MatrixPrinterTest, FixedWidthsAreAbsoluteAndAtMostThirtyTwo) {
  set("LINESIZE=100");
  static double one = 1.5;
  static char name[] = "abcd";
  static int width;
  for (int w : {-10, 40}) {
    width = w;
    listing_.str("");
    print([] {
      PMATSTR p{};
      p.rows = 1, p.cols = 1, p.matrix = &one, p.rowname = name, p.rowsize = 4, p.width = width, p.format = 'b';
      zpmat2(&p);
    });
    // The field (w) plus the gap (2) plus the widening (4) after the name.
    const std::size_t field = w < 0 ? 10 : 32;
    const std::string line = lines().at(0);
    EXPECT_EQ(line.size(), (100 - (4 + field + 6)) / 2 + 4 + field + 6) << line;
  }
}

TEST_F(MatrixPrinterTest, SpaceAndExpandDefaultsAndNegatives) {
  set("LINESIZE=100");
  set("NOCENTER");
  static double m[3] = {1, 2, 3};
  static int expand, space;
  auto run = [&](int e, int s) {
    expand = e, space = s;
    listing_.str("");
    print([] {
      PMATSTR p{};
      p.rows = 1, p.cols = 3, p.matrix = m, p.width = 6, p.format = 'b', p.expand = expand, p.space = space;
      zpmat2(&p);
    });
    return lines().at(0);
  };
  EXPECT_EQ(run(-1, -1), "     1     2     3");
  EXPECT_EQ(run(-1, 0), "       1       2       3");
  EXPECT_EQ(run(0, -1), "         1         2         3");  // widened by 4
}

TEST_F(MatrixPrinterTest, AllMissingMatrixShowsMissingMarks) {
  set("NOCENTER");
  static double m[2] = {missing_value(), special_missing_value()};
  print([] {
    PMATSTR p{};
    p.rows = 1, p.cols = 2, p.matrix = m, p.width = 8;
    zpmat2(&p);
  });
  EXPECT_EQ(words(lines().at(0)), (std::vector<std::string>{".", "."}));
}

TEST_F(MatrixPrinterTest, ShapesFillTheOtherTriangleWithZeros) {
  set("NOCENTER");
  static double packed[6] = {1, 2, 3, 4, 5, 6};
  static int shape;
  auto run = [&](int s) {
    shape = s;
    listing_.str("");
    print([] {
      PMATSTR p{};
      p.rows = 3, p.cols = 3, p.matrix = packed, p.shape = shape, p.format = 'b';
      zpmat2(&p);
    });
    std::vector<std::vector<std::string>> out;
    for (const std::string& l : lines()) out.push_back(words(l));
    return out;
  };
  using W = std::vector<std::vector<std::string>>;
  EXPECT_EQ(run('l'), (W{{"1", "0", "0"}, {"2", "3", "0"}, {"4", "5", "6"}}));
  EXPECT_EQ(run('u'), (W{{"1", "2", "4"}, {"0", "3", "5"}, {"0", "0", "6"}}));
  EXPECT_EQ(run('s'), (W{{"1", "2", "4"}, {"2", "3", "5"}, {"4", "5", "6"}}));
  EXPECT_EQ(run('d'), (W{{"1", "0", "0"}, {"0", "2", "0"}, {"0", "0", "3"}}));
  EXPECT_EQ(run('x'), (W{{"0", "0", "0"}, {"0", "0", "0"}, {"0", "0", "0"}}));
  EXPECT_NE(log_text().find("zpmval: invalid shape=x"), std::string::npos);
}

TEST_F(MatrixPrinterTest, RowAndColumnMajorStorageWithLeadingDimension) {
  set("NOCENTER");
  static double full[6] = {1, 2, 3, 4, 5, 6};
  static int shape;
  auto run = [&](int s) {
    shape = s;
    listing_.str("");
    print([] {
      PMATSTR p{};
      p.rows = 2, p.cols = 2, p.matrix = full, p.shape = shape, p.dimen = 3, p.format = 'b';
      zpmat2(&p);
    });
    std::vector<std::vector<std::string>> out;
    for (const std::string& l : lines()) out.push_back(words(l));
    return out;
  };
  using W = std::vector<std::vector<std::string>>;
  EXPECT_EQ(run('r'), (W{{"1", "2"}, {"4", "5"}}));
  EXPECT_EQ(run('c'), (W{{"1", "4"}, {"2", "5"}}));
}

TEST_F(MatrixPrinterTest, PValueFormatAndSmallValuesInSignificantDigits) {
  set("NOCENTER");
  static double p[2] = {0.5, 1e-6};
  print([] {
    PMATSTR q{};
    q.rows = 1, q.cols = 2, q.matrix = p, q.format = 'p';
    zpmat2(&q);
  });
  EXPECT_EQ(words(lines().at(0)), (std::vector<std::string>{"0.5000", "<.0001"}));
  listing_.str("");
  static double s[2] = {100, 1e-7};
  print([] {
    PMATSTR q{};
    q.rows = 1, q.cols = 2, q.matrix = s, q.width = 12, q.sigbit = 1;
    zpmat2(&q);
  });
  EXPECT_EQ(words(lines().at(0)), (std::vector<std::string>{"100.0000000", "1.00000E-07"}));
}

TEST_F(MatrixPrinterTest, RowGroupsGetBlankLinesAndAreNotSplitByAPageBreak) {
  set("PAGESIZE=15");
  set("NOCENTER");
  static double m[15];
  for (int i = 0; i < 15; ++i) m[i] = i;
  print([] {
    PMATSTR p{};
    p.rows = 15, p.cols = 1, p.matrix = m, p.skip = 3, p.format = 'b', p.width = 8;
    zpmat2(&p);
  });
  // Four groups fill the first page of 15 lines exactly (blank lines after
  // rows 3, 6 and 9); the fifth group goes to the next page whole.
  const auto all = lines();
  ASSERT_EQ(all.size(), 18u);
  for (int i : {3, 7, 11}) EXPECT_EQ(all[i], "") << i;
  EXPECT_EQ(words(all[14]), std::vector<std::string>{"11"});
  EXPECT_EQ(all[15][0], '\f');
  EXPECT_EQ(words(all[15].substr(1)), std::vector<std::string>{"12"});
}

TEST_F(MatrixPrinterTest, TitleIsRepeatedAfterEveryPageBreak) {
  set("PAGESIZE=15");
  static double m[30];
  static char title[] = "Matrix T";
  print([] {
    PMATSTR p{};
    p.rows = 30, p.cols = 1, p.matrix = m, p.title = title, p.format = 'b';
    zpmat2(&p);
  });
  int titles = 0, pages = 0;
  for (const std::string& l : lines()) {
    titles += l.find("Matrix T") != std::string::npos;
    pages += !l.empty() && l[0] == '\f';
  }
  EXPECT_EQ(titles, 3);
  EXPECT_EQ(pages, 2);
}

TEST_F(MatrixPrinterTest, CornerWithoutRowNamesTakesNoWidth) {
  set("NOCENTER");
  static double one = 1;
  static char corner[] = "Corner";
  static char col[] = "c1      ";
  print([] {
    PMATSTR p{};
    p.rows = 1, p.cols = 1, p.matrix = &one, p.corner = corner, p.colname = col, p.format = 'b';
    zpmat2(&p);
  });
  ASSERT_EQ(lines().size(), 2u);
  EXPECT_EQ(lines()[0].substr(0, 6), "Corner");
  EXPECT_EQ(lines()[0].substr(lines()[0].size() - 2), "c1");
  EXPECT_EQ(lines()[1].size(), lines()[0].size());  // the value sits under the name
}

TEST_F(MatrixPrinterTest, LabelColumnNeverTakesNegativeRoomAndFieldsStayOnTheLine) {
  set("LINESIZE=64");
  static double one = 123456.5;
  static char names[41];
  static char label[] = "a label of this row";
  std::memset(names, 'n', 40);
  print([] {
    PMATSTR p{};
    p.rows = 1, p.cols = 1, p.matrix = &one, p.rowname = names, p.rowsize = 40, p.width = 32;
    p.label = label;
    p.labsize = static_cast<int>(std::strlen(label));
    zpmat2(&p);
  });
  ASSERT_EQ(lines().size(), 1u);
  EXPECT_EQ(lines()[0].size(), 64u);
  EXPECT_EQ(lines()[0].find("label"), std::string::npos);
}

TEST_F(MatrixPrinterTest, EmptyMatrixPrintsNothing) {
  EXPECT_EQ(print([] {
              PMATSTR p{};
              p.rows = 0, p.cols = 3;
              EXPECT_EQ(zpmat2(&p), 0);
            }),
            0);
  EXPECT_TRUE(lines().empty());
}

TEST_F(MatrixPrinterTest, SmallValueThresholds) {
  EXPECT_DOUBLE_EQ(zpmsmal(12, 2), 1e3);   // min(5, 8) - 2 = 3
  EXPECT_DOUBLE_EQ(zpmsmal(20, 4), 1e4);   // min(13, 8) - 4
  EXPECT_DOUBLE_EQ(zpmsmal(8, 40), 0.0);   // not a count of decimals
  EXPECT_DOUBLE_EQ(zpmsmal(8, 32), 1e-31); // clamped at -31
  EXPECT_EQ(bound(1, 0, 5), 1);
  EXPECT_EQ(bound(1, 7, 5), 5);
  EXPECT_EQ(bound(1, 3, 5), 3);
}

// A golden layout: two balanced panels on a 64-column line, a title, the
// column names underlined and right-aligned over their fields.
TEST_F(MatrixPrinterTest, GoldenTwoPanelLayout) {
  set("LINESIZE=64");
  static double m[2 * 8];
  for (int i = 0; i < 16; ++i) m[i] = (i - 4) * 0.25;
  static char rows[] = "first second";
  static char cols[] = "a1a2a3a4a5a6a7a8";
  static char title[] = "Golden";
  print([] {
    PMATSTR p{};
    p.rows = 2, p.cols = 8, p.matrix = m, p.rowname = rows, p.rowsize = 6, p.colname = cols, p.colsize = 2;
    p.title = title, p.underbit = 1, p.format = 'b';
    zpmat2(&p);
  });
  // Row names 6 wide, w widened from 8 to 12 in columns of 14, four columns
  // to a panel: 62 columns at margin 2; the underline spans the heading.
  const std::string expected =
      "                             Golden\n"
      "                   a1            a2            a3            a4\n"
      " --------------------------------------------------------------\n"
      " first             -1         -0.75          -0.5         -0.25\n"
      " second             1          1.25           1.5          1.75\n"
      "\n"
      "\n"
      "                   a5            a6            a7            a8\n"
      " --------------------------------------------------------------\n"
      " first              0          0.25           0.5          0.75\n"
      " second             2          2.25           2.5          2.75\n";
  EXPECT_EQ(listing_text(), expected);
}

}  // namespace
