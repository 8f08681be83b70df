// The matrix printer's layouts: column fitting, balanced panels, margins,
// number formats (one count, per-column counts, the widest fixed form),
// row groups, page breaks, clipping to the line, and cells printed by the
// caller.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "host/matrix_printer.h"
#include "host/missing.h"
#include "host/pool.h"
#include "host/services.h"
#include "platform/pool.h"
#include "support/listing_fixture.h"

namespace {

using Grid = std::vector<std::vector<std::string>>;

class MatrixPrinterTest : public ListingTest {
 protected:
  // Prints `p` into a fresh listing and returns its lines.
  std::vector<std::string> show(PMATSTR& p) {
    listing_.str("");
    print([&p] { zpmat2(&p); });
    return lines();
  }
  // The words of every printed line.
  Grid grid(PMATSTR p) {
    Grid out;
    for (const std::string& l : show(p)) out.push_back(words(l));
    return out;
  }
};

std::string fixed(double v, int w, int d) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%*.*f", w, d, v);
  return buffer;
}

// Row names "rowname_01", "rowname_02", ...: ten characters each.
char g_rownames[64 * 10 + 1];
PMATSTR named_rows(int rows, int cols, double* m) {
  for (int i = 0; i < rows; ++i) std::snprintf(g_rownames + 10 * i, 11, "rowname_%02d", (i + 1) % 100);
  PMATSTR p{};
  p.rows = rows, p.cols = cols, p.matrix = m, p.rowname = g_rownames, p.rowsize = 10;
  return p;
}

TEST_F(MatrixPrinterTest, FiveColumnsOnAHundredColumnLineFillTheLineAtMarginOne) {
  set("LINESIZE=100");
  double m[2 * 5] = {1.5, -2.25, 10, 3, 4, 5, 6, 7, 8, 9.125};
  PMATSTR p = named_rows(2, 5, m);
  const auto out = show(p);
  EXPECT_EQ(p.lmargin, 1);
  EXPECT_EQ(p.length, 100);
  // w 12 in columns of 18; decimals fill the width for the largest value (10).
  std::string expected = "rowname_01";
  for (int c = 0; c < 5; ++c) expected += std::string(6, ' ') + fixed(m[c], 12, 8);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0], expected);
}

TEST_F(MatrixPrinterTest, TwentyColumnsBalanceIntoPanelsOfSevenSevenAndSix) {
  set("LINESIZE=100");
  double m[2 * 20];
  for (int i = 0; i < 40; ++i) m[i] = i + 0.5;
  PMATSTR p = named_rows(2, 20, m);
  std::vector<std::string> rows;
  for (const std::string& l : show(p))
    if (l.find("rowname_01") != std::string::npos) rows.push_back(l);
  EXPECT_EQ(p.lmargin, 4);
  EXPECT_EQ(p.length, 94);
  ASSERT_EQ(rows.size(), 3u);
  // w widens from 8 to 10 in columns of 12; each panel is centred alone.
  std::string first = "   rowname_01";
  for (int c = 0; c < 7; ++c) first += "  " + fixed(m[c], 10, 6);
  EXPECT_EQ(rows[0], first);
  EXPECT_EQ(words(rows[1]).size(), 8u);
  EXPECT_EQ(words(rows[2]).size(), 7u);
  EXPECT_EQ(rows[2].find("rowname_01"), 9u);  // total 82: margin 10
  // Aligned panels all take the first panel's margin.
  p.alignbit = 1;
  for (const std::string& l : show(p)) {
    if (l.empty()) continue;
    EXPECT_EQ(l.find("rowname_"), 3u) << l;
  }
}

TEST_F(MatrixPrinterTest, WidthSpaceAndExpandDefaultsAndNegatives) {
  set("LINESIZE=100");
  set("NOCENTER");
  double m[3] = {1, 2, 3};
  auto run = [&](int cols, int width, int expand, int space) {
    PMATSTR p{};
    p.rows = 1, p.cols = cols, p.matrix = m, p.width = width, p.format = 'b', p.expand = expand, p.space = space;
    return show(p).at(0);
  };
  EXPECT_EQ(run(3, 6, -1, -1), "     1     2     3");
  EXPECT_EQ(run(3, 6, -1, 0), "       1       2       3");
  EXPECT_EQ(run(3, 6, 0, -1), "         1         2         3");  // widened by 4
  // Fixed widths are taken absolute and at most 32.
  EXPECT_EQ(run(1, -10, -1, -1), std::string(9, ' ') + "1");
  EXPECT_EQ(run(1, 40, -1, -1), std::string(31, ' ') + "1");
}

TEST_F(MatrixPrinterTest, ShapesAndStorageOrdersReadTheRightElements) {
  set("NOCENTER");
  double packed[6] = {1, 2, 3, 4, 5, 6};
  auto run = [&](int shape, int n, int dimen) {
    PMATSTR p{};
    p.rows = n, p.cols = n, p.matrix = packed, p.shape = shape, p.dimen = dimen, p.format = 'b';
    return grid(p);
  };
  // Packed shapes fill the other triangle with zeros.
  EXPECT_EQ(run('l', 3, 0), (Grid{{"1", "0", "0"}, {"2", "3", "0"}, {"4", "5", "6"}}));
  EXPECT_EQ(run('u', 3, 0), (Grid{{"1", "2", "4"}, {"0", "3", "5"}, {"0", "0", "6"}}));
  EXPECT_EQ(run('s', 3, 0), (Grid{{"1", "2", "4"}, {"2", "3", "5"}, {"4", "5", "6"}}));
  EXPECT_EQ(run('d', 3, 0), (Grid{{"1", "0", "0"}, {"0", "2", "0"}, {"0", "0", "3"}}));
  // Full storage with a leading dimension of 3.
  EXPECT_EQ(run('r', 2, 3), (Grid{{"1", "2"}, {"4", "5"}}));
  EXPECT_EQ(run('c', 2, 3), (Grid{{"1", "4"}, {"2", "5"}}));
  EXPECT_EQ(run('x', 3, 0), (Grid{{"0", "0", "0"}, {"0", "0", "0"}, {"0", "0", "0"}}));
  EXPECT_NE(log_text().find("zpmval: invalid shape=x"), std::string::npos);
}

TEST_F(MatrixPrinterTest, MissingMarksPValuesAndSmallValuesInSignificantDigits) {
  set("NOCENTER");
  double missing[2] = {missing_value(), special_missing_value()};
  PMATSTR q{};
  q.rows = 1, q.cols = 2, q.matrix = missing, q.width = 8;
  EXPECT_EQ(grid(q), (Grid{{".", "."}}));
  double p[2] = {0.5, 1e-6};
  q = PMATSTR{};
  q.rows = 1, q.cols = 2, q.matrix = p, q.format = 'p';
  EXPECT_EQ(grid(q), (Grid{{"0.5000", "<.0001"}}));
  double s[2] = {100, 1e-7};
  q = PMATSTR{};
  q.rows = 1, q.cols = 2, q.matrix = s, q.width = 12, q.sigbit = 1;
  EXPECT_EQ(grid(q), (Grid{{"100.0000000", "1.00000E-07"}}));
}

// 'q' gives each value the most decimals its field holds (E notation when
// none would show a digit); 'c' gives each column the decimals that its own
// largest value leaves room for (beside a sign), or the counts given, and
// with sigbit each column its own threshold for small values.
TEST_F(MatrixPrinterTest, WidestFixedAndPerColumnFormats) {
  set("NOCENTER");
  double q[3] = {1.5, -2.25, 1e-9};
  PMATSTR p{};
  p.rows = 1, p.cols = 3, p.matrix = q, p.width = 8, p.format = 'q';
  char e[16];
  std::snprintf(e, sizeof e, "%.2E", 1e-9);
  EXPECT_EQ(grid(p), (Grid{{fixed(1.5, 8, 6), fixed(-2.25, 8, 5), e}}));

  double c[2 * 2] = {1000.5, 0.25, 0.001, 0.001};  // columns (1000.5, 0.001) and (0.25, 0.001)
  p = PMATSTR{};
  p.rows = 2, p.cols = 2, p.matrix = c, p.width = 10, p.format = 'c';
  EXPECT_EQ(grid(p), (Grid{{"1000.5000", "0.2500000"}, {"0.0010", "0.0010000"}}));
  // Small beside 1000.5 (below 10^(3-4)), not beside 0.25 (10^(3-7)).
  p.sigbit = 1;
  std::snprintf(e, sizeof e, "%.3E", 0.001);
  EXPECT_EQ(grid(p), (Grid{{"1000.5000", "0.2500000"}, {e, "0.0010000"}}));
  int given[2] = {1, 3};
  p.sigbit = 0, p.decptr = given;
  EXPECT_EQ(grid(p), (Grid{{"1000.5", "0.250"}, {"0.0", "0.001"}}));
}

// A caller's cell function takes the place of the values: called row by
// row, column by column, at the column where the value would start; cells
// that write what the values would show give the same lines.
std::vector<std::pair<int, int>> g_cells;
void print_cell(PMATSTR* pmat, int row, int col) {
  g_cells.emplace_back(row, col);
  char text[16];
  std::snprintf(text, sizeof text, "%6.1f", pmat->matrix[row * pmat->cols + col]);
  xpfmtc(0, text, 6, 0);
}

TEST_F(MatrixPrinterTest, CellsPrintedByTheCallerLandWhereTheValuesWould) {
  set("LINESIZE=64");
  double m[2 * 8];
  for (int i = 0; i < 16; ++i) m[i] = 1.5 * i;
  int one = 1;
  PMATSTR p = named_rows(2, 8, m);
  p.width = 6, p.decptr = &one;
  const auto values = show(p);
  g_cells.clear();
  p.prtfun = &print_cell;
  EXPECT_EQ(show(p), values);
  // Two panels of 4 columns, each row in turn.
  std::vector<std::pair<int, int>> order;
  for (int panel : {0, 4})
    for (int r = 0; r < 2; ++r)
      for (int c = panel; c < panel + 4; ++c) order.emplace_back(r, c);
  EXPECT_EQ(g_cells, order);
}

TEST_F(MatrixPrinterTest, RowGroupsGetBlankLinesAndAreNotSplitByAPageBreak) {
  set("PAGESIZE=15");
  set("NOCENTER");
  double m[15];
  for (int i = 0; i < 15; ++i) m[i] = i;
  PMATSTR p{};
  p.rows = 15, p.cols = 1, p.matrix = m, p.skip = 3, p.format = 'b', p.width = 8;
  // Four groups fill the first page of 15 lines exactly (blank lines after
  // rows 3, 6 and 9); the fifth group goes to the next page whole.
  const auto all = show(p);
  ASSERT_EQ(all.size(), 18u);
  for (int i : {3, 7, 11}) EXPECT_EQ(all[i], "") << i;
  EXPECT_EQ(words(all[14]), std::vector<std::string>{"11"});
  EXPECT_EQ(all[15][0], '\f');
  EXPECT_EQ(words(all[15].substr(1)), std::vector<std::string>{"12"});
}

TEST_F(MatrixPrinterTest, TitleIsRepeatedAfterEveryPageBreak) {
  set("PAGESIZE=15");
  double m[30] = {};
  char title[] = "Matrix T";
  PMATSTR p{};
  p.rows = 30, p.cols = 1, p.matrix = m, p.title = title, p.format = 'b';
  int titles = 0, pages = 0;
  for (const std::string& l : show(p)) {
    titles += l.find("Matrix T") != std::string::npos;
    pages += !l.empty() && l[0] == '\f';
  }
  EXPECT_EQ(titles, 3);
  EXPECT_EQ(pages, 2);
}

TEST_F(MatrixPrinterTest, CornerWithoutRowNamesTakesNoWidth) {
  set("NOCENTER");
  double one = 1;
  char corner[] = "Corner", col[] = "c1      ";
  PMATSTR p{};
  p.rows = 1, p.cols = 1, p.matrix = &one, p.corner = corner, p.colname = col, p.format = 'b';
  const auto out = show(p);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].substr(0, 6), "Corner");
  EXPECT_EQ(out[0].substr(out[0].size() - 2), "c1");
  EXPECT_EQ(out[1].size(), out[0].size());  // the value sits under the name
}

TEST_F(MatrixPrinterTest, LabelColumnNeverTakesNegativeRoomAndFieldsStayOnTheLine) {
  set("LINESIZE=64");
  double one = 123456.5;
  char names[41] = {};
  char label[] = "a label of this row";
  std::memset(names, 'n', 40);
  PMATSTR p{};
  p.rows = 1, p.cols = 1, p.matrix = &one, p.rowname = names, p.rowsize = 40, p.width = 32;
  p.label = label;
  p.labsize = static_cast<int>(std::strlen(label));
  const auto out = show(p);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].size(), 64u);
  EXPECT_EQ(out[0].find("label"), std::string::npos);
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
  double m[2 * 8];
  for (int i = 0; i < 16; ++i) m[i] = (i - 4) * 0.25;
  char rows[] = "first second", cols[] = "a1a2a3a4a5a6a7a8", title[] = "Golden";
  PMATSTR p{};
  p.rows = 2, p.cols = 8, p.matrix = m, p.rowname = rows, p.rowsize = 6, p.colname = cols, p.colsize = 2;
  p.title = title, p.underbit = 1, p.format = 'b';
  show(p);
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

// E notation for every value, a label column to the right of the rows,
// and a second panel that does not fit the page starting a new one under
// the title again.
char g_labels[] = "first labelsecond labl";
void blank_row_label(PMATSTR* p, int row, int width) { zpmrow(p, row, width); }
void blank_col_label(PMATSTR* p, int col, int width) { zpmcol(p, col, width); }

TEST_F(MatrixPrinterTest, ENotationLabelsAndAPanelThatStartsAPage) {
  set("LINESIZE=64");
  set("PAGESIZE=15");
  set("NOCENTER");
  double m[9 * 8];
  for (int i = 0; i < 72; ++i) m[i] = (i + 1) * 1234.5678e-7;
  char title[] = "Panels";
  PMATSTR p = named_rows(9, 8, m);
  p.format = 'e', p.title = title;
  const auto out = show(p);
  int titles = 0;
  for (std::size_t i = 0; i < out.size(); ++i)
    if (out[i].find("Panels") != std::string::npos) {
      ++titles;
      if (titles == 2) {
        EXPECT_EQ(out[i][0], '\f') << "the second panel starts a page";
      }
    }
  EXPECT_EQ(titles, 2);
  const auto first = words(out[1]);
  ASSERT_EQ(first.size(), 5u) << out[1];
  for (int c = 0; c < 4; ++c) {
    EXPECT_NE(first[c + 1].find('E'), std::string::npos) << first[c + 1];
    EXPECT_NEAR(std::stod(first[c + 1]), m[c], 1e-4 * m[c]) << first[c + 1];
  }

  PMATSTR l = named_rows(2, 1, m);
  l.label = g_labels, l.labsize = 11, l.format = 'b';
  const auto labelled = show(l);
  ASSERT_EQ(labelled.size(), 2u);
  EXPECT_EQ(words(labelled[0]), (std::vector<std::string>{"rowname_01", "0.0001234568", "first", "label"}));
  EXPECT_EQ(words(labelled[1]).back(), "labl");

  // Callbacks that fall back on the default labels without names: blanks.
  PMATSTR b{};
  b.rows = 1, b.cols = 1, b.matrix = m, b.format = 'b', b.rowsize = 4;
  b.rowfun = &blank_row_label, b.colfun = &blank_col_label;
  const auto blank = show(b);
  ASSERT_FALSE(blank.empty());
  EXPECT_EQ(words(blank.back()), std::vector<std::string>{"0.0001234568"});
  EXPECT_EQ(blank.back().substr(0, 4), "    ");
}

// The heading hook that nothing calls ends the pending line.
TEST_F(MatrixPrinterTest, TheHeadingHookEndsTheLine) {
  set("NOCENTER");
  print([] {
    xps("abc");
    zpmhead(nullptr);
    xps("def");
    xpoflsh();
  });
  EXPECT_EQ(lines(), (std::vector<std::string>{"abc", "def"}));
}

// Without pool room for the per-column thresholds, small values print like
// the others, and the call still succeeds.
PMATSTR g_thresholds{};
TEST_F(MatrixPrinterTest, WithoutRoomForThresholdsSmallValuesPrintLikeTheOthers) {
  set("NOCENTER");
  static double c[2 * 2] = {1000.5, 0.25, 0.001, 0.001};
  static int given[2] = {4, 7};
  g_thresholds = PMATSTR{};
  g_thresholds.rows = 2, g_thresholds.cols = 2, g_thresholds.matrix = c, g_thresholds.width = 10;
  g_thresholds.format = 'c', g_thresholds.sigbit = 1, g_thresholds.decptr = given;
  listing_.str("");
  print([] {
    platform::Pool* pool = platform::Pool::from_handle(step_pool());
    pool->set_budget(pool->bytes_held() + 1);  // room for no block (a budget of 0 is none)
    EXPECT_EQ(zpmat2(&g_thresholds), 0);
    pool->set_budget(0);
  });
  Grid out;
  for (const std::string& l : lines()) out.push_back(words(l));
  EXPECT_EQ(out, (Grid{{"1000.5000", "0.2500000"}, {"0.0010", "0.0010000"}}));
}

}  // namespace
